//! Issues and checks short-lived scrambled tokens for ids.
//!
//! A token carries an id of 1 to 999 bytes (none of them zero) and the year
//! stamp of its issue: milliseconds since local midnight of 1 January, modulo
//! 2^32. Its bytes are shuffled and its digits replaced through a digit map.
//! It is fresh while 0 <= whole minutes since its stamp < lifetime, counting
//! minutes toward zero, so a stamp up to 59.999 s ahead still counts as 0.
//! The same tokens come from the idstamp C++ library and command-line tool.
//!
//! **Tokens are scrambled, not signed:** anyone who knows the digit map can
//! read and forge them.
//!
//! Functions ending in `_at` take the year stamp as a value and never read the
//! clock. The others read the local clock through the C library
//! (`clock_gettime` and `localtime_r`), in the zone it applies under `TZ`.
//!
//! ```
//! let token = idstamp::crypt_id_at(b"ABC", 411_196_474).unwrap();
//! assert_eq!(token, b"5109B8788C4A757");
//! let report = idstamp::inspect_at(&token, 30, 411_196_474 + 60_000);
//! assert_eq!(report.verdict, idstamp::Verdict::Fresh);
//! assert_eq!(report.id.as_deref(), Some(&b"ABC"[..]));
//! assert_eq!(idstamp::decrypt_id_at(&token, 30, 411_196_474 + 1_800_000), None);
//! ```
#![deny(unsafe_code)]
#![warn(missing_docs)]

mod clock;

use std::fmt;

/// The longest id, in bytes, that a token can carry.
pub const MAX_ID_LENGTH: usize = 999;
/// The command line's lifetime, in minutes.
pub const DEFAULT_LIFETIME: i32 = 30;

const DEFAULT_DIGIT_MAP: &[u8; 10] = b"5820739164";
const MS_PER_MINUTE: i64 = 60_000;

/// What a checker makes of a token. Only a [`Verdict::Fresh`] token gives its
/// id back.
#[derive(Clone, Copy, Debug, PartialEq, Eq, Hash)]
pub enum Verdict {
    /// Issued less than the lifetime ago, or at most 59.999 s ahead.
    Fresh,
    /// Issued the lifetime or more ago.
    Expired,
    /// Stamped a minute or more ahead of the clock.
    Ahead,
    /// Not a token: see [`Report::reason`].
    Malformed,
}

impl fmt::Display for Verdict {
    /// The verdict's name as `idstamp-inspect` prints it: "fresh", "expired",
    /// "ahead" or "malformed".
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        f.write_str(match self {
            Verdict::Fresh => "fresh",
            Verdict::Expired => "expired",
            Verdict::Ahead => "ahead",
            Verdict::Malformed => "malformed",
        })
    }
}

/// What a token holds and why it is accepted or refused.
#[derive(Clone, Debug, PartialEq, Eq)]
pub struct Report {
    /// The verdict.
    pub verdict: Verdict,
    /// For a malformed token, the first check it fails: "too short", "bad
    /// length field", "no stamp", "zero byte in the id" or "bad stamp".
    /// `None` for any other verdict.
    pub reason: Option<&'static str>,
    /// The id's bytes; `None` for a malformed token.
    pub id: Option<Vec<u8>>,
    /// The stamp as written (a forged one may lie outside 32 bits); 0 for a
    /// malformed token.
    pub stamp: i64,
    /// The year stamp the token was judged at; 0 for a malformed token.
    pub now: u32,
    /// `now - stamp` in milliseconds, modulo 2^64 read as signed; 0 for a
    /// malformed token.
    pub age_ms: i64,
}

