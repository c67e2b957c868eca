// idstamp: short-lived scrambled tokens for identifiers.
//
// A token carries an id of 1 to 999 bytes (none of them zero) and the year
// stamp of its issue: milliseconds since local midnight of 1 January, modulo
// 2^32. Its bytes are shuffled and its digits replaced through a digit map.
// It is fresh while 0 <= whole minutes since its stamp < lifetime, counting
// minutes toward zero, so a stamp up to 59.999 s ahead still counts as 0.
// The same tokens come from the idstamp C++ library and command-line tool;
// docs/token-format.md in its repository describes them byte for byte.
//
// Tokens are scrambled, not signed: anyone who knows the digit map can read
// and forge them.
//
// Only standard JavaScript is used here, so this one file runs unchanged in
// Node, Bun, Deno and browsers; where the runtime has a process environment,
// its TZ is read too, to refuse a time zone setting Date would not apply.

const version = "1.3.0";
const MAX_ID_LENGTH = 999;
const DEFAULT_DIGIT_MAP = "5820739164";
const DEFAULT_LIFETIME = 30;
const MS_PER_MINUTE = 60000;
const STAMP_MODULUS = 4294967296; // 2^32
const INT64_MAX = 9223372036854775807n;
const INT64_MIN = -9223372036854775808n;

// ---------------------------------------------------------------------------
// Arguments. A refused token is a value; misuse throws.

// "number", "null", "ArrayBuffer": what a misused argument was.
function kindOf(value) {
  if (value === null) return "null";
  if (typeof value === "object") return value.constructor?.name ?? "object";
  return typeof value;
}

function checkUint32(value, name) {
  if (typeof value !== "number") {
    throw new TypeError(`idstamp: ${name} must be a number, not ${kindOf(value)}`);
  }
  if (!Number.isInteger(value) || value < 0 || value > STAMP_MODULUS - 1) {
    throw new RangeError(`idstamp: ${name} must be an integer from 0 to 4294967295, not ${value}`);
  }
}

function checkLifetime(value) {
  if (typeof value !== "number") {
    throw new TypeError(`idstamp: lifetime must be a number, not ${kindOf(value)}`);
  }
  if (!Number.isInteger(value) || value < -2147483648 || value > 2147483647) {
    throw new RangeError(
      `idstamp: lifetime must be an integer from -2147483648 to 2147483647, not ${value}`,
    );
  }
}

// The name a typed array holds in its internal slot, from the getter of
// %TypedArray%.prototype[Symbol.toStringTag]; undefined for anything else. A
// Uint8Array from another realm (a worker, an iframe, a vm context) fails
// instanceof but has the slot; an object that merely claims the tag, or
// inherits Uint8Array.prototype, or a Proxy of one, has none.
const typedArrayName = Object.getOwnPropertyDescriptor(
  Object.getPrototypeOf(Uint8Array.prototype),
  Symbol.toStringTag,
).get;

function checkText(value, name) {
  if (typeof value === "string" || typedArrayName.call(value) === "Uint8Array") return;
  throw new TypeError(`idstamp: ${name} must be a string or a Uint8Array, not ${kindOf(value)}`);
}

// ---------------------------------------------------------------------------
// Strings are taken as UTF-8. Encoding by hand rather than with TextEncoder
// writes an id straight into its token, and catches a lone surrogate (which
// TextEncoder would silently turn into U+FFFD) in the pass that measures the
// length.

// The UTF-8 length of `text`; a TypeError for a lone surrogate.
function utf8Length(text, name) {
  const units = text.length;
  let bytes = units;
  for (let i = 0; i < units; i++) {
    const c = text.charCodeAt(i);
    if (c < 0x80) continue;
    if (c < 0x800) {
      bytes += 1;
    } else if (c < 0xd800 || c > 0xdfff) {
      bytes += 2;
    } else {
      const next = text.charCodeAt(i + 1); // NaN past the end
      if (c > 0xdbff || !(next >= 0xdc00 && next <= 0xdfff)) {
        throw new TypeError(`idstamp: ${name} holds a lone surrogate at index ${i}`);
      }
      bytes += 2; // two UTF-16 units, four bytes
      i++;
    }
  }
  return bytes;
}

