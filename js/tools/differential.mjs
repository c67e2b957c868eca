// Differential check of the package against the C++ library, through its
// idstamp-inspect program:
//
//   node tools/differential.mjs PATH/TO/idstamp-inspect [--seed N]
//
// 1. Tokens: the package and `idstamp-inspect --batch -z --json --at` judge
//    the same 10,000 generated tokens (issued ones that are fresh, expired
//    and ahead; forged and random ones, malformed and oddly valid; ids with
//    every kind of byte but zero) and must agree on every field.
// 2. Clock: yearStamp and the library's clock, both frozen by libfaketime at
//    the same instants in UTC, America/New_York and Australia/Lord_Howe
//    across daylight-saving changes and New Year, must give the same stamp.
//
// Prints what it compared and exits 1 on the first kind of disagreement.
import { spawnSync } from "node:child_process";
import { existsSync } from "node:fs";
import { cryptId, inspectToken } from "../index.js";
import { findFaketime, frozenEnv } from "./faketime.mjs";
import { forge } from "./forge.mjs";

const [inspect, ...options] = process.argv.slice(2);
if (!inspect || !existsSync(inspect)) {
  console.error("usage: node tools/differential.mjs PATH/TO/idstamp-inspect [--seed N]");
  process.exit(2);
}
const seed = options[0] === "--seed" ? Number(options[1]) : 17;