/// Why a token could not be issued, a digit map was refused or the clock
/// could not be read.
#[derive(Debug)]
#[non_exhaustive]
pub enum Error {
    /// An id that is empty or longer than [`MAX_ID_LENGTH`] bytes: its length.
    IdLength(usize),
    /// An id that holds a zero byte.
    IdZeroByte,
    /// A digit map that is not the ten digits, each once.
    DigitMap(String),
    /// A destination too short for the token: the bytes needed and given.
    BufferTooShort {
        /// The token's length.
        needed: usize,
        /// The destination's length.
        given: usize,
    },
    /// The local clock or its conversion to local time failed.
    Clock(&'static str, std::io::Error),
    /// Memory for the result could not be had.
    OutOfMemory,
}

impl fmt::Display for Error {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        match self {
            Error::IdLength(n) => write!(
                f,
                "idstamp: invalid id: it must be 1 to {MAX_ID_LENGTH} bytes, not {n}"
            ),
            Error::IdZeroByte => f.write_str("idstamp: invalid id: it must not hold a zero byte"),
            Error::DigitMap(m) => write!(
                f,
                "idstamp: invalid digit map: it must hold each of the ten digits once, not {m:?}"
            ),
            Error::BufferTooShort { needed, given } => write!(
                f,
                "idstamp: the destination holds {given} bytes, the token needs {needed}"
            ),
            Error::Clock(what, e) => write!(
                f,
                "idstamp cannot read the local clock: {what} failed ({e}); check TZ, or give the stamp yourself"
            ),
            Error::OutOfMemory => f.write_str("idstamp: out of memory"),
        }
    }
}

impl std::error::Error for Error {
    fn source(&self) -> Option<&(dyn std::error::Error + 'static)> {
        match self {
            Error::Clock(_, e) => Some(e),
            _ => None,
        }
    }
}

/// Wall-clock fields of one instant in some zone, as a zone library or the C
/// library's `localtime_r` gives them. Fields out of their range are clamped
/// by [`year_stamp_of`], not refused.
#[derive(Clone, Copy, Debug, PartialEq, Eq, Hash, Default)]
pub struct CivilTime {
    /// The year, 1 to 9999 (others are clamped).
    pub year: i32,
    /// The month, 1 to 12.
    pub month: u8,
    /// The day of the month, from 1.
    pub day: u8,
    /// The hour, 0 to 23.
    pub hour: u8,
    /// The minute, 0 to 59.
    pub minute: u8,
    /// The second, 0 to 59 (a leap second 60 counts as 59).
    pub second: u8,
    /// The millisecond, 0 to 999.
    pub millisecond: u16,
}

fn is_leap(year: i32) -> bool {
    year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)
}

const DAYS_BEFORE: [u16; 13] = [0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334];

/// The year stamp of wall-clock fields: ((day of year - 1) * 86400 + hour *
/// 3600 + minute * 60 + second) * 1000 + millisecond, modulo 2^32, each field
/// first clamped into its range (the year into 1 to 9999, the day into its
/// month). Across a daylight-saving change this is not the time elapsed since
/// 1 January: the fields move with the clock.
pub fn year_stamp_of(t: &CivilTime) -> u32 {
    let year = t.year.clamp(1, 9999);
    let leap = is_leap(year);
    let month = t.month.clamp(1, 12);
    let month_days = match month {
        2 if leap => 29,
        2 => 28,
        4 | 6 | 9 | 11 => 30,
        _ => 31,
    };
    let day = t.day.clamp(1, month_days);
    let mut yday = u64::from(DAYS_BEFORE[usize::from(month)]) + u64::from(day) - 1;
    if leap && month > 2 {
        yday += 1;
    }
    let seconds = yday * 86_400
        + u64::from(t.hour.min(23)) * 3600
        + u64::from(t.minute.min(59)) * 60
        + u64::from(t.second.min(59));
    (seconds * 1000 + u64::from(t.millisecond.min(999))) as u32
}

/// The year stamp of now by the local clock, in the zone the C library
/// applies under `TZ` (or `/etc/localtime`).
///
/// The C library reads `TZ` here: changing the environment from another
/// thread at the same time is not safe.
pub fn year_stamp() -> Result<u32, Error> {
    clock::now_civil().map(|t| year_stamp_of(&t))
}

/// Issues and checks tokens with one digit map. [`Codec::default`] uses the
/// library's map. A `Codec` never changes, so any number of threads may share
/// one.
#[derive(Clone)]
pub struct Codec {
    encode: [u8; 256],
    decode: [u8; 256],
    pairs: [u8; 200], // "00" to "99" through the encoding map
}