// Writes `text`, already measured by utf8Length, into `out` from `at`.
function writeUtf8(text, out, at) {
  const units = text.length;
  for (let i = 0; i < units; i++) {
    let c = text.charCodeAt(i);
    if (c < 0x80) {
      out[at++] = c;
    } else if (c < 0x800) {
      out[at++] = 0xc0 | (c >> 6);
      out[at++] = 0x80 | (c & 63);
    } else if (c < 0xd800 || c > 0xdfff) {
      out[at++] = 0xe0 | (c >> 12);
      out[at++] = 0x80 | ((c >> 6) & 63);
      out[at++] = 0x80 | (c & 63);
    } else {
      c = 0x10000 + ((c - 0xd800) << 10) + (text.charCodeAt(++i) - 0xdc00);
      out[at++] = 0xf0 | (c >> 18);
      out[at++] = 0x80 | ((c >> 12) & 63);
      out[at++] = 0x80 | ((c >> 6) & 63);
      out[at++] = 0x80 | (c & 63);
    }
  }
}

function isAscii(text) {
  for (let i = 0; i < text.length; i++) if (text.charCodeAt(i) >= 0x80) return false;
  return true;
}

// Writes `text` into `out` from `at` while it is ASCII, which ids and tokens
// mostly are; false, with `out` partly written, at the first other unit.
function writeAscii(text, out, at) {
  const units = text.length;
  for (let i = 0; i < units; i++) {
    const c = text.charCodeAt(i);
    if (c >= 0x80) return false;
    out[at + i] = c;
  }
  return true;
}

// `bytes` as a string when they are UTF-8, else null. A leading byte order
// mark is kept as U+FEFF, as it is part of the bytes.
let utf8Decoder;

function utf8OrNull(bytes) {
  if (typedArrayName.call(bytes) !== "Uint8Array") {
    throw new TypeError(`idstamp: bytes must be a Uint8Array, not ${kindOf(bytes)}`);
  }
  utf8Decoder ??= new TextDecoder("utf-8", { fatal: true, ignoreBOM: true });
  try {
    return utf8Decoder.decode(bytes);
  } catch {
    return null;
  }
}

// A token is checked in a buffer kept for the purpose (a string token is
// encoded into it first), so that checking allocates only the id it returns;
// a token too long for it gets its own.
let scratch = new Uint8Array(256);
const SCRATCH_LIMIT = 4096;

function workspace(n) {
  if (n <= scratch.length) return scratch;
  if (n > SCRATCH_LIMIT) return new Uint8Array(n);
  scratch = new Uint8Array(SCRATCH_LIMIT);
  return scratch;
}

// ---------------------------------------------------------------------------
// The scramble transform, in one pass over mirror pairs: each odd position
// i below n / 2 trades places with n - 1 - i, and every byte goes through
// `table`, which sends each digit through the digit map and every other byte
// to itself. Moving and substituting commute, so the same pass issues with
// the encoding table and checks with the decoding one. `from` and `to` may be
// the same buffer.

function scramble(from, to, n, table) {
  const half = n >> 1;
  let i = 0;
  for (; i + 1 < half; i += 2) {
    // an even position, which stays, and the odd one after it, which moves
    const j = n - 1 - i;
    const even = from[i];
    const evenMirror = from[j];
    const odd = from[i + 1];
    const oddMirror = from[j - 1];
    to[i] = table[even];
    to[j] = table[evenMirror];
    to[i + 1] = table[oddMirror];
    to[j - 1] = table[odd];
  }
  if (i < half) {
    // a last even pair, which stays
    to[i] = table[from[i]];
    to[n - 1 - i] = table[from[n - 1 - i]];
  }
  if (n & 1) to[half] = table[from[half]];
}

