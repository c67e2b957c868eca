// What the token debugger works out, apart from the page itself: reading
// the question (lines, lifetime, moment, zone, digit map, a link's
// fragment), judging a line, the values it shows (hex, escaped ids, ages,
// the JSON idstamp-inspect prints) and the geometry of the time line. No
// DOM here: `node --test web/test/core.test.mjs` checks it in Node, and
// build.mjs inlines it into the page after the package.
import {
  DEFAULT_DIGIT_MAP, createCodec, cryptId, inspectToken, utf8OrNull, yearStampAt, zoneFormat, zoneName,
} from "../js/index.js";

const INT32_MAX = 2147483647;
const INT32_MIN = -2147483648;

function splitLines(text) {
  if (text === "") return [];
  const lines = text.split("\n");
  if (lines[lines.length - 1] === "") lines.pop(); // the last line's feed
  return lines;
}

// ---------------------------------------------------------------------------
// Moments: wall-clock fields { y, mo, d, h, mi, s, ms }.

// A UTC timestamp for calendar fields, for years 1 to 99 too.
function utcOf(y, mo, d, h = 0, mi = 0, s = 0, ms = 0) {
  const t = new Date(0);
  t.setUTCFullYear(y, mo - 1, d);
  t.setUTCHours(h, mi, s, ms);
  return t.getTime();
}

const pad = (v, n) => String(v).padStart(n, "0");

function wallText(f) {
  return `${pad(f.y, 4)}-${pad(f.mo, 2)}-${pad(f.d, 2)} ${pad(f.h, 2)}:${pad(f.mi, 2)}:${pad(f.s, 2)}.${pad(f.ms, 3)}`;
}

function fieldsOfUtc(ms) {
  const t = new Date(ms);
  return {
    y: t.getUTCFullYear(), mo: t.getUTCMonth() + 1, d: t.getUTCDate(), h: t.getUTCHours(),
    mi: t.getUTCMinutes(), s: t.getUTCSeconds(), ms: t.getUTCMilliseconds(),
  };
}

