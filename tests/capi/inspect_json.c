/* idstamp_inspect_at from C, printing the object `idstamp-inspect --json`
   prints, without its "id" member (which needs a UTF-8 check):
     inspect_json TOKEN LIFETIME NOW */
#include <idstamp/idstamp.h>
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  static const char* const verdicts[] = {"fresh", "expired", "ahead", "malformed"};
  idstamp_report r;
  size_t i;
  int32_t lifetime;
  if (argc != 4) return 2;
  lifetime = (int32_t)strtol(argv[2], NULL, 10);
  idstamp_inspect_at(argv[1], lifetime, (uint32_t)strtoul(argv[3], NULL, 10), &r);
  printf("{\"verdict\": \"%s\", \"id_hex\": ", verdicts[r.verdict]);
  if (r.parsed) {
    putchar('"');
    for (i = 0; i < r.id_length; ++i) printf("%02x", (unsigned char)r.id[i]);
    printf("\", \"stamp\": %" PRId64 ", \"now\": %" PRIu32 ", \"age_ms\": %" PRId64, r.stamp, r.now,
           r.age_ms);
  } else {
    printf("null, \"stamp\": null, \"now\": null, \"age_ms\": null");
  }
  printf(", \"lifetime\": %" PRId32 ", \"reason\": ", lifetime);
  if (r.reason != NULL) {
    printf("\"%s\"}\n", r.reason);
  } else {
    printf("null}\n");
  }
  return 0;
}