// ---------------------------------------------------------------------------
// Decimal reading, for the length field and the stamp: leading bytes 9 to 13
// and 32, one optional + or -, then at least one digit and only digits to
// the end. A value beyond the signed 64-bit range takes the nearest limit
// (a 3-byte length field never reaches the 32-bit one). The result is a
// number while it is exact as one (up to 15 significant digits), else a
// bigint; undefined when the text does not read.

function readDecimal(p, i, end) {
  while (i < end && (p[i] === 32 || (p[i] >= 9 && p[i] <= 13))) i++;
  let negative = false;
  if (i < end && (p[i] === 43 || p[i] === 45)) negative = p[i++] === 45;
  if (i === end) return undefined;
  while (i < end - 1 && p[i] === 48) i++; // leading zeros; the last digit stays
  const digits = end - i;
  if (digits <= 15) {
    let value = 0;
    for (; i < end; i++) {
      const d = p[i] - 48;
      if (d < 0 || d > 9) return undefined;
      value = value * 10 + d;
    }
    return negative && value !== 0 ? -value : value;
  }
  let text = "";
  for (let k = i; k < end; k++) {
    if (p[k] < 48 || p[k] > 57) return undefined;
    if (digits <= 19) text += String.fromCharCode(p[k]);
  }
  if (digits > 19) return negative ? INT64_MIN : INT64_MAX;
  const value = negative ? -BigInt(text) : BigInt(text);
  return value > INT64_MAX ? INT64_MAX : value < INT64_MIN ? INT64_MIN : value;
}

// ---------------------------------------------------------------------------
// The year stamp of the local clock.
//
// It counts from the local wall-clock fields, not from the time elapsed since
// 1 January: across a daylight-saving change the two differ by the change.
// The stamp must come from the zone the C library behind the C++ tool
// applies, and JavaScript runtimes choose theirs by other rules: they take
// JST for Asia/Tokyo, keep their own zone data where the host has none, and
// fall back to UTC for a POSIX rule. So the zone is chosen here as the C
// library chooses it, and the stamp is that zone's wall clock through Intl:
//   - TZ names a zone file under $TZDIR, or /usr/share/zoneinfo when TZDIR
//     is unset or empty, perhaps after a ':' (a name Intl must know too);
//   - an empty TZ is UTC;
//   - with TZ unset, /etc/localtime holds the zone, and it must be the one
//     the runtime chose, compared by the name it links to, or else by its
//     bytes against the zone file of the runtime's choice.
// Anything else throws an Error naming TZ: a name with no file (JST,
// Mars/Olympus; the C library applies UTC there), a POSIX rule, a path.
// Where files cannot be read (browsers, Deno without --allow-read, Node
// before 20.16 from import), TZ must be an Area/Location name or UTC and
// TZDIR unset; where TZ cannot be read (browsers, Deno without --allow-env),
// the runtime's own zone is used as it is.

const DAYS_BEFORE_MONTH = [0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334];

function isLeapYear(year) {
  return (year % 4 === 0 && year % 100 !== 0) || year % 400 === 0;
}

// ((day of year - 1) * 86400 + hour * 3600 + minute * 60 + second) * 1000
// + millisecond, modulo 2^32, from wall-clock fields (month 0 to 11).
function stampOfFields(year, month, date, hours, minutes, seconds, ms) {
  let day = DAYS_BEFORE_MONTH[month] + date - 1;
  if (month > 1 && isLeapYear(year)) day++;
  const total = day * 86400 + hours * 3600 + minutes * 60 + Math.min(seconds, 59);
  return (total * 1000 + ms) % STAMP_MODULUS;
}

