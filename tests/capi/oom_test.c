/* The C interface with allocations failing (under tests/support's
   failing_malloc): every call returns, with its right result or NULL for a
   text it could not allocate, and the inspection functions, which allocate
   nothing, always with their right verdict. Exits 0 when all of that holds,
   3 when not; it prints nothing, since printing may allocate. */
#include <idstamp/idstamp.h>
#include <string.h>

static int wrong;

/* Takes ownership of `got`: NULL, or exactly `want`. */
static void null_or(char* got, const char* want) {
  if (got != NULL && strcmp(got, want) != 0) wrong = 1;
  idstamp_free(got);
}

int main(void) {
  enum { stamp = 411196474 };
  const char* const token = "5109B8788C4A757"; /* ABC at that stamp */
  idstamp_report report;
  char* issued;

  null_or(idstamp_crypt_id_at("ABC", stamp), token);
  null_or(idstamp_decrypt_id_at(token, 30, stamp), "ABC");
  issued = idstamp_crypt_id("ABC");
  if (issued != NULL) {
    if (idstamp_inspect(issued, 30, &report) == IDSTAMP_MALFORMED) wrong = 1;
    null_or(idstamp_decrypt_id(issued, 1), "ABC");
    idstamp_free(issued);
  }
  if (idstamp_inspect_at(token, 30, stamp + 1000, &report) != IDSTAMP_FRESH ||
      strcmp(report.id, "ABC") != 0 || report.age_ms != 1000)
    wrong = 1;
  if (idstamp_inspect_at(token, 30, stamp, NULL) != IDSTAMP_FRESH) wrong = 1;
  if (idstamp_inspect("51", 30, &report) != IDSTAMP_MALFORMED) wrong = 1;
  if (strcmp(idstamp_version(), IDSTAMP_VERSION_STRING) != 0) wrong = 1;
  (void)idstamp_year_stamp();
  return wrong ? 3 : 0;
}
