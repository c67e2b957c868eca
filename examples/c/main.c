/* Issues a token for an id and checks it back, through the C interface:
 * once with heap texts, once into buffers of its own, allocating nothing.
 *   cc main.c $(pkg-config --cflags --libs idstamp)
 *   cc main.c $(pkg-config --static --cflags --libs idstamp)   (libidstamp.a) */
#include <idstamp/idstamp.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  const char* id = argc > 1 ? argv[1] : "user-42";
  char* token = idstamp_crypt_id(id);
  char* back = token != NULL ? idstamp_decrypt_id(token, 10) : NULL;
  char buffer[IDSTAMP_MAX_TOKEN_LENGTH];
  idstamp_report report;
  const size_t n = idstamp_issue_token(buffer, sizeof buffer, id, strlen(id), NULL);
  const int ok =
      back != NULL && strcmp(back, id) == 0 && n > 0 &&
      idstamp_check_token(buffer, n, IDSTAMP_DEFAULT_LIFETIME, NULL, &report) == IDSTAMP_FRESH &&
      strcmp(report.id, id) == 0;
  if (ok) printf("%s -> %s -> %s (libidstamp %s)\n", id, token, back, idstamp_version());
  idstamp_free(back);
  idstamp_free(token);
  return ok ? 0 : 1;
}