// Deno asks before it grants access to the environment or to files, so
// there only what is already granted is used.
function denoGrants(descriptor) {
  const deno = globalThis.Deno;
  if (deno === undefined) return true;
  try {
    return deno.permissions.querySync(descriptor).state === "granted";
  } catch {
    return false;
  }
}

// TZ and TZDIR, where the runtime lets us read TZ, else undefined; TZDIR is
// null where it cannot be read.
function readEnv() {
  const env = globalThis.process?.env;
  if (env === undefined || !denoGrants({ name: "env", variable: "TZ" })) return undefined;
  return { tz: env.TZ, tzdir: denoGrants({ name: "env", variable: "TZDIR" }) ? env.TZDIR : null };
}

// Reading files synchronously: Deno's own calls, or the fs module of Node
// and Bun through process.getBuiltinModule, which keeps this file free of
// imports. null where files under `paths` cannot be read.
function fileAccess(paths) {
  const deno = globalThis.Deno;
  const fs = deno === undefined ? globalThis.process?.getBuiltinModule?.("fs") : undefined;
  if (deno?.statSync !== undefined) {
    if (!paths.every((path) => denoGrants({ name: "read", path }))) return null;
  } else if (fs === undefined) {
    return null;
  }
  const attempt = (call) => {
    try {
      return call();
    } catch {
      return null;
    }
  };
  return {
    isFile: (path) => attempt(() => (deno ? deno.statSync(path).isFile : fs.statSync(path).isFile())) === true,
    read: (path) => attempt(() => (deno ? deno.readFileSync(path) : fs.readFileSync(path))),
    realPath: (path) => attempt(() => (deno ? deno.realPathSync(path) : fs.realpathSync(path))),
  };
}

const ZONEINFO = "/usr/share/zoneinfo";
const LOCALTIME = "/etc/localtime";

// The zone the C library applies with TZ set to `tz`, as a name Intl knows,
// or { problem } saying why it cannot be followed here.
function zoneOfTz(tz, tzdir) {
  const name = tz.startsWith(":") ? tz.slice(1) : tz;
  if (name === "") return "UTC";
  if (tzdir === null) return { problem: "this runtime does not let us read TZDIR (Deno: --allow-env=TZ,TZDIR)" };
  const dir = tzdir || ZONEINFO;
  const files = fileAccess([dir]);
  if (files === null) {
    if (tzdir) return { problem: `TZDIR is set, and this runtime cannot read files to look in ${tzdir}` };
    if (name !== "UTC" && !/^[A-Z][A-Za-z_-]*(\/[A-Z][A-Za-z0-9_+-]*)+$/.test(name)) {
      return {
        problem: "this runtime cannot read files to see whether the C library has a zone of that name; " +
          "set TZ to an Area/Location name such as America/New_York",
      };
    }
  } else if (!files.isFile(`${dir}/${name}`)) {
    return { problem: `${dir} holds no zone file of that name, so the C library would apply UTC; set TZ to a zone it holds, such as America/New_York` };
  }
  if (zoneName(name) === undefined) {
    return { problem: "JavaScript knows no zone of that name; set TZ to a zone name such as America/New_York" };
  }
  return name;
}

// The zone /etc/localtime gives the C library when TZ is unset, if it is
// the one the runtime applies: a name Intl knows, or { problem }.
function zoneOfLocaltime() {
  const applied = zoneName(undefined);
  if (zoneName(applied) === undefined) {
    return { problem: `this runtime keeps local time as ${applied ?? "an unnamed zone"}, which Intl does not know` };
  }
  const files = fileAccess([LOCALTIME, ZONEINFO]);
  if (files === null) return applied;
  const target = files.realPath(LOCALTIME);
  if (target === null) {
    // The C library applies UTC without /etc/localtime.
    if (applied === zoneName("UTC")) return applied;
    return { problem: `there is no ${LOCALTIME}, so the C library applies UTC, but this runtime applies ${applied}` };
  }
  const at = target.lastIndexOf("/zoneinfo/");
  const linked = at < 0 ? undefined : target.slice(at + "/zoneinfo/".length);
  if (linked !== undefined && zoneName(linked) === applied) return applied;
  const held = files.read(target);
  const own = files.read(`${ZONEINFO}/${applied}`);
  if (held !== null && own !== null && held.length === own.length && held.every((b, i) => b === own[i])) {
    return applied;
  }
  return {
    problem: `${LOCALTIME} holds ${linked ?? "another zone"}, but this runtime applies ${applied}; ` +
      "set TZ to the zone you mean, such as America/New_York",
  };
}

