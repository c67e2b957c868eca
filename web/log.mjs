// A day's log, judged record by record at the moment each was logged, as
// idstamp-inspect --batch --moments or --log clf --param NAME judges it;
// the summary --summary --json prints; and the geometry of the two charts
// (verdicts over time, ages). No DOM here: node --test web/test/log.test.mjs.
//
// Records are bytes: the text is encoded to UTF-8 once, and split into
// lines (a CR before a line's end dropped, no empty record after a final
// feed). A moment is kept as its local wall-clock reading, counted in ms
// as if that reading were UTC ("wall ms"): readings compare as numbers.
import { utcOf, wallText } from "./core.mjs";
import { zoneFormat } from "../js/index.js";

const TAB = 9;
const LF = 10;
const CR = 13;
const STAMP_MODULUS = 4294967296;
const VERDICTS = ["fresh", "expired", "ahead", "malformed"];
const REASONS = ["too short", "bad length field", "no stamp", "zero byte in the id", "bad stamp"];
const CAUSES = ["no moment", "bad moment", "not a log line", "bad escape"];

// { bytes, starts, ends, count }: record k is bytes[starts[k], ends[k]).
function recordsOf(text) {
  const bytes = new TextEncoder().encode(text);
  let count = 0;
  for (let i = 0; i < bytes.length; i++) if (bytes[i] === LF) count++;
  if (bytes.length > 0 && bytes[bytes.length - 1] !== LF) count++;
  const starts = new Int32Array(count);
  const ends = new Int32Array(count);
  let at = 0;
  for (let k = 0; k < count; k++) {
    let end = bytes.indexOf(LF, at);
    if (end === -1) end = bytes.length;
    starts[k] = at;
    ends[k] = end > at && bytes[end - 1] === CR ? end - 1 : end;
    at = end + 1;
  }
  return { bytes, starts, ends, count };
}

// ---------------------------------------------------------------------------
// Moments.

// The value of n decimal digits at b[i], or -1 when one is not a digit.
function digits(b, i, n) {
  let v = 0;
  for (let k = i; k < i + n; k++) {
    const d = b[k] - 48;
    if (!(d >= 0 && d <= 9)) return -1;
    v = v * 10 + d;
  }
  return v;
}

function daysInMonth(y, mo) {
  if (y < 1 || y > 9999 || mo < 1 || mo > 12) return 0;
  if (mo === 2) return y % 4 === 0 && (y % 100 !== 0 || y % 400 === 0) ? 29 : 28;
  return [4, 6, 9, 11].includes(mo) ? 30 : 31;
}

// The wall ms of a date and time, or null when a field is out of range.
function wallMsOf(y, mo, d, h, mi, s, ms) {
  if (d < 1 || d > daysInMonth(y, mo) || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 || ms < 0) {
    return null;
  }
  return y >= 100 ? Date.UTC(y, mo - 1, d, h, mi, s, ms) : utcOf(y, mo, d, h, mi, s, ms);
}

// A MOMENT field, b[from, to): { wall } for a wall-clock reading, the
// same 19 or 23 bytes as --at takes; { instant } (ms since 1970) when Z,
// z, +HH:MM or -HH:MM follows them; null for anything else.
function readMomentBytes(b, from, to) {
  const n = to - from;
  if (n < 19) return null;
  const base = n >= 23 && b[from + 19] === 46 ? 23 : 19; // "."
  const at = (i) => b[from + i];
  if (at(4) !== 45 || at(7) !== 45 || (at(10) !== 32 && at(10) !== 84) || at(13) !== 58 || at(16) !== 58) return null;
  const wall = wallMsOf(digits(b, from, 4), digits(b, from + 5, 2), digits(b, from + 8, 2), digits(b, from + 11, 2),
    digits(b, from + 14, 2), digits(b, from + 17, 2), base === 23 ? digits(b, from + 20, 3) : 0);
  if (wall === null) return null;
  const rest = n - base;
  if (rest === 0) return { wall };
  const c = at(base);
  if (rest === 1 && (c === 90 || c === 122)) return { instant: wall }; // Z, z
  if (rest !== 6 || (c !== 43 && c !== 45) || at(base + 3) !== 58) return null;
  const oh = digits(b, from + base + 1, 2);
  const om = digits(b, from + base + 4, 2);
  if (oh < 0 || oh > 23 || om < 0 || om > 59) return null;
  return { instant: wall - (c === 45 ? -1 : 1) * (oh * 60 + om) * 60000 };
}