// A wall-clock reading, as idstamp-inspect --at takes it: a date of years
// 1 to 9999 that exists, a time of day, optional milliseconds.
function readAt(text) {
  const m = /^(\d{4})-(\d{2})-(\d{2})[T ](\d{2}):(\d{2}):(\d{2})(?:\.(\d{3}))?$/.exec(text.trim());
  if (!m) return null;
  const [y, mo, d, h, mi, s] = m.slice(1, 7).map(Number);
  const ms = m[7] === undefined ? 0 : Number(m[7]);
  if (y < 1 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return null;
  const back = fieldsOfUtc(utcOf(y, mo, d, h, mi, s, ms));
  return back.mo === mo && back.d === d ? { y, mo, d, h, mi, s, ms } : null;
}

// The wall-clock fields of `instant` in `zone`, as the stamp counts them.
function wallOf(instant, zone) {
  const p = { era: "AD" };
  for (const part of zoneFormat(zone).formatToParts(instant)) p[part.type] = part.value;
  const y = p.era === "AD" ? Number(p.year) : 1 - Number(p.year);
  return {
    y, mo: Number(p.month), d: Number(p.day), h: Number(p.hour), mi: Number(p.minute),
    s: Number(p.second), ms: ((instant % 1000) + 1000) % 1000,
  };
}

// The moment judged in `zone`: at the wall clock `at` when it is a text,
// else at the instant `now`. Its year stamp, its wall clock and the ms since
// the start of its year (not reduced), from which a stamp's time is told;
// or why there is none.
function readMoment(zone, at, now) {
  if (zone === "" || zoneName(zone) === undefined) return `“${zone}” is not a time zone this browser knows.`;
  let wall;
  let stamp;
  if (typeof at === "string") {
    wall = readAt(at);
    if (wall === null) return "The moment must be a date and time of years 1 to 9999: YYYY-MM-DD HH:MM:SS.mmm.";
    // A wall-clock reading's stamp follows from its fields alone, so an
    // hour that the zone skips or repeats still has one.
    stamp = yearStampAt(utcOf(wall.y, wall.mo, wall.d, wall.h, wall.mi, wall.s, wall.ms), "UTC");
  } else {
    stamp = yearStampAt(now, zone);
    wall = wallOf(now, zone);
  }
  const intoYear = utcOf(wall.y, wall.mo, wall.d, wall.h, wall.mi, wall.s, wall.ms) - utcOf(wall.y, 1, 1);
  return { zone, wall, stamp, intoYear, live: typeof at !== "string" };
}

// The lifetime as -t reads it: white space (bytes 9 to 13 and 32), one + or
// -, then decimal digits to the end, clamped to the signed 32-bit range;
// null where -t would ignore the text.
function readLifetime(text) {
  const m = /^[\t\n\v\f\r ]*([+-]?)([0-9]+)$/.exec(text);
  if (m === null) return null;
  const value = BigInt(m[1] + m[2]);
  return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : Number(value);
}

// The question the inputs ask, { codec, lifetime, moment }, or the problems
// with them. `now` is the instant "now" means.
function readQuestion(inputs, now) {
  const problems = [];
  const lifetime = readLifetime(inputs.lifetime);
  if (lifetime === null) {
    problems.push("The lifetime must be a whole number of minutes, digits after an optional sign.");
  }
  let codec = null;
  const map = inputs.map.trim();
  try {
    codec = map === DEFAULT_DIGIT_MAP ? { cryptId, inspectToken } : createCodec(map);
  } catch {
    problems.push(`The digit map must hold each of the ten digits once, such as ${DEFAULT_DIGIT_MAP}.`);
  }
  const moment = readMoment(inputs.zone.trim(), inputs.at, now);
  if (typeof moment === "string") problems.push(moment);
  return problems.length > 0 ? { problems } : { problems, question: { codec, lifetime, moment } };
}

// ---------------------------------------------------------------------------
// Judging a line, and the values shown.

function judgeLine(question, line) {
  let token = line;
  if (typeof token === "string" && token.endsWith("\r")) token = token.slice(0, -1);
  try {
    return question.codec.inspectToken(token, question.lifetime, question.moment.stamp);
  } catch {
    return { error: "not text that UTF-8 can hold (a lone surrogate)" };
  }
}

function hexOf(bytes) {
  let s = "";
  for (const b of bytes) s += (b < 16 ? "0" : "") + b.toString(16);
  return s;
}

// The id as a person reads it: its text when it is UTF-8, with control
// characters and backslashes escaped; otherwise printable ASCII as it is
// and every other byte as \xHH, as idstamp-inspect prints it.
function idTextOf(bytes) {
  const text = utf8OrNull(bytes);
  const hex = (c) => `\\x${pad(c.toString(16), 2)}`;
  if (text !== null) {
    return text.replace(/[\\\x00-\x1f\x7f]/g, (c) => (c === "\\" ? "\\\\" : hex(c.charCodeAt(0))));
  }
  let s = "";
  for (const b of bytes) s += b === 92 ? "\\\\" : b >= 32 && b < 127 ? String.fromCharCode(b) : hex(b);
  return s;
}

// A JSON string as idstamp-inspect writes one: quote and backslash
// escaped, control bytes as \u00hh, everything else as it is.
function jsonString(text) {
  return `"${text.replace(/["\\\x00-\x1f]/g, (c) =>
    c === '"' || c === "\\" ? `\\${c}` : `\\u00${pad(c.charCodeAt(0).toString(16), 2)}`)}"`;
}

// "-59.999 s", "29 min 59.999 s", as idstamp-inspect writes an age.
function duration(ms) {
  const negative = ms < 0n;
  const m = negative ? -ms : ms;
  const minutes = m / 60000n;
  const rest = m % 60000n;
  return `${negative ? "-" : ""}${minutes > 0n ? `${minutes} min ` : ""}${rest / 1000n}.${pad(rest % 1000n, 3)} s`;
}

// The moment a stamp of age `age` names in the clock's own cycle of the
// year stamp, or why there is none.
function issuedAt(moment, age) {
  const { wall, intoYear } = moment;
  const yearMs = BigInt(utcOf(wall.y + 1, 1, 1) - utcOf(wall.y, 1, 1));
  const into = BigInt(intoYear);
  if (age > into || age <= into - yearMs) return "not within this year";
  return wallText(fieldsOfUtc(utcOf(wall.y, 1, 1) + Number(into - age)));
}

// The JSON idstamp-inspect --json prints for the report, newline included.
function jsonOf(r, lifetime) {
  if (r.verdict === "malformed") {
    return `{"verdict": "malformed", "id_hex": null, "stamp": null, "now": null, "age_ms": null, "lifetime": ${lifetime}, "reason": ${jsonString(r.reason)}}\n`;
  }
  const text = utf8OrNull(r.id);
  const id = text === null ? "" : `, "id": ${jsonString(text)}`; // not UTF-8: left out
  return `{"verdict": "${r.verdict}", "id_hex": "${hexOf(r.id)}"${id}, "stamp": ${r.stamp}, "now": ${r.now}, "age_ms": ${r.ageMs}, "lifetime": ${lifetime}, "reason": null}\n`;
}

function timeLeft(r, lifetime) {
  if (r.verdict !== "fresh") return "";
  return duration(BigInt(lifetime) * 60000n - r.ageMs);
}

// ---------------------------------------------------------------------------
// A link's question: #token=…&lifetime=…&at=…&zone=…&map=…

// Percent-decoding to bytes: %HH is a byte, any other character its
// UTF-8; '+' stays a plus.
function percentBytes(text) {
  const out = new Uint8Array(text.length * 3); // UTF-8 takes at most 3 bytes a UTF-16 unit
  const encoder = new TextEncoder();
  const hex = (i) => { // -1 past the end, where charCodeAt gives NaN
    const c = text.charCodeAt(i);
    const lower = c | 32;
    return c >= 48 && c <= 57 ? c - 48 : lower >= 97 && lower <= 102 ? lower - 87 : -1;
  };
  let n = 0;
  for (let i = 0; i < text.length; i++) {
    const c = text.charCodeAt(i);
    if (c === 37 && hex(i + 1) >= 0 && hex(i + 2) >= 0) {
      out[n++] = hex(i + 1) * 16 + hex(i + 2);
      i += 2;
    } else if (c < 128) {
      out[n++] = c;
    } else {
      const cp = text.codePointAt(i);
      if (cp > 0xffff) i++;
      n += encoder.encodeInto(String.fromCodePoint(cp), out.subarray(n)).written;
    }
  }
  return out.slice(0, n);
}

// The fields of a fragment (without its #): texts, the token as bytes,
// and a log as text (bytes that are not UTF-8 replaced); null when it asks
// nothing.
function readFragment(hash) {
  const raw = {};
  for (const pair of hash.split("&")) {
    const at = pair.indexOf("=");
    if (at > 0) raw[pair.slice(0, at)] = pair.slice(at + 1);
  }
  if (!["token", "at", "zone", "lifetime", "log"].some((k) => k in raw)) return null;
  const fields = {};
  for (const key of ["lifetime", "map", "zone", "at", "format", "param"]) {
    if (key in raw) fields[key] = utf8OrNull(percentBytes(raw[key])) ?? "";
  }
  if ("token" in raw) fields.token = percentBytes(raw.token);
  if ("log" in raw) fields.log = new TextDecoder().decode(percentBytes(raw.log));
  return fields;
}

// ---------------------------------------------------------------------------
// The time line: the acceptance window on the judging clock, from a minute
// before the stamp (the tolerance ahead) to the end of the lifetime, with
// the stamp and the moment judged. A moment far outside is drawn at the
// edge, with an arrow. Shapes are [element, attributes, text].

const TIMELINE = { left: 20, width: 600 };
const COLOURS = { fresh: "#1c7c3c", expired: "#a33a1e", ahead: "#8a5a00" };

// The scale: x of an age in ms, and the ages [lo, hi] it shows.
function timelineScale(lifetime, age) {
  const end = Math.max(lifetime, 0) * 60000;
  const span = end + 60000;
  let lo = -60000 - span * 0.08;
  let hi = end + span * 0.08;
  if (age >= lo - span && age <= hi + span) {
    lo = Math.min(lo, age - span * 0.08);
    hi = Math.max(hi, age + span * 0.08);
  }
  const { left, width } = TIMELINE;
  const x = (t) => left + ((Math.min(Math.max(t, lo), hi) - lo) / (hi - lo)) * width;
  return { x, lo, hi, end };
}

function timelineShapes(lifetime, r) {
  const age = Number(r.ageMs);
  const { x, lo, hi, end } = timelineScale(lifetime, age);
  const { left, width } = TIMELINE;
  const tolerance = Math.max(x(0) - x(-60000), 4);
  const early = x(0) - tolerance < left + 200;
  const shapes = [
    ["line", { x1: left, y1: 50, x2: left + width, y2: 50, stroke: "#8a94a6", "stroke-width": 1 }],
    ["rect", { x: x(0) - tolerance, y: 40, width: tolerance, height: 20, fill: "#f0b429" }],
    ["rect", { x: x(0), y: 40, width: Math.max(x(end) - x(0), 1), height: 20, fill: "#7ccf95" }],
    ["line", { x1: x(0), y1: 34, x2: x(0), y2: 66, stroke: "#1d2430", "stroke-width": 2 }],
    ["line", { x1: x(end), y1: 34, x2: x(end), y2: 66, stroke: "#a33a1e", "stroke-width": 2 }],
    ["text", { x: x(0) + 3, y: 80 }, "stamp"],
    ["text", { x: x(end), y: 80, "text-anchor": "end" }, `end of lifetime, ${lifetime} min`],
    ["text", { x: early ? x(0) - tolerance : x(0), y: 97, "text-anchor": early ? "start" : "end" },
      "tolerance: up to 59.999 s ahead"],
  ];
  const colour = COLOURS[r.verdict];
  const at = x(age);
  const anchor = at < left + 120 ? "start" : at > left + width - 120 ? "end" : "middle";
  const arrows = `${age < lo ? "◀ " : ""}judged: ${duration(r.ageMs)} old${age > hi ? " ▶" : ""}`;
  shapes.push(
    ["path", { d: `M${at - 6},18 L${at + 6},18 L${at},29 Z`, fill: colour }],
    ["line", { x1: at, y1: 29, x2: at, y2: 68, stroke: colour, "stroke-width": 2, "stroke-dasharray": "4 3" }],
    ["text", { x: at, y: 13, "text-anchor": anchor, fill: colour }, arrows],
  );
  const window = lifetime > 0
    ? `Accepted while the clock is between 59.999 s before the stamp and ${lifetime} min after it`
    : "A lifetime of 0 or less accepts no token";
  return { shapes, caption: `${window}; judged at an age of ${duration(r.ageMs)}: ${r.verdict}.` };
}

// "3 lines: 2 fresh, 1 malformed", or "…; counting… " while `done` is false.
function summaryText(n, tally, done) {
  const count = (v) => v.toLocaleString("en-US");
  const parts = Object.entries(tally).filter(([, v]) => v > 0).map(([k, v]) => `${count(v)} ${k}`);
  const lines = `${count(n)} line${n === 1 ? "" : "s"}`;
  if (done) return `${lines}: ${parts.join(", ")}`;
  return `${lines}; counting…${parts.length > 0 ? ` ${parts.join(", ")}` : ""}`;
}

export {
  splitLines, utcOf, fieldsOfUtc, wallText, readAt, wallOf, readMoment, readLifetime, readQuestion, judgeLine, hexOf,
  idTextOf, jsonString, duration, issuedAt, jsonOf, timeLeft, percentBytes, readFragment, timelineScale,
  timelineShapes, summaryText,
};
