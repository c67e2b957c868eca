/* idstamp's check against the C libraries that sign tokens, in one run:
 * libjwt verifying an HS256 token, and OpenSSL's HMAC-SHA256 alone on a
 * context keyed once, the floor under any signed token. Each peer checks a
 * token it made itself before the loop. Every call is timed in turns, in
 * rounds, and given by its fastest round: a busy machine only adds time.
 *   peers [ROUNDS]
 */
#include <idstamp/idstamp.h>
#include <jwt.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static const char id[] = "user-20489113";
static const uint32_t stamp = 411196474;
static const unsigned char key[32] = "a key of thirty-two bytes, fixed";

static char token[IDSTAMP_MAX_TOKEN_LENGTH];
static size_t token_length;
static idstamp_report report;

static char* jwt_token;

static EVP_MAC_CTX* mac;
static unsigned char tag[32];

static volatile int sink;

static int check_idstamp(void) {
  return idstamp_check_token(token, token_length, 30, &stamp, &report) == IDSTAMP_FRESH &&
         report.id_length == sizeof id - 1;
}

static int check_libjwt(void) {
  jwt_t* jwt = NULL;
  if (jwt_decode(&jwt, jwt_token, key, sizeof key) != 0) return 0;
  const int ok = strcmp(jwt_get_grant(jwt, "sub"), id) == 0;
  jwt_free(jwt);
  return ok;
}

static int check_hmac(void) {
  unsigned char out[32];
  size_t out_length = 0;
  if (!EVP_MAC_init(mac, NULL, 0, NULL) ||
      !EVP_MAC_update(mac, (const unsigned char*)token, token_length) ||
      !EVP_MAC_final(mac, out, &out_length, sizeof out))
    return 0;
  return out_length == sizeof tag && CRYPTO_memcmp(out, tag, sizeof tag) == 0;
}

static double now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

/* ns per call of one round of `count` calls; 0 when a call fails. */
static double round_ns(int (*check)(void), long count) {
  int ok = 1;
  const double start = now_ns();
  for (long i = 0; i < count; ++i) ok &= check();
  const double ns = (now_ns() - start) / (double)count;
  sink = ok;
  return ok ? ns : 0;
}

static void make_tokens(void) {
  token_length = idstamp_issue_token(token, sizeof token, id, sizeof id - 1, &stamp);
  jwt_t* jwt = NULL;
  if (token_length == 0 || jwt_new(&jwt) != 0 || jwt_add_grant(jwt, "sub", id) != 0 ||
      jwt_add_grant_int(jwt, "exp", 4102444800) != 0 ||
      jwt_set_alg(jwt, JWT_ALG_HS256, key, sizeof key) != 0 ||
      (jwt_token = jwt_encode_str(jwt)) == NULL) {
    fprintf(stderr, "peers: could not make the tokens\n");
    exit(1);
  }
  jwt_free(jwt);
  EVP_MAC* hmac = EVP_MAC_fetch(NULL, "HMAC", NULL);
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, "SHA256", 0),
                         OSSL_PARAM_construct_end()};
  size_t tag_length = 0;
  if (hmac == NULL || (mac = EVP_MAC_CTX_new(hmac)) == NULL ||
      !EVP_MAC_init(mac, key, sizeof key, params) ||
      !EVP_MAC_update(mac, (const unsigned char*)token, token_length) ||
      !EVP_MAC_final(mac, tag, &tag_length, sizeof tag)) {
    fprintf(stderr, "peers: could not key HMAC-SHA256\n");
    exit(1);
  }
  EVP_MAC_free(hmac);
}

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? atoi(argv[1]) : 20;
  struct {
    const char* name;
    int (*check)(void);
    long count;
    double best;
  } calls[] = {
      {"idstamp_check_token", check_idstamp, 200000, 0},
      {"libjwt jwt_decode (HS256)", check_libjwt, 5000, 0},
      {"OpenSSL HMAC-SHA256, keyed context", check_hmac, 50000, 0},
  };
  const size_t n = sizeof calls / sizeof calls[0];
  make_tokens();
  for (int r = 0; r < rounds; ++r) {
    for (size_t c = 0; c < n; ++c) {
      const double ns = round_ns(calls[c].check, calls[c].count);
      if (ns == 0) {
        fprintf(stderr, "peers: %s refused its own token\n", calls[c].name);
        return 1;
      }
      if (r == 0 || ns < calls[c].best) calls[c].best = ns;
    }
  }
  printf("C, %zu-byte idstamp token, fastest of %d rounds\n", token_length, rounds);
  printf("%-36s %10s %8s\n", "check", "ns/call", "ratio");
  for (size_t c = 0; c < n; ++c)
    printf("%-36s %10.1f %7.1fx\n", calls[c].name, calls[c].best, calls[c].best / calls[0].best);
  free(jwt_token);
  EVP_MAC_CTX_free(mac);
  return 0;
}
