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
    expect(idstamp_inspect(NULL, 30, &report) == IDSTAMP_MALFORMED && report.parsed == 0 &&
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
      expect(strcmp(names[v], verdict) == 0 && report.parsed == 1 && report.age_ms == age &&
                 report.now == now && report.stamp == stamp && report.reason == NULL &&
                 strcmp(report.id, "id 42 \xC3\xA9") == 0,
             line);
      expect(idstamp_check_token(token, strlen(token), (int32_t)lifetime, &now, NULL) == v, line);
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
               report.parsed == 0 && strcmp(report.reason, "bad stamp") == 0,
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

  /* Issuing into a buffer: the exact capacity is enough, one byte less
     writes nothing, and a longest id at the longest stamp fills
     IDSTAMP_MAX_TOKEN_LENGTH. */
  {
    const uint32_t at = stamp;
    const uint32_t last = 4294967295u;
    char buffer[IDSTAMP_MAX_TOKEN_LENGTH + 1];
    idstamp_report report;
    memset(buffer, '#', sizeof buffer);
    expect(idstamp_issue_token(buffer, 14, "ABC", 3, &at) == 0 && buffer[0] == '#',
           "one byte short");
    expect(idstamp_issue_token(buffer, 15, "ABC", 3, &at) == 15 &&
               memcmp(buffer, "5109B8788C4A757#", 16) == 0,
           "exact capacity");
    expect(idstamp_issue_token(buffer, sizeof buffer, "A\0B", 3, &at) == 0, "zero byte in the id");
    expect(idstamp_issue_token(buffer, sizeof buffer, long_id, 0, &at) == 0, "empty id");
    expect(idstamp_issue_token(buffer, sizeof buffer, NULL, 3, &at) == 0, "NULL id");
    expect(idstamp_issue_token(NULL, IDSTAMP_MAX_TOKEN_LENGTH, "ABC", 3, &at) == 0, "NULL buffer");
    /* The token may go where the id lies: at it, before it or after its
       start. One byte short, the id stays. */
    {
      static const size_t places[][2] = {{0, 0}, {0, 5}, {2, 0}}; /* token, id */
      for (i = 0; i < 3; ++i) {
        char* const dst = buffer + places[i][0];
        memset(buffer, '#', sizeof buffer);
        memcpy(buffer + places[i][1], "ABC", 3);
        expect(idstamp_issue_token(dst, 15, buffer + places[i][1], 3, &at) == 15 &&
                   memcmp(dst, "5109B8788C4A757", 15) == 0,
               "token over its id");
      }
      memset(buffer, '#', sizeof buffer);
      memcpy(buffer, "ABC", 3);
      expect(idstamp_issue_token(buffer, 14, buffer, 3, &at) == 0 && memcmp(buffer, "ABC#", 4) == 0,
             "token over its id, one byte short");
    }
    memset(long_id, 'x', 1000);
    expect(idstamp_issue_token(buffer, sizeof buffer, long_id, 1000, &at) == 0, "1000-byte id");
    expect(
        idstamp_issue_token(buffer, sizeof buffer, long_id, 999, &last) == IDSTAMP_MAX_TOKEN_LENGTH,
        "the longest token");
    expect(
        idstamp_check_token(buffer, IDSTAMP_MAX_TOKEN_LENGTH, 1, &last, &report) == IDSTAMP_FRESH &&
            report.id_length == 999 && memcmp(report.id, long_id, 999) == 0 &&
            report.id[999] == '\0',
        "the longest token checked");

    /* The length bounds the token: bytes after it are not read, and a zero
       byte anywhere inside makes it malformed, leaving no id in a report
       that held one. */
    memcpy(buffer, "5109B8788C4A757X", 16);
    expect(idstamp_check_token(buffer, 15, 30, &at, &report) == IDSTAMP_FRESH &&
               strcmp(report.id, "ABC") == 0,
           "token with its length");
    for (i = 0; i < 15; ++i) {
      memcpy(buffer, "5109B8788C4A757", 15);
      buffer[i] = '\0';
      expect(idstamp_check_token(buffer, 15, 30, &at, &report) == IDSTAMP_MALFORMED &&
                 report.parsed == 0 && report.reason != NULL && report.id[0] == '\0' &&
                 report.id_length == 0,
             "zero byte in the token");
      expect(idstamp_check_token("5109B8788C4A757", 15, 30, &at, &report) == IDSTAMP_FRESH,
             "token with its length");
    }
    expect(idstamp_check_token(NULL, 15, 30, &at, &report) == IDSTAMP_MALFORMED &&
               strcmp(report.reason, "too short") == 0,
           "NULL token");

    /* By the clock, both ways. */
    {
      const size_t n = idstamp_issue_token(buffer, sizeof buffer, "now", 3, NULL);
      expect(n > 0 &&
                 idstamp_check_token(buffer, n, IDSTAMP_DEFAULT_LIFETIME, NULL, &report) ==
                     IDSTAMP_FRESH &&
                 strcmp(report.id, "now") == 0,
             "issued and checked by the clock");
    }
  }

  /* The library is the version its headers say. */
  snprintf(version, sizeof version, "%d.%d.%d", IDSTAMP_VERSION_MAJOR, IDSTAMP_VERSION_MINOR,
           IDSTAMP_VERSION_PATCH);
  expect(strcmp(idstamp_version(), version) == 0, "version");

  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