// The wall ms of instants in `zone`, as its clock read them. Intl is asked
// for the offset at both ends of an instant's hour; when they agree (no
// change of offset within it) the hour's offset is kept for every instant
// in it.
function zoneClock(zone) {
  const format = zoneFormat(zone);
  const offsetAt = (t) => {
    const p = { era: "AD" };
    for (const part of format.formatToParts(t)) p[part.type] = part.value;
    const y = p.era === "AD" ? Number(p.year) : 1 - Number(p.year);
    const ms = ((t % 1000) + 1000) % 1000;
    return utcOf(y, Number(p.month), Number(p.day), Number(p.hour), Number(p.minute), Number(p.second), ms) - t;
  };
  const hours = new Map(); // hour -> its offset, or NaN when it changes within
  return (t) => {
    const hour = Math.floor(t / 3600000);
    let offset = hours.get(hour);
    if (offset === undefined) {
      const a = offsetAt(hour * 3600000);
      offset = a === offsetAt(hour * 3600000 + 3599999) ? a : NaN;
      if (hours.size > 20000) hours.clear();
      hours.set(hour, offset);
    }
    return t + (Number.isNaN(offset) ? offsetAt(t) : offset);
  };
}

// The year stamp of a wall reading: its ms since its year began, mod 2^32.
function stampOfWall(wallMs) {
  const y = new Date(wallMs).getUTCFullYear();
  return (wallMs - utcOf(y, 1, 1)) % STAMP_MODULUS;
}

// ---------------------------------------------------------------------------
// Common Log Format.

const MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"];
const isDigit = (c) => c >= 48 && c <= 57;
const isLetter = (c) => (c | 32) >= 97 && (c | 32) <= 122;
const hexValue = (c) => (isDigit(c) ? c - 48 : (c | 32) >= 97 && (c | 32) <= 102 ? (c | 32) - 87 : -1);
// [DD/Mon/YYYY:HH:MM:SS +HHMM]: what each byte after the [ must be.
const CLF_DATE = "dd/lll/dddd:dd:dd:dd sdddd]";

// The request's bounds, [start, end), and where its date begins; or null
// when the line is not in the log's shape.
function clfShape(b, from, to) {
  const open = b.subarray(from, to).indexOf(91); // [
  if (open === -1 || to - (from + open) < 30) return null;
  const date = from + open + 1;
  for (let k = 0; k < CLF_DATE.length; k++) {
    const c = b[date + k];
    const want = CLF_DATE[k];
    const ok = want === "d" ? isDigit(c) : want === "l" ? isLetter(c) : want === "s" ? c === 43 || c === 45
      : c === want.charCodeAt(0);
    if (!ok) return null;
  }
  if (b[date + 27] !== 32 || b[date + 28] !== 34) return null;
  const start = date + 29;
  for (let i = start; i < to; i++) {
    if (b[i] === 92) i++; // a backslash escapes the byte after it
    else if (b[i] === 34) return { date, start, end: i };
  }
  return null;
}

// The instant in the log's date, or null when a value is out of range.
function clfInstant(b, date) {
  const month = MONTHS.indexOf(String.fromCharCode(b[date + 3], b[date + 4], b[date + 5])) + 1;
  if (month === 0) return null;
  const wall = wallMsOf(digits(b, date + 7, 4), month, digits(b, date, 2), digits(b, date + 12, 2),
    digits(b, date + 15, 2), digits(b, date + 18, 2), 0);
  const oh = digits(b, date + 22, 2);
  const om = digits(b, date + 24, 2);
  if (wall === null || oh > 23 || om > 59) return null;
  return wall - (b[date + 21] === 45 ? -1 : 1) * (oh * 60 + om) * 60000;
}

// The request with the log's escapes undone: \" \\ and \xHH.
function unescapeRequest(b, start, end) {
  const out = new Uint8Array(end - start);
  let n = 0;
  for (let i = start; i < end; i++) {
    const c = b[i];
    if (c === 92 && (b[i + 1] === 34 || b[i + 1] === 92) && i + 1 < end) {
      out[n++] = b[++i];
    } else if (c === 92 && b[i + 1] === 120 && i + 3 < end && hexValue(b[i + 2]) >= 0 && hexValue(b[i + 3]) >= 0) {
      out[n++] = hexValue(b[i + 2]) * 16 + hexValue(b[i + 3]);
      i += 3;
    } else {
      out[n++] = c;
    }
  }
  return out.subarray(0, n);
}