let zoneKey; // the TZ and TZDIR the zone was last chosen under
let zoneChosen; // and the zone, or { problem }
// The stamp at the start of the last second the clock was read in, and in
// which zone: zone offsets and their changes fall on whole seconds, so within
// one second the stamp only adds the milliseconds, without asking Intl again.
let secondRead;
let secondZone;
let secondStamp;

function yearStamp() {
  const env = readEnv();
  if (typeof Intl === "undefined") {
    if (env === undefined) {
      const d = new Date();
      return stampOfFields(d.getFullYear(), d.getMonth(), d.getDate(), d.getHours(), d.getMinutes(),
        d.getSeconds(), d.getMilliseconds());
    }
    throw new Error("idstamp cannot read the local clock: this runtime has no Intl to apply the zone TZ names");
  }
  const key = env === undefined ? "" : `${env.tz === undefined ? "unset" : `=${env.tz}`}\0${env.tzdir}`;
  if (key !== zoneKey) {
    zoneChosen = env === undefined ? zoneName(undefined) : env.tz === undefined ? zoneOfLocaltime() : zoneOfTz(env.tz, env.tzdir);
    zoneKey = key;
  }
  if (typeof zoneChosen !== "string") {
    const setting = env?.tz === undefined ? "with TZ unset" : `under TZ=${JSON.stringify(env.tz)}`;
    throw new Error(`idstamp cannot read the local clock ${setting}: ${zoneChosen?.problem ?? "this runtime names no zone"}`);
  }
  const now = Date.now();
  const ms = ((now % 1000) + 1000) % 1000;
  if (now - ms !== secondRead || zoneChosen !== secondZone) {
    secondStamp = yearStampAt(now - ms, zoneChosen);
    secondRead = now - ms;
    secondZone = zoneChosen;
  }
  return (secondStamp + ms) % STAMP_MODULUS;
}

// Intl's name for a zone (the runtime's own with no argument), in Intl's
// canonical spelling, or undefined for a zone it does not know.
function zoneName(timeZone) {
  try {
    return new Intl.DateTimeFormat("en-US", timeZone ? { timeZone } : {}).resolvedOptions()
      .timeZone;
  } catch {
    return undefined;
  }
}

// ---------------------------------------------------------------------------
// The year stamp of any instant under any zone Intl knows, from that zone's
// wall-clock fields at the instant. Unlike the local clock, this needs no TZ
// and reads no clock: a page or a service can ask for the stamp a checker in
// Europe/Berlin sees now, or saw at any moment.

const MAX_INSTANT = 8.64e15; // the range of a Date, in ms either side of 1970
const zoneFormats = new Map(); // a zone's formatter, as Intl resolved it

function zoneFormat(timeZone) {
  let format = zoneFormats.get(timeZone);
  if (format !== undefined) return format;
  if (typeof Intl === "undefined") {
    throw new Error("idstamp: this runtime has no Intl, so it knows no time zones");
  }
  try {
    // The proleptic Gregorian calendar and hours 0 to 23, whatever the
    // runtime's locale; the era tells years before 1 apart.
    format = new Intl.DateTimeFormat("en-US-u-ca-gregory-nu-latn", {
      timeZone,
      hourCycle: "h23",
      era: "short",
      year: "numeric",
      month: "numeric",
      day: "numeric",
      hour: "numeric",
      minute: "numeric",
      second: "numeric",
    });
  } catch {
    throw new RangeError(`idstamp: ${JSON.stringify(timeZone)} is not a time zone this runtime knows`);
  }
  if (zoneFormats.size >= 64) zoneFormats.clear();
  zoneFormats.set(timeZone, format);
  return format;
}

