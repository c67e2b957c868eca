/* The C interface from C: ownership, NULL in and out, the acceptance window,
   inspection, and a round trip through the clock. */
#include <idstamp/idstamp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int passed, failed;

static void expect(int holds, const char* what) {
  if (holds) {
    ++passed;
  } else {
    ++failed;
    printf("FAIL: %s\n", what);
  }
}

/* Takes ownership of `got`: true when it holds exactly `want` (NULL for none). */
static int is_text(char* got, const char* want) {
  const int same = want == NULL ? got == NULL : got != NULL && strcmp(got, want) == 0;
  idstamp_free(got);
  return same;
}

int main(void) {
  enum { stamp = 411196474 };
  char long_id[1001];
  char version[40];
  char* token;
  char* id;
  size_t i;

  /* A token issued at a known stamp, byte for byte. */
  expect(is_text(idstamp_crypt_id_at("ABC", stamp), "5109B8788C4A757"), "token for ABC");
  expect(is_text(idstamp_decrypt_id_at("5109B8788C4A757", 30, stamp), "ABC"), "check ABC");

  /* NULL in gives NULL out; idstamp_free takes NULL. */
  expect(idstamp_crypt_id(NULL) == NULL, "crypt NULL");
  expect(idstamp_crypt_id_at(NULL, stamp) == NULL, "crypt_at NULL");
  expect(idstamp_decrypt_id(NULL, 30) == NULL, "decrypt NULL");
  expect(idstamp_decrypt_id_at(NULL, 30, stamp) == NULL, "decrypt_at NULL");
  idstamp_free(NULL);
  {
    idstamp_report report;
    expect(idstamp_inspect(NULL, 30, &report) == IDSTAMP_MALFORMED && !report.parsed &&
               strcmp(report.reason, "too short") == 0 && report.id[0] == '\0',
           "inspect NULL");
    expect(idstamp_inspect_at(NULL, 30, stamp, NULL) == IDSTAMP_MALFORMED, "inspect_at NULL");
  }

  /* Refusals. */
  memset(long_id, 'x', 1000);
  long_id[1000] = '\0';
  expect(is_text(idstamp_crypt_id_at("", stamp), NULL), "empty id");
  expect(is_text(idstamp_crypt_id_at(long_id, stamp), NULL), "1000-byte id");
  long_id[999] = '\0';
  token = idstamp_crypt_id_at(long_id, stamp);
  expect(is_text(idstamp_decrypt_id_at(token, 1, stamp), long_id), "999-byte id round trip");
  idstamp_free(token);
  expect(is_text(idstamp_decrypt_id_at("5109B8788C4A757", 0, stamp), NULL), "lifetime 0");
  expect(is_text(idstamp_decrypt_id_at("51", 30, stamp), NULL), "two-byte token");

  /* The acceptance window of tests/token/window.tsv, through both the
     verdict and the id. */
  {
    FILE* table = fopen(IDSTAMP_WINDOW_TABLE, "r");
    char line[200];
    char verdict[20];
    long long age;
    long lifetime;
    int rows = 0;
    idstamp_report report;
    static const char* const names[] = {"fresh", "expired", "ahead", "malformed"};
    token = idstamp_crypt_id_at("id 42 \xC3\xA9", stamp);
    while (table != NULL && fgets(line, sizeof line, table) != NULL) {
      uint32_t now;
      idstamp_verdict v;
      if (line[0] == '#' || sscanf(line, "%lld %ld %19s", &age, &lifetime, verdict) != 3) continue;
      ++rows;
      now = (uint32_t)(stamp + age);
      v = idstamp_inspect_at(token, (int32_t)lifetime, now, &report);
      expect(strcmp(names[v], verdict) == 0 && report.parsed && report.age_ms == age &&
                 report.now == now && report.stamp == stamp && report.reason == NULL &&
                 strcmp(report.id, "id 42 \xC3\xA9") == 0,
             line);
      id = idstamp_decrypt_id_at(token, (int32_t)lifetime, now);
      expect(v == IDSTAMP_FRESH ? id != NULL && strcmp(id, report.id) == 0 : id == NULL, line);
      idstamp_free(id);
    }
    expect(rows >= 10, "the window table is read");
    if (table != NULL) fclose(table);
    idstamp_free(token);
  }

  /* A malformed token says why, and the verdict alone needs no report. */
  expect(idstamp_inspect_at("51", 30, stamp, NULL) == IDSTAMP_MALFORMED, "verdict alone");
  {
    idstamp_report report;
    expect(idstamp_inspect_at("5109B8788C4A75X", 30, stamp, &report) == IDSTAMP_MALFORMED &&
               !report.parsed && strcmp(report.reason, "bad stamp") == 0,
           "malformed with its reason");
  }

  /* Through the clock. */
  token = idstamp_crypt_id("through the clock");
  expect(token != NULL, "crypt now");
  expect(is_text(idstamp_decrypt_id(token, 30), "through the clock"), "decrypt now");
  idstamp_free(token);
  /* The clock's stamp is the one crypt_id wrote a moment ago (issued once
     more should a stamp reset fall in between). */
  for (i = 0; i < 2; ++i) {
    token = idstamp_crypt_id("through the clock");
    id = idstamp_decrypt_id_at(token, 1, idstamp_year_stamp());
    idstamp_free(token);
    if (id != NULL) break;
  }
  expect(id != NULL && strcmp(id, "through the clock") == 0, "year stamp of the clock");
  idstamp_free(id);

  /* The library is the version its headers say. */
  snprintf(version, sizeof version, "%d.%d.%d", IDSTAMP_VERSION_MAJOR, IDSTAMP_VERSION_MINOR,
           IDSTAMP_VERSION_PATCH);
  expect(strcmp(idstamp_version(), version) == 0, "version");

  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