impl fmt::Debug for Codec {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        let map: String = (b'0'..=b'9')
            .map(|d| self.encode[usize::from(d)] as char)
            .collect();
        f.debug_struct("Codec").field("digit_map", &map).finish()
    }
}

static DEFAULT_CODEC: Codec = match Codec::tables(DEFAULT_DIGIT_MAP) {
    Some(c) => c,
    None => panic!("the default digit map is a permutation"),
};

impl Default for Codec {
    fn default() -> Self {
        DEFAULT_CODEC.clone()
    }
}

impl Codec {
    /// A codec for another digit map: ten characters, a permutation of the
    /// digits, entry d replacing the digit d. Tokens pass only between
    /// issuers and checkers with the same map.
    pub fn new(digit_map: &str) -> Result<Codec, Error> {
        let bytes: &[u8; 10] = digit_map
            .as_bytes()
            .try_into()
            .map_err(|_| Error::DigitMap(digit_map.to_owned()))?;
        Codec::tables(bytes).ok_or_else(|| Error::DigitMap(digit_map.to_owned()))
    }

    const fn tables(map: &[u8; 10]) -> Option<Codec> {
        let mut c = Codec {
            encode: [0; 256],
            decode: [0; 256],
            pairs: [0; 200],
        };
        let mut b = 0;
        while b < 256 {
            c.encode[b] = b as u8;
            c.decode[b] = b as u8;
            b += 1;
        }
        let mut seen = 0u16;
        let mut d = 0;
        while d < 10 {
            let m = map[d];
            if m < b'0' || m > b'9' || seen & (1 << (m - b'0')) != 0 {
                return None;
            }
            seen |= 1 << (m - b'0');
            c.encode[b'0' as usize + d] = m;
            c.decode[m as usize] = b'0' + d as u8;
            d += 1;
        }
        let mut i = 0;
        while i < 100 {
            c.pairs[2 * i] = c.encode[b'0' as usize + i / 10];
            c.pairs[2 * i + 1] = c.encode[b'0' as usize + i % 10];
            i += 1;
        }
        Some(c)
    }

    /// Issues a token for `id` at the local clock's year stamp.
    pub fn crypt_id(&self, id: &[u8]) -> Result<Vec<u8>, Error> {
        check_id(id)?;
        self.crypt_id_at(id, year_stamp()?)
    }

    /// Issues a token for `id` at the given year stamp.
    pub fn crypt_id_at(&self, id: &[u8], stamp: u32) -> Result<Vec<u8>, Error> {
        check_id(id)?;
        let n = token_length(id, stamp);
        let mut token = Vec::new();
        token.try_reserve_exact(n).map_err(|_| Error::OutOfMemory)?;
        token.resize(n, 0);
        self.write_token(&mut token, id, stamp);
        Ok(token)
    }

    /// Writes the token for `id` at `stamp` into the start of `dst` and gives
    /// its length, with no allocation. A `dst` too short for it is an error,
    /// and then nothing is written; at most 3 + 999 + 10 bytes are needed.
    pub fn issue_into(&self, dst: &mut [u8], id: &[u8], stamp: u32) -> Result<usize, Error> {
        check_id(id)?;
        let n = token_length(id, stamp);
        let given = dst.len();
        let dst = dst
            .get_mut(..n)
            .ok_or(Error::BufferTooShort { needed: n, given })?;
        self.write_token(dst, id, stamp);
        Ok(n)
    }

    /// Writes the plain token (length field, id, stamp) with each byte already
    /// through the encoding map, then trades each odd position i below n/2
    /// with its mirror n-1-i: moving bytes and mapping them commute.
    fn write_token(&self, token: &mut [u8], id: &[u8], stamp: u32) {
        let n = token.len();
        let length = id.len();
        token[0] = self.encode[usize::from(b'0') + length / 100];
        token[1] = self.pairs[2 * (length % 100)];
        token[2] = self.pairs[2 * (length % 100) + 1];
        for (t, &b) in token[3..3 + length].iter_mut().zip(id) {
            *t = self.encode[usize::from(b)];
        }
        let (mut k, mut s) = (n, stamp as usize);
        while s >= 100 {
            k -= 2;
            token[k] = self.pairs[2 * (s % 100)];
            token[k + 1] = self.pairs[2 * (s % 100) + 1];
            s /= 100;
        }
        if s >= 10 {
            token[k - 2] = self.pairs[2 * s];
            token[k - 1] = self.pairs[2 * s + 1];
        } else {
            token[k - 1] = self.encode[usize::from(b'0') + s];
        }
        let mut i = 1;
        while 2 * i + 1 < n {
            token.swap(i, n - 1 - i);
            i += 2;
        }
    }