// mulberry32: a small seeded generator, so every run judges the same tokens.
let state = seed >>> 0;
function random() {
  state = (state + 0x6d2b79f5) >>> 0;
  let t = Math.imul(state ^ (state >>> 15), state | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
const below = (n) => Math.floor(random() * n);
const pick = (list) => list[below(list.length)];
const bytes = (text) => Uint8Array.from(text, (c) => c.charCodeAt(0));
const hex = (b) => Buffer.from(b).toString("hex");
const MOD = 2 ** 32;
const mod32 = (v) => ((v % MOD) + MOD) % MOD;

// ---------------------------------------------------------------------------
// Generated tokens

const range = (from, to) => Array.from({ length: to - from + 1 }, (_, i) => from + i);
const PALETTES = [
  range(48, 57), // digits, which the map substitutes
  range(65, 90).concat(range(97, 122)),
  range(33, 47).concat(range(58, 64), range(91, 96), range(123, 126)), // quotes and backslash too
  [9, 10, 11, 12, 13, 32, 43, 45], // white space and signs, which decimal reading skips
  range(1, 31).concat([127]),
  range(128, 255), // not UTF-8 on their own
];

function randomId() {
  const length = pick([1, 2, 3, 1 + below(12), 1 + below(120), 1 + below(999), 999]);
  if (random() < 0.25) {
    // UTF-8 text, so the report carries "id" too
    const text = [];
    for (let size = 0; size < length; ) {
      const room = Math.min(length - size, 4); // a code point of at most this many bytes
      const cp = pick([1 + below(0x7f), 0x80 + below(0x780), 0xe000 + below(0x2000), 0x10000 + below(0xfffff)].slice(0, room));
      text.push(String.fromCodePoint(cp));
      size += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    }
    return new TextEncoder().encode(text.join(""));
  }
  const palette = PALETTES.filter(() => random() < 0.5).flat();
  const from = palette.length > 0 ? palette : PALETTES[1];
  return Uint8Array.from({ length }, () => pick(from));
}

// An age in ms around the edges of the window and of the stamp's range.
function randomAge(lifetime) {
  const window = lifetime * 60000;
  return pick([
    () => pick([-60001, -60000, -59999, -1, 0, 1, 59999, 60000]),
    () => pick([window - 1, window, window + 1]),
    () => below(2 * 7200000) - 7200000,
    () => below(2 * MOD) - MOD,
  ])();
}

function lengthField(length) {
  if (random() < 0.7) return String(length).padStart(3, "0");
  const odd = [" ", "+", "-", "\t", "\r", "\xa0", "x", "0", "0", "1", "2", "5"];
  return pick([
    () => String(length).padStart(3, pick([" ", "+", "\t", "0"])),
    () => pick(["-01", "000", "1 2", "x12", "12 ", " +3", "\t\r3", "+-1"]),
    () => Array.from({ length: 3 }, () => pick(odd)).join(""),
  ])();
}

function stampText(now, lifetime) {
  const digits = (n) => Array.from({ length: n }, () => below(10)).join("");
  let text = pick([
    () => String(mod32(now - randomAge(lifetime))),
    () => String(below(MOD)),
    () => String(now - randomAge(lifetime)), // may be negative, or above 2^32
    () => pick(["-1", "0", "-0", "9223372036854775807", "-9223372036854775808", "18446744073709551615"]),
    () => pick(["", "-"]) + (1 + below(9)) + digits(15 + below(4)), // 16 to 19 digits
    () => pick(["", "-"]) + (1 + below(9)) + digits(19 + below(12)), // saturates
  ])();
  if (random() < 0.2) text = "0".repeat(1 + below(40)) + text.replace("-", "");
  if (random() < 0.15) text = pick(["+", "-", " ", "\t", "\v\f ", " -"]) + text;
  if (random() < 0.08) text = pick([text + pick([" ", "x", "\n", "+"]), "", "+", "-", "0x10", " "]);
  return text;
}

function randomToken(now, lifetime) {
  const kind = random();
  if (kind < 0.35) {
    const id = randomId();
    const stamp = mod32(now - randomAge(lifetime));
    return { token: cryptId(id, stamp), issued: { id: hex(id), stamp: BigInt(stamp) } };
  }
  if (kind < 0.8) {
    const id = randomId();
    const plain = new Uint8Array([
      ...bytes(lengthField(id.length)),
      ...id,
      ...bytes(stampText(now, lifetime)),
    ]);
    return { token: forge(plain) };
  }
  const palette = pick(PALETTES.slice(0, 3)).concat(pick(PALETTES));
  return { token: Uint8Array.from({ length: pick([0, 1, 2, 3, 4, below(40)]) }, () => pick(palette)) };
}

// The year stamp of a local date-time 'YYYY-MM-DD HH:MM:SS.mmm', from its
// fields: ((day of year - 1) * 86400 + seconds of the day) * 1000 + ms.
function stampOfFields(at) {
  const [y, mo, d, h, mi, s, ms] = at.split(/[- :.]/).map(Number);
  const day = (Date.UTC(y, mo - 1, d) - Date.UTC(y, 0, 1)) / 86400000;
  return mod32(((day * 24 + h) * 60 + mi) * 60000 + s * 1000 + ms);
}

// idstamp-inspect's JSON, with every integer read as a bigint: stamps and
// ages may need all 64 bits. Integers are quoted before parsing, strings
// passed over whole so that digits inside them stay as they are.
const INTEGER_KEYS = new Set(["stamp", "now", "age_ms", "lifetime", "line"]);
function parseReport(line) {
  const quoted = line.replace(/"(?:[^"\\]|\\.)*"|-?\d+/g, (m) => (m[0] === '"' ? m : `"${m}"`));
  return JSON.parse(quoted, (key, value) =>
    INTEGER_KEYS.has(key) && typeof value === "string" ? BigInt(value) : value,
  );
}

const utf8 = new TextDecoder("utf-8", { fatal: true });
function expectedReport(token, lifetime, now, line) {
  const r = inspectToken(token, lifetime, now);
  const wanted = { verdict: r.verdict, id_hex: r.id === null ? null : hex(r.id) };
  if (r.id !== null) {
    try {
      wanted.id = utf8.decode(r.id);
    } catch {
      // not UTF-8: the report leaves "id" out
    }
  }
  return Object.assign(wanted, {
    stamp: r.stamp,
    now: r.now === null ? null : BigInt(r.now),
    age_ms: r.ageMs,
    lifetime: BigInt(lifetime),
    reason: r.reason,
    line: BigInt(line),
  });
}

function differences(got, wanted) {
  const keys = new Set([...Object.keys(got), ...Object.keys(wanted)]);
  return [...keys].filter((k) => got[k] !== wanted[k]).map((k) => `${k}: C++ ${got[k]}, JS ${wanted[k]}`);
}

// [TZ, --at, lifetime, tokens]
const BATCHES = [
  ["America/New_York", "2024-07-03 05:46:40.250", 30, 4000],
  ["UTC", "2025-02-19 17:02:47.296", 1, 2000], // the stamp's first return to 0
  ["Australia/Lord_Howe", "2024-12-31 23:59:59.999", 2147483647, 2000],
  ["UTC", "2023-01-01 00:00:00.000", 71583, 1000],
  ["America/New_York", "2024-03-10 12:00:00.001", 5, 1000],
];

let failures = 0;
function fail(message) {
  failures++;
  if (failures <= 20) console.log(`DIFFERENT ${message}`);
}

const tally = new Map();
let judged = 0;
for (const [tz, at, lifetime, count] of BATCHES) {
  const now = stampOfFields(at);
  const cases = Array.from({ length: count }, () => randomToken(now, lifetime));
  const input = Buffer.concat(cases.flatMap((c) => [c.token, Buffer.of(0)]));
  const args = ["--batch", "-z", "--json", "-t", String(lifetime), "--at", at];
  const run = spawnSync(inspect, args, { input, env: { ...process.env, TZ: tz }, maxBuffer: 1 << 30 });
  const lines = run.stdout.toString("utf8").split("\n").filter((l) => l !== "");
  if (run.status !== 0 || lines.length !== count) {
    fail(`${inspect} ${args.join(" ")} (TZ=${tz}): exit ${run.status}, ${lines.length} reports for ${count} tokens\n${run.stderr}`);
    continue;
  }
  cases.forEach((c, i) => {
    const got = parseReport(lines[i]);
    const wanted = expectedReport(c.token, lifetime, now, i + 1);
    const why = differences(got, wanted);
    if (c.issued && (got.id_hex !== c.issued.id || got.stamp !== c.issued.stamp)) {
      why.push(`issued id ${c.issued.id} at ${c.issued.stamp}, C++ reads ${got.id_hex} at ${got.stamp}`);
    }
    const shown = c.token.length > 60 ? `${hex(c.token.subarray(0, 60))}... (${c.token.length} bytes)` : hex(c.token);
    if (why.length > 0) fail(`token ${shown} (TZ=${tz}, --at ${at}, -t ${lifetime}):\n  ${why.join("\n  ")}`);
    const kind = wanted.reason ? `malformed: ${wanted.reason}` : wanted.verdict;
    tally.set(kind, (tally.get(kind) ?? 0) + 1);
  });
  judged += count;
}
console.log(`tokens: ${judged} judged by both, ${failures} disagreements`);
for (const [kind, n] of [...tally].sort()) console.log(`  ${String(n).padStart(5)} ${kind}`);
const kinds = ["fresh", "expired", "ahead", "too short", "bad length field", "no stamp", "bad stamp"];
const missing = kinds.filter((k) => ![...tally.keys()].some((t) => t.endsWith(k)));
if (missing.length > 0) fail(`the generated tokens gave no ${missing.join(", ")}`);

// ---------------------------------------------------------------------------
// The clock, frozen by libfaketime for both sides

const faketime = findFaketime();
if (faketime === null) fail("the clock: libfaketime is not installed");
const moduleUrl = new URL("../index.js", import.meta.url).href;
function stampsAt(tz, ms) {
  const env = frozenEnv(faketime, tz, ms);
  const js = spawnSync(
    process.execPath,
    ["--input-type=module", "-e", `import { yearStamp } from ${JSON.stringify(moduleUrl)}; console.log(yearStamp());`],
    { env, timeout: 20000 },
  );
  const c = spawnSync(inspect, ["--json", "5109B8788C4A757"], { env, timeout: 20000 });
  const now = /"now": (\d+)/.exec(c.stdout?.toString() ?? "");
  return { js: js.status === 0 ? Number(js.stdout) : `failed: ${js.stderr}`, c: now ? Number(now[1]) : `failed: ${c.stderr}` };
}

// Daylight-saving changes in New York and Lord Howe (30 minutes there), New
// Year in all three zones, the end of a leap year and a stamp reset.
const INSTANTS = [
  "2024-03-10T07:00:00Z", "2024-11-03T06:00:00Z", "2024-04-06T15:00:00Z", "2024-10-05T15:30:00Z",
  "2025-01-01T05:00:00Z", "2024-12-31T13:00:00Z", "2025-01-01T00:00:00Z", "2025-02-19T17:02:47.296Z",
].map(Date.parse);
if (faketime !== null) {
  let compared = 0;
  for (const tz of ["UTC", "America/New_York", "Australia/Lord_Howe"]) {
    let jumps = 0;
    let newYears = 0;
    for (const instant of INSTANTS) {
      const before = stampsAt(tz, instant - 1);
      const after = stampsAt(tz, instant);
      for (const [ms, s] of [[instant - 1, before], [instant, after]]) {
        compared++;
        if (s.js !== s.c) fail(`yearStamp at ${new Date(ms).toISOString()} TZ=${tz}: C++ ${s.c}, JS ${s.js}`);
      }
      const step = mod32(after.c - before.c);
      if (after.c === 0 && (before.c === 1471228927 || before.c === 1557628927)) newYears++;
      else if (step === 1 + 1800000 || step === 1 + 3600000 || step === mod32(1 - 1800000) || step === mod32(1 - 3600000)) jumps++;
    }
    console.log(`clock: TZ=${tz}: ${INSTANTS.length * 2} frozen instants, ${jumps} daylight-saving changes and ${newYears} New Years crossed`);
    if (newYears === 0 || (tz !== "UTC" && jumps < 2)) fail(`the clock: the instants cross no change in TZ=${tz}`);
  }
  console.log(`clock: ${compared} stamps compared`);
}

console.log(failures === 0 ? "differential check: all agree" : `differential check: ${failures} disagreements`);
process.exit(failures === 0 ? 0 : 1);
