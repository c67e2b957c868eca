/* idstamp's C interface: short-lived scrambled tokens for identifiers.
 *
 * Every text is a zero-terminated byte string. A function that returns
 * `char *` hands the caller a new heap text that the caller releases with
 * idstamp_free, or NULL for a refusal, a NULL argument or a failed
 * allocation. Nothing here prints, aborts or lets an exception escape.
 *
 * Stamps are year stamps: milliseconds since local midnight of 1 January,
 * modulo 2^32. The plain forms read the local clock (crypt once per token,
 * decrypt only for a well-formed token); the _at forms take the stamp as a
 * value and read no clock.
 */
#ifndef IDSTAMP_IDSTAMP_H
#define IDSTAMP_IDSTAMP_H

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

/* Releases a text returned by this library; NULL is allowed. */
IDSTAMP_EXPORT void idstamp_free(char* text);

/* The library's version, "MAJOR.MINOR.PATCH", a static text. */
IDSTAMP_EXPORT const char* idstamp_version(void);

#ifdef __cplusplus
}
#endif

#endif /* IDSTAMP_IDSTAMP_H */