    /// Gives the id of a token that is fresh by the local clock, or `None` for
    /// a refused token. An error means the clock cannot be read; a token
    /// refused before the time comparison needs no clock. A `lifetime` of 0
    /// or less accepts no token.
    pub fn decrypt_id(&self, token: &[u8], lifetime: i32) -> Result<Option<Vec<u8>>, Error> {
        if lifetime <= 0 || self.with_plain(token, |t| read(t).is_err()) {
            return Ok(None);
        }
        Ok(self.decrypt_id_at(token, lifetime, year_stamp()?))
    }

    /// Gives the id of a token that is fresh at year stamp `now`, or `None`
    /// for a refused token (or should the id's memory not be had). It
    /// allocates only the id.
    pub fn decrypt_id_at(&self, token: &[u8], lifetime: i32, now: u32) -> Option<Vec<u8>> {
        self.with_plain(token, |t| {
            let p = read(t).ok()?;
            if judge(p.stamp, lifetime, now) != Verdict::Fresh {
                return None;
            }
            id_of(t, p.length)
        })
    }

    /// Judges a token by the local clock. An error means the clock cannot be
    /// read; a malformed token needs no clock.
    pub fn inspect(&self, token: &[u8], lifetime: i32) -> Result<Report, Error> {
        if let Err(reason) = self.with_plain(token, |t| read(t).map(|_| ())) {
            return Ok(malformed(reason));
        }
        Ok(self.inspect_at(token, lifetime, year_stamp()?))
    }

    /// Judges a token at year stamp `now`. It allocates only the id, and
    /// nothing for a malformed token. Should the id's memory not be had, the
    /// report is malformed with the reason "out of memory".
    pub fn inspect_at(&self, token: &[u8], lifetime: i32, now: u32) -> Report {
        self.with_plain(token, |t| {
            let p = match read(t) {
                Ok(p) => p,
                Err(reason) => return malformed(reason),
            };
            let Some(id) = id_of(t, p.length) else {
                return malformed("out of memory");
            };
            Report {
                verdict: judge(p.stamp, lifetime, now),
                reason: None,
                id: Some(id),
                stamp: p.stamp,
                now,
                age_ms: i64::from(now).wrapping_sub(p.stamp),
            }
        })
    }

    /// Calls `f` on the plain token: unscrambled on the stack when it is
    /// short, or else read byte by byte from the token, never on the heap.
    #[inline]
    fn with_plain<R>(&self, token: &[u8], f: impl FnOnce(&dyn PlainText) -> R) -> R {
        if token.len() <= SCRATCH {
            let mut scratch = [0u8; SCRATCH];
            let plain = &mut scratch[..token.len()];
            self.unscramble(token, plain);
            f(&Unscrambled(plain))
        } else {
            f(&Scrambled { codec: self, token })
        }
    }

    /// Writes into `plain` (as long as token) the token's bytes through the
    /// decoding map, each odd position below n/2 traded with its mirror.
    fn unscramble(&self, token: &[u8], plain: &mut [u8]) {
        for (p, &b) in plain.iter_mut().zip(token) {
            *p = self.decode[usize::from(b)];
        }
        let n = plain.len();
        let mut i = 1;
        while 2 * i + 1 < n {
            plain.swap(i, n - 1 - i);
            i += 2;
        }
    }
}

/// Tokens up to this length are unscrambled on the stack.
const SCRATCH: usize = 64;