function yearStampAt(instant, timeZone) {
  let ms = instant;
  if (Object.prototype.toString.call(instant) === "[object Date]") {
    ms = Date.prototype.getTime.call(instant);
  } else if (typeof instant !== "number") {
    throw new TypeError(`idstamp: an instant must be a Date or a number of ms, not ${kindOf(instant)}`);
  }
  if (!Number.isInteger(ms) || Math.abs(ms) > MAX_INSTANT) {
    throw new RangeError(`idstamp: an instant must be a valid date, whole ms within 8.64e15 of 1970, not ${ms}`);
  }
  if (typeof timeZone !== "string") {
    throw new TypeError(`idstamp: a time zone must be a string, not ${kindOf(timeZone)}`);
  }
  const field = { era: "AD" };
  for (const part of zoneFormat(timeZone).formatToParts(ms)) field[part.type] = part.value;
  let year = Number(field.year);
  if (field.era !== "AD") year = 1 - year; // 1 BC is the year 0
  // Zone offsets are whole seconds, so the wall clock's ms are the instant's.
  const millisecond = ((ms % 1000) + 1000) % 1000;
  return stampOfFields(year, Number(field.month) - 1, Number(field.day), Number(field.hour),
    Number(field.minute), Number(field.second), millisecond);
}

// ---------------------------------------------------------------------------
// Issuing and checking, for one digit map.

function digitTables(digitMap) {
  if (typeof digitMap !== "string") {
    throw new TypeError(`idstamp: a digit map must be a string, not ${kindOf(digitMap)}`);
  }
  if (digitMap.length !== 10 || !/^[0-9]+$/.test(digitMap) || new Set(digitMap).size !== 10) {
    throw new RangeError(
      `idstamp: a digit map must hold each of the ten digits once, not ${JSON.stringify(digitMap)}`,
    );
  }
  const encode = new Uint8Array(256);
  const decode = new Uint8Array(256);
  for (let b = 0; b < 256; b++) encode[b] = decode[b] = b;
  for (let d = 0; d < 10; d++) {
    const to = digitMap.charCodeAt(d);
    encode[48 + d] = to;
    decode[to] = 48 + d;
  }
  return { encode, decode };
}

