/* Issues a token for an id and checks it back, through the C interface.
 *   cc main.c $(pkg-config --cflags --libs idstamp)
 *   cc main.c $(pkg-config --static --cflags --libs idstamp)   (libidstamp.a) */
#include <idstamp/idstamp.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  const char* id = argc > 1 ? argv[1] : "user-42";
  char* token = idstamp_crypt_id(id);
  char* back = token != NULL ? idstamp_decrypt_id(token, 10) : NULL;
  const int ok = back != NULL && strcmp(back, id) == 0;
  if (ok) printf("%s -> %s -> %s (libidstamp %s)\n", id, token, back, idstamp_version());
  idstamp_free(back);
  idstamp_free(token);
  return ok ? 0 : 1;
}