/// A plain token, byte by byte.
trait PlainText {
    fn len(&self) -> usize;
    fn at(&self, p: usize) -> u8;
    /// Whether bytes `from..to` hold a zero byte.
    fn has_zero(&self, from: usize, to: usize) -> bool {
        (from..to).any(|p| self.at(p) == 0)
    }
    /// Appends bytes `from..to` to `out`.
    fn copy_to(&self, from: usize, to: usize, out: &mut Vec<u8>) {
        out.extend((from..to).map(|p| self.at(p)));
    }
}

struct Unscrambled<'a>(&'a [u8]);

impl PlainText for Unscrambled<'_> {
    fn len(&self) -> usize {
        self.0.len()
    }
    fn at(&self, p: usize) -> u8 {
        self.0[p]
    }
    fn has_zero(&self, from: usize, to: usize) -> bool {
        self.0[from..to].contains(&0)
    }
    fn copy_to(&self, from: usize, to: usize, out: &mut Vec<u8>) {
        out.extend_from_slice(&self.0[from..to]);
    }
}

/// A long token, read in place: each odd position below n/2 trades places
/// with its mirror, and the digits go through the decoding map.
struct Scrambled<'a> {
    codec: &'a Codec,
    token: &'a [u8],
}

impl PlainText for Scrambled<'_> {
    fn len(&self) -> usize {
        self.token.len()
    }
    fn at(&self, p: usize) -> u8 {
        let q = self.token.len() - 1 - p;
        let from = if p < q && p & 1 == 1 || q < p && q & 1 == 1 {
            q
        } else {
            p
        };
        self.codec.decode[usize::from(self.token[from])]
    }
}

/// Reads a plain token, or gives why it is malformed: the reasons word for
/// word as the library gives them, in the order of its checks.
fn read(t: &dyn PlainText) -> Result<Plain, &'static str> {
    let n = t.len();
    if n < 3 {
        return Err("too short");
    }
    let head = [t.at(0), t.at(1), t.at(2)];
    let length = if head.iter().all(u8::is_ascii_digit) {
        head.iter().fold(0, |v, d| v * 10 + usize::from(d - b'0'))
    } else {
        match read_decimal(head.iter().copied()) {
            Some(l) if l > 0 => l as usize, // at most 999 from three bytes
            _ => 0,
        }
    };
    if length == 0 {
        return Err("bad length field");
    }
    if 3 + length >= n {
        return Err("no stamp");
    }
    if t.has_zero(3, 3 + length) {
        return Err("zero byte in the id");
    }
    let first = t.at(3 + length);
    let stamp = if n - 3 - length <= 18 && (b'1'..=b'9').contains(&first) {
        // as an issuer writes it: no sign, no leading zero, short
        (3 + length..n).try_fold(0i64, |v, p| {
            let d = t.at(p).wrapping_sub(b'0');
            (d <= 9).then(|| v * 10 + i64::from(d))
        })
    } else {
        read_decimal((3 + length..n).map(|p| t.at(p)))
    };
    match stamp {
        Some(stamp) if stamp != -1 => Ok(Plain { length, stamp }),
        _ => Err("bad stamp"),
    }
}

/// A copy of the id of a token that reads, or `None` without memory.
fn id_of(t: &dyn PlainText, length: usize) -> Option<Vec<u8>> {
    let mut id = Vec::new();
    id.try_reserve_exact(length).ok()?;
    t.copy_to(3, 3 + length, &mut id);
    Some(id)
}

/// What a token that reads holds.
struct Plain {
    length: usize, // of the id
    stamp: i64,    // as written
}

fn malformed(reason: &'static str) -> Report {
    Report {
        verdict: Verdict::Malformed,
        reason: Some(reason),
        id: None,
        stamp: 0,
        now: 0,
        age_ms: 0,
    }
}

fn check_id(id: &[u8]) -> Result<(), Error> {
    if id.is_empty() || id.len() > MAX_ID_LENGTH {
        return Err(Error::IdLength(id.len()));
    }
    if id.contains(&0) {
        return Err(Error::IdZeroByte);
    }
    Ok(())
}