function createCodec(digitMap) {
  const { encode, decode } = digitTables(digitMap);

  function cryptId(id, stamp) {
    checkText(id, "id");
    if (stamp !== undefined) checkUint32(stamp, "stamp");
    const isString = typeof id === "string";
    const length = isString ? (isAscii(id) ? id.length : utf8Length(id, "id")) : id.length;
    if (length === 0 || length > MAX_ID_LENGTH) {
      throw new RangeError(`idstamp: an id must be 1 to ${MAX_ID_LENGTH} bytes, not ${length}`);
    }
    if (id.indexOf(isString ? "\0" : 0) !== -1) {
      throw new RangeError("idstamp: an id must not hold a zero byte");
    }
    if (stamp === undefined) stamp = yearStamp();

    // The plain token, written in place: the length field, the id, the stamp.
    let digits = 1;
    for (let s = stamp; s >= 10; s = Math.floor(s / 10)) digits++;
    const n = 3 + length + digits;
    const token = new Uint8Array(n);
    token[0] = 48 + Math.floor(length / 100);
    token[1] = 48 + (Math.floor(length / 10) % 10);
    token[2] = 48 + (length % 10);
    if (!isString) token.set(id, 3);
    else if (length === id.length) writeAscii(id, token, 3);
    else writeUtf8(id, token, 3);
    for (let k = n - 1, s = stamp; k >= 3 + length; k--, s = Math.floor(s / 10)) {
      token[k] = 48 + (s % 10);
    }
    scramble(token, token, n, encode);
    return token;
  }

  // Unscrambles `token` into the workspace and reads it: what it holds, as
  // { plain, length, stamp }, or the reason it is malformed. Reads no clock.
  function read(token) {
    let n;
    let plain;
    if (typeof token === "string") {
      n = token.length;
      plain = workspace(n);
      if (!writeAscii(token, plain, 0)) {
        n = utf8Length(token, "token");
        plain = workspace(n);
        writeUtf8(token, plain, 0);
      }
      if (n < 3) return "too short";
      scramble(plain, plain, n, decode);
    } else {
      n = token.length;
      if (n < 3) return "too short";
      plain = workspace(n);
      scramble(token, plain, n, decode);
    }
    const length = readDecimal(plain, 0, 3);
    if (length === undefined || length <= 0) return "bad length field";
    if (3 + length >= n) return "no stamp";
    for (let k = 3; k < 3 + length; k++) {
      if (plain[k] === 0) return "zero byte in the id";
    }
    const stamp = readDecimal(plain, 3 + length, n);
    if (stamp === undefined || stamp === -1) return "bad stamp";
    return { plain, length, stamp };
  }

  // The verdict on a token that reads, of age now - stamp.
  function judge(stamp, lifetime, now) {
    if (typeof stamp === "number") {
      // Exact: |stamp| < 10^15 and now < 2^32, so no 64-bit wrap can occur.
      const age = now - stamp;
      if (age <= -MS_PER_MINUTE) return "ahead";
      return lifetime > 0 && age < lifetime * MS_PER_MINUTE ? "fresh" : "expired";
    }
    const minutes = ageOf(stamp, now) / 60000n; // toward zero
    if (minutes < 0n) return "ahead";
    return minutes < BigInt(lifetime) ? "fresh" : "expired";
  }

  function checkJudgeArguments(token, lifetime, now) {
    checkText(token, "token");
    checkLifetime(lifetime);
    if (now !== undefined) checkUint32(now, "now");
  }

  function decryptId(token, lifetime = DEFAULT_LIFETIME, now) {
    checkJudgeArguments(token, lifetime, now);
    const got = read(token);
    if (typeof got === "string") return null;
    if (lifetime <= 0) return null; // accepts nothing: no need for the clock
    if (judge(got.stamp, lifetime, now === undefined ? yearStamp() : now) !== "fresh") return null;
    return got.plain.slice(3, 3 + got.length);
  }

  function inspectToken(token, lifetime = DEFAULT_LIFETIME, now) {
    checkJudgeArguments(token, lifetime, now);
    const got = read(token);
    if (typeof got === "string") {
      return { verdict: "malformed", reason: got, id: null, stamp: null, now: null, ageMs: null };
    }
    if (now === undefined) now = yearStamp();
    return {
      verdict: judge(got.stamp, lifetime, now),
      reason: null,
      id: got.plain.slice(3, 3 + got.length),
      stamp: BigInt(got.stamp),
      now,
      ageMs: typeof got.stamp === "number" ? BigInt(now - got.stamp) : ageOf(got.stamp, now),
    };
  }

  return { cryptId, decryptId, inspectToken };
}

// now - stamp modulo 2^64, read as signed.
function ageOf(stamp, now) {
  return BigInt.asIntN(64, BigInt(now) - BigInt(stamp));
}

const { cryptId, decryptId, inspectToken } = createCodec(DEFAULT_DIGIT_MAP);

export {
  cryptId,
  decryptId,
  inspectToken,
  yearStamp,
  yearStampAt,
  createCodec,
  zoneName,
  zoneFormat,
  utf8OrNull,
  DEFAULT_DIGIT_MAP,
  MAX_ID_LENGTH,
  version,
};
