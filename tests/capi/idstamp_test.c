/* The C interface from C: ownership, NULL in and out, the acceptance window
   at its millisecond edges, and a round trip through the clock. */
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
  const int32_t minute = 60000;
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

  /* The window of a 30-minute lifetime, at its millisecond edges. */
  {
    static const struct {
      int64_t offset;
      int accepted;
    } cases[] = {
        {-60000, 0}, {-59999, 1}, {0, 1}, {1799999, 1}, {1800000, 0},
    };
    token = idstamp_crypt_id_at("id 42 \xC3\xA9", stamp);
    for (i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
      const uint32_t now = (uint32_t)(stamp + cases[i].offset);
      id = idstamp_decrypt_id_at(token, 30, now);
      expect(cases[i].accepted ? id != NULL && strcmp(id, "id 42 \xC3\xA9") == 0 : id == NULL,
             "window edge");
      idstamp_free(id);
    }
    idstamp_free(token);
  }
  expect(is_text(idstamp_decrypt_id_at("5109B8788C4A757", 1, stamp + minute - 1), "ABC"),
         "lifetime 1, 59.999 s");
  expect(is_text(idstamp_decrypt_id_at("5109B8788C4A757", 1, stamp + minute), NULL),
         "lifetime 1, 60 s");

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
