/* idstamp's C interface: short-lived scrambled tokens for identifiers.
 *
 * idstamp_issue_token and idstamp_check_token take texts with their
 * lengths, so any byte may be in them, and write into buffers the caller
 * owns: they allocate nothing.
 *
 * The older functions take zero-terminated byte strings. A function that
 * returns `char *` hands the caller a new heap text that the caller releases
 * with idstamp_free, or NULL for a refusal, a NULL argument or a failed
 * allocation. That text is the only memory the library allocates; the
 * inspection functions allocate none. Nothing here prints, aborts or lets an
 * exception escape.
 *
 * Stamps are year stamps: milliseconds since local midnight of 1 January,
 * modulo 2^32. The plain forms read the local clock (crypt once per token,
 * decrypt only for a well-formed token); the _at forms take the stamp as a
 * value and read no clock. Every uint32_t is a stamp, so the two newer
 * functions take theirs by pointer, and NULL stands for the clock.
 */
#ifndef IDSTAMP_IDSTAMP_H
#define IDSTAMP_IDSTAMP_H

#include <stddef.h>
#include <stdint.h>

#include "idstamp/export.h"
#include "idstamp/version.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A token for `id` (1 to 999 bytes), issued now. */
IDSTAMP_EXPORT char* idstamp_crypt_id(const char* id);

/* The id `token` carries while it is younger than `lifetime` minutes. */
IDSTAMP_EXPORT char* idstamp_decrypt_id(const char* token, int32_t lifetime);

/* The same at a given year stamp: issued at `stamp`, checked at `now`. */
IDSTAMP_EXPORT char* idstamp_crypt_id_at(const char* id, uint32_t stamp);
IDSTAMP_EXPORT char* idstamp_decrypt_id_at(const char* token, int32_t lifetime, uint32_t now);

/* The year stamp of the local clock now. */
IDSTAMP_EXPORT uint32_t idstamp_year_stamp(void);

/* The longest id a token carries, in bytes. */
#define IDSTAMP_MAX_ID_LENGTH 999

/* The longest token, in bytes: a buffer this long holds any token issued. */
#define IDSTAMP_MAX_TOKEN_LENGTH (3 + IDSTAMP_MAX_ID_LENGTH + 10)

/* The lifetime in minutes that a checker uses unless told otherwise. */
#define IDSTAMP_DEFAULT_LIFETIME 30

/* What a checker makes of a token. */
typedef enum {
  IDSTAMP_FRESH = 0,    /* 0 <= whole minutes since the stamp < lifetime */
  IDSTAMP_EXPIRED = 1,  /* whole minutes since the stamp >= lifetime */
  IDSTAMP_AHEAD = 2,    /* stamped a minute or more ahead of the clock */
  IDSTAMP_MALFORMED = 3 /* not a token */
} idstamp_verdict;

/* The verdict on a token and what could be read from it. This layout is
 * frozen: later needs get new functions, never new fields. */
typedef struct {
  idstamp_verdict verdict;
  const char* reason; /* static text for a malformed token, else NULL */
  int parsed;         /* 1 when the token parses, then the fields below are set; else 0 */
  char id[IDSTAMP_MAX_ID_LENGTH + 1]; /* zero-terminated */
  size_t id_length;
  int64_t stamp;  /* as written in the token */
  uint32_t now;   /* the year stamp it was judged against */
  int64_t age_ms; /* now - stamp, modulo 2^64, read as signed */
} idstamp_report;

/* The verdict on `token` for `lifetime` minutes, filling `report` when it is
 * not NULL. A NULL token is malformed ("too short"). idstamp_inspect reads
 * the clock only for a token that parses; idstamp_inspect_at judges at year
 * stamp `now`. A lifetime of 0 or less leaves no token fresh. */
IDSTAMP_EXPORT idstamp_verdict idstamp_inspect(const char* token, int32_t lifetime,
                                               idstamp_report* report);
IDSTAMP_EXPORT idstamp_verdict idstamp_inspect_at(const char* token, int32_t lifetime, uint32_t now,
                                                  idstamp_report* report);

/* Writes the token for id[0, id_length), issued at *stamp or, when `stamp`
 * is NULL, at the clock's year stamp, into dst[0, capacity) with no
 * terminating zero. Returns its length; 0, writing nothing, for an invalid
 * id (empty, longer than IDSTAMP_MAX_ID_LENGTH, holding a zero byte, or
 * NULL) or a capacity too small, which IDSTAMP_MAX_TOKEN_LENGTH never is.
 * The clock is read once, and only for a valid id. dst may overlap id, as
 * when a buffer that holds the id receives its token: the token is the one
 * a separate buffer would receive. */
IDSTAMP_EXPORT size_t idstamp_issue_token(char* dst, size_t capacity, const char* id,
                                          size_t id_length, const uint32_t* stamp);

/* The verdict on token[0, token_length), which may hold any byte, zero
 * included, for `lifetime` minutes, filling `report` when it is not NULL,
 * as idstamp_inspect does. Judged at year stamp *now or, when `now` is NULL,
 * by the clock, read once and only for a token that parses. A NULL token is
 * malformed ("too short"). */
IDSTAMP_EXPORT idstamp_verdict idstamp_check_token(const char* token, size_t token_length,
                                                   int32_t lifetime, const uint32_t* now,
                                                   idstamp_report* report);

/* Releases a text returned by this library; NULL is allowed. */
IDSTAMP_EXPORT void idstamp_free(char* text);

/* The library's version, "MAJOR.MINOR.PATCH", a static text. */
IDSTAMP_EXPORT const char* idstamp_version(void);

#ifdef __cplusplus
}
#endif

#endif /* IDSTAMP_IDSTAMP_H */