fn token_length(id: &[u8], stamp: u32) -> usize {
    let mut digits = 1;
    let mut s = stamp;
    while s >= 10 {
        s /= 10;
        digits += 1;
    }
    3 + id.len() + digits
}

/// Reads text as a signed 64-bit decimal: leading bytes 9 to 13 and 32, one
/// optional + or -, then at least one digit and only digits to the end. A
/// value beyond the range takes the nearest limit.
fn read_decimal(text: impl Iterator<Item = u8>) -> Option<i64> {
    const LIMIT: u64 = 1 << 63; // the magnitude of the lowest value
    let mut text = text
        .skip_while(|&b| b == b' ' || (9..=13).contains(&b))
        .peekable();
    let negative = match text.peek() {
        Some(b'-') => true,
        Some(b'+') => false,
        _ => {
            return digits(text, LIMIT).map(|m| m.min(LIMIT - 1) as i64);
        }
    };
    text.next();
    let magnitude = digits(text, LIMIT)?;
    Some(if negative {
        if magnitude >= LIMIT {
            i64::MIN
        } else {
            -(magnitude as i64)
        }
    } else {
        magnitude.min(LIMIT - 1) as i64
    })
}

/// The magnitude of one or more digits to the end of text, held at limit + 1
/// once beyond limit; `None` for no digit or another byte.
fn digits(text: impl Iterator<Item = u8>, limit: u64) -> Option<u64> {
    let mut magnitude = 0u64;
    let mut any = false;
    for b in text {
        let d = u64::from(b.wrapping_sub(b'0'));
        if d > 9 {
            return None;
        }
        any = true;
        magnitude = if magnitude > (limit - d) / 10 {
            limit + 1
        } else {
            magnitude * 10 + d
        };
    }
    any.then_some(magnitude)
}

/// The verdict on a token of the given stamp: whole minutes of age
/// `now - stamp`, modulo 2^64 read as signed, truncated toward zero.
fn judge(stamp: i64, lifetime: i32, now: u32) -> Verdict {
    let minutes = i64::from(now).wrapping_sub(stamp) / MS_PER_MINUTE;
    if minutes < 0 {
        Verdict::Ahead
    } else if minutes >= i64::from(lifetime) {
        Verdict::Expired
    } else {
        Verdict::Fresh
    }
}

/// Issues a token for `id` at the local clock's year stamp, with the
/// library's digit map.
pub fn crypt_id(id: &[u8]) -> Result<Vec<u8>, Error> {
    DEFAULT_CODEC.crypt_id(id)
}

/// Issues a token for `id` at the given year stamp, with the library's map.
pub fn crypt_id_at(id: &[u8], stamp: u32) -> Result<Vec<u8>, Error> {
    DEFAULT_CODEC.crypt_id_at(id, stamp)
}

/// Writes the token for `id` at `stamp` into `dst`, with no allocation; see
/// [`Codec::issue_into`].
pub fn issue_into(dst: &mut [u8], id: &[u8], stamp: u32) -> Result<usize, Error> {
    DEFAULT_CODEC.issue_into(dst, id, stamp)
}

/// Gives the id of a token that is fresh by the local clock; see
/// [`Codec::decrypt_id`].
pub fn decrypt_id(token: &[u8], lifetime: i32) -> Result<Option<Vec<u8>>, Error> {
    DEFAULT_CODEC.decrypt_id(token, lifetime)
}

/// Gives the id of a token that is fresh at year stamp `now`; see
/// [`Codec::decrypt_id_at`].
pub fn decrypt_id_at(token: &[u8], lifetime: i32, now: u32) -> Option<Vec<u8>> {
    DEFAULT_CODEC.decrypt_id_at(token, lifetime, now)
}

/// Judges a token by the local clock; see [`Codec::inspect`].
pub fn inspect(token: &[u8], lifetime: i32) -> Result<Report, Error> {
    DEFAULT_CODEC.inspect(token, lifetime)
}

/// Judges a token at year stamp `now`; see [`Codec::inspect_at`].
pub fn inspect_at(token: &[u8], lifetime: i32, now: u32) -> Report {
    DEFAULT_CODEC.inspect_at(token, lifetime, now)
}