// The value of query parameter `name` (bytes) in a request: the token's
// bytes, "bad escape", or null when the request has no such parameter.
function queryValue(request, name) {
  const space = request.indexOf(32);
  if (space === -1) return null;
  let end = request.indexOf(32, space + 1);
  if (end === -1) end = request.length;
  const target = request.subarray(space + 1, end);
  const q = target.indexOf(63); // ?
  if (q === -1) return null;
  const hash = target.indexOf(35, q + 1); // #
  const query = target.subarray(q + 1, hash === -1 ? target.length : hash);
  for (let at = 0; at <= query.length;) {
    let amp = query.indexOf(38, at); // &
    if (amp === -1) amp = query.length;
    const pair = query.subarray(at, amp);
    let eq = pair.indexOf(61); // =
    if (eq === -1) eq = pair.length;
    if (eq === name.length && name.every((c, k) => pair[k] === c)) return percentDecode(pair.subarray(eq + 1));
    at = amp + 1;
  }
  return null;
}

function percentDecode(v) {
  const out = new Uint8Array(v.length);
  let n = 0;
  for (let i = 0; i < v.length; i++) {
    if (v[i] !== 37) out[n++] = v[i];
    else if (i + 2 < v.length && hexValue(v[i + 1]) >= 0 && hexValue(v[i + 2]) >= 0) {
      out[n++] = hexValue(v[i + 1]) * 16 + hexValue(v[i + 2]);
      i += 2;
    } else return "bad escape";
  }
  return out.subarray(0, n);
}

// ---------------------------------------------------------------------------
// A record: { token, wallMs } to judge, { cause } unjudged, or { skipped }.

const FIRST_READING = utcOf(1, 1, 1);
const PAST_READINGS = utcOf(10000, 1, 1);

// The local reading of an instant, or null when its year is not 1 to
// 9999: such a reading has no year stamp (nor a text of the usual form).
function localReading(clock, instant) {
  const wall = clock(instant);
  return wall >= FIRST_READING && wall < PAST_READINGS ? wall : null;
}

function momentRecord(b, from, to, clock) {
  const tab = b.subarray(from, to).indexOf(TAB);
  if (tab === -1) return { cause: "no moment" };
  const m = readMomentBytes(b, from, from + tab);
  const wallMs = m === null ? null : m.wall ?? localReading(clock, m.instant);
  if (wallMs === null) return { cause: "bad moment" };
  return { token: b.subarray(from + tab + 1, to), wallMs };
}

function clfRecord(b, from, to, clock, name) {
  const shape = clfShape(b, from, to);
  if (shape === null) return { cause: "not a log line" };
  const instant = clfInstant(b, shape.date);
  const wallMs = instant === null ? null : localReading(clock, instant);
  if (wallMs === null) return { cause: "bad moment" };
  const token = queryValue(unescapeRequest(b, shape.start, shape.end), name);
  if (token === null) return { skipped: true };
  if (token === "bad escape") return { cause: token };
  return { token, wallMs };
}

// A reader of records in `format` ("moments", or "clf" with `param`),
// judged in `zone`: (log, k) -> what record k holds.
function recordReader(format, zone, param) {
  const clock = zoneClock(zone);
  const name = new TextEncoder().encode(param ?? "");
  return format === "clf"
    ? (log, k) => clfRecord(log.bytes, log.starts[k], log.ends[k], clock, name)
    : (log, k) => momentRecord(log.bytes, log.starts[k], log.ends[k], clock);
}

// Judges what a record holds with `codec` and `lifetime`: adds to it the
// report (as inspectToken gives it) and the stamp of its moment.
function judgeRecord(record, codec, lifetime) {
  if (record.token === undefined) return record;
  record.now = stampOfWall(record.wallMs);
  record.report = codec.inspectToken(record.token, lifetime, record.now);
  return record;
}

export {
  VERDICTS, REASONS, CAUSES, recordsOf, readMomentBytes, zoneClock, stampOfWall, clfShape, clfInstant,
  unescapeRequest, queryValue, recordReader, judgeRecord, wallText,
};
