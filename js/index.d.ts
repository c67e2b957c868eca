// Types for idstamp: short-lived scrambled tokens for identifiers.
//
// Ids and tokens are bytes. A string argument is taken as its UTF-8 bytes;
// a string holding a lone surrogate is a TypeError. Results are bytes: decode
// them with TextDecoder when the id is text.
//
// Year stamps are milliseconds since local midnight of 1 January, modulo
// 2^32: integers from 0 to 4294967295. Lifetimes are minutes, a signed 32-bit
// integer; one of 0 or less accepts no token. Arguments of another type throw
// a TypeError, and values outside those ranges a RangeError.
//
// Tokens are scrambled, not signed: anyone who knows the digit map can read
// and forge them.

/** An id or a token: bytes, or a string taken as its UTF-8 bytes. */
export type Bytes = string | Uint8Array;

export type Verdict = "fresh" | "expired" | "ahead" | "malformed";

/** Why a malformed token is malformed, in the order the checks run. */
export type MalformedReason =
  | "too short"
  | "bad length field"
  | "no stamp"
  | "zero byte in the id"
  | "bad stamp";

/** What a checker makes of a token. */
export interface TokenReport {
  /**
   * fresh: 0 <= whole minutes since the stamp < lifetime; expired: as many
   * minutes as the lifetime or more; ahead: stamped a minute or more ahead of
   * now; malformed: not a token.
   */
  verdict: Verdict;
  /** Set exactly when the verdict is malformed. */
  reason: MalformedReason | null;
  /** The id the token carries; null when malformed. */
  id: Uint8Array | null;
  /** The stamp as written in the token, which for a forged one may be any 64-bit value. */
  stamp: bigint | null;
  /** The year stamp the token was judged against; null when malformed. */
  now: number | null;
  /** now - stamp in milliseconds, modulo 2^64 read as signed; null when malformed. */
  ageMs: bigint | null;
}

/**
 * The token for `id` (1 to 999 bytes, none of them zero) issued at year stamp
 * `stamp`, or, when `stamp` is omitted, now by the local clock.
 * @throws {RangeError} for an id that cannot be issued, or a stamp out of range.
 * @throws {Error} when the stamp is omitted and the runtime cannot apply the host's TZ setting.
 */
export function cryptId(id: Bytes, stamp?: number): Uint8Array;

/**
 * The id `token` carries when it is fresh at year stamp `now` (omitted: the
 * local clock) for a lifetime of `lifetime` minutes (default 30); else null.
 * The clock is read only for a token that parses.
 */
export function decryptId(token: Bytes, lifetime?: number, now?: number): Uint8Array | null;

/**
 * The verdict on `token` at year stamp `now` (omitted: the local clock) for a
 * lifetime of `lifetime` minutes (default 30), with what could be read from it.
 * The clock is read only for a token that parses.
 */
export function inspectToken(token: Bytes, lifetime?: number, now?: number): TokenReport;

/**
 * The year stamp of the local clock now, in the zone the C library would
 * apply: the zone file TZ names under TZDIR (or /usr/share/zoneinfo), UTC for
 * an empty TZ, /etc/localtime with TZ unset.
 * @throws {Error} naming TZ where that zone cannot be followed: a name with
 * no zone file (JST), a POSIX rule (EST5EDT,M3.2.0,M11.1.0), a file path, or
 * with TZ unset a runtime whose own zone is not the one /etc/localtime holds.
 */
export function yearStamp(): number;

/**
 * The year stamp of `instant` (a Date, or ms since 1970 UTC) under the IANA
 * time zone `timeZone` ("Europe/Berlin", "UTC"): the milliseconds since
 * midnight of 1 January by that zone's wall clock at the instant, modulo
 * 2^32, with the zone's rules as Intl knows them. Needs no TZ setting and
 * reads no clock: `yearStampAt(Date.now(), zone)` is the stamp a checker in
 * `zone` takes now.
 * @throws {TypeError} when instant is not a Date or a number, or timeZone not a string.
 * @throws {RangeError} for an invalid Date, an instant that is not whole ms
 * within 8.64e15 of 1970, or a zone this runtime does not know.
 * @throws {Error} when the runtime has no Intl.
 */
export function yearStampAt(instant: Date | number, timeZone: string): number;

/**
 * The IANA name Intl resolves `timeZone` to ("Asia/Calcutta" may come back
 * for "Asia/Kolkata"), or undefined for a zone this runtime does not know.
 * Omitted or empty: the runtime's own zone.
 */
export function zoneName(timeZone?: string): string | undefined;

/**
 * The formatter yearStampAt reads a zone's wall clock with: the proleptic
 * Gregorian calendar, hours 0 to 23, Latin digits, and numeric era, year,
 * month, day, hour, minute and second parts for formatToParts. Kept for the
 * next call with the same zone.
 * @throws {RangeError} for a zone this runtime does not know.
 * @throws {Error} when the runtime has no Intl.
 */
export function zoneFormat(timeZone: string): Intl.DateTimeFormat;

/**
 * `bytes` as a string when they are UTF-8, else null. A leading byte order
 * mark stays in the string as U+FEFF.
 * @throws {TypeError} when bytes is not a Uint8Array.
 */
export function utf8OrNull(bytes: Uint8Array): string | null;

/** The three functions, issuing and checking with another digit map. */
export interface Codec {
  cryptId(id: Bytes, stamp?: number): Uint8Array;
  decryptId(token: Bytes, lifetime?: number, now?: number): Uint8Array | null;
  inspectToken(token: Bytes, lifetime?: number, now?: number): TokenReport;
}

/**
 * A codec for `digitMap`, ten characters holding each digit once: entry d
 * replaces the digit d. The module's own functions use "5820739164".
 * @throws {TypeError} when digitMap is not a string.
 * @throws {RangeError} when it is not a permutation of the ten digits.
 */
export function createCodec(digitMap: string): Codec;

/** The digit map of the module's own functions and of every idstamp build. */
export const DEFAULT_DIGIT_MAP: "5820739164";

/** The longest id, in bytes: 999. */
export const MAX_ID_LENGTH: 999;

/** This package's version, which is the idstamp project's version. */
export const version: string;
