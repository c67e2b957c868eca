// Logs for the page's tests, the same every time for a seed: lines of
// MOMENT<TAB>TOKEN in both forms, and a web server's log, with fresh,
// expired, ahead and malformed tokens, lines that cannot be judged for
// each cause, and (in the server's log) lines without the parameter.
import { cryptId, yearStampAt } from "../../js/index.js";

export function random(seed) {
  let a = seed;
  return () => {
    a = (a + 0x6d2b79f5) | 0;
    let t = Math.imul(a ^ (a >>> 15), 1 | a);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

const pad = (v, n = 2) => String(v).padStart(n, "0");
const pick = (rand, list) => list[Math.floor(rand() * list.length)];
const mod32 = (v) => ((v % 2 ** 32) + 2 ** 32) % 2 ** 32;
const IDS = ["user-1042", "a+b", "x&y=1", "100%", 'q"uote', "back\\slash", "sp ace", "order-77"];
const MALFORMED = ["", "1", "12", "garbage", "5109B8788C4A757x", "000abc123", "é"];

// A token whose age at year stamp `now` is about right for a line of
// `kind`; or a malformed one, or one of `wild` (tokens of any age).
function tokenFor(rand, now, lifetime, wild) {
  const r = rand();
  const minutes = (m) => Math.floor(m * 60000);
  let age;
  if (r < 0.62) age = minutes(rand() * (lifetime + 1)) - 60000;
  else if (r < 0.78) age = minutes(lifetime + rand() * 4000);
  else if (r < 0.84) age = -minutes(1 + rand() * 20000);
  else if (r < 0.94 || wild.length === 0) return pick(rand, MALFORMED);
  else return pick(rand, wild);
  return Buffer.from(cryptId(pick(rand, IDS), mod32(now - age))).toString();
}

function reading(ms, sep = "T", withMs = true) {
  const t = new Date(ms);
  return `${t.getUTCFullYear()}-${pad(t.getUTCMonth() + 1)}-${pad(t.getUTCDate())}${sep}${pad(t.getUTCHours())}:` +
    `${pad(t.getUTCMinutes())}:${pad(t.getUTCSeconds())}${withMs ? `.${pad(t.getUTCMilliseconds(), 3)}` : ""}`;
}

const BAD_MOMENTS = ["2026-02-30 10:00:00", "2026-10-25 24:00:00", "2026-10-25T01:00:00+24:00", "2026-10-25T01:00:00Zx",
  "2026-10-25t01:00:00", "", "2026-10-25 01:00", "2026-10-25T01:00:00+0100"];

// A line of MOMENT<TAB>TOKEN at instant t, judged in `zone`.
function momentLine(rand, t, zone, lifetime, wild) {
  const form = rand();
  const sep = rand() < 0.5 ? "T" : " ";
  const withMs = rand() < 0.6;
  if (form < 0.04) return pick(rand, ["", "no tab", tokenFor(rand, 0, lifetime, [])]); // no moment
  if (form < 0.08) return `${pick(rand, BAD_MOMENTS)}\t${tokenFor(rand, 0, lifetime, [])}`;
  const ms = withMs ? t : t - (t % 1000);
  let moment;
  let now;
  if (form < 0.3) { // a wall-clock reading, no zone involved
    moment = reading(ms, sep, withMs);
    now = yearStampAt(ms, "UTC");
  } else {
    const offset = form < 0.6 ? 0 : pick(rand, [60, 120, -300, 330, -0, 5 * 60 + 45, -(23 * 60 + 59)]);
    const sign = offset < 0 || (offset === 0 && form >= 0.6) ? "-" : "+";
    const suffix = form < 0.6 ? pick(rand, ["Z", "z"]) : `${sign}${pad(Math.floor(Math.abs(offset) / 60))}:${pad(Math.abs(offset) % 60)}`;
    moment = reading(ms + offset * 60000, sep, withMs) + suffix;
    now = yearStampAt(ms, zone);
  }
  return `${moment}\t${tokenFor(rand, now, lifetime, wild)}`;
}

// `n` lines of MOMENT<TAB>TOKEN from instant `from`, `step` ms apart give
// or take five minutes; some end in CR LF, the last in no feed.
export function momentsLog({ n, from, zone, lifetime, seed, wild = [], step = 3700 }) {
  const rand = random(seed);
  const lines = [];
  for (let i = 0; i < n; i++) {
    const t = from + i * step + Math.floor((rand() - 0.5) * 600000);
    lines.push(momentLine(rand, t, zone, lifetime, wild) + (rand() < 0.1 ? "\r" : ""));
  }
  return lines.join("\n");
}

const MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"];

// The token as a query value: some bytes percent-escaped; a quote or a
// backslash as the log escapes it.
function queryValue(rand, token) {
  let out = "";
  for (const b of Buffer.from(token)) {
    const c = String.fromCharCode(b);
    if (/[A-Za-z0-9.-]/.test(c) && rand() < 0.9) out += c;
    else if (c === '"' || c === "\\") out += rand() < 0.5 ? `\\${c}` : `%${b.toString(16)}`;
    else if (c === "+" && rand() < 0.5) out += "+";
    else out += `%${pad(b.toString(16)).replace(/[a-f]/g, (x) => (rand() < 0.5 ? x : x.toUpperCase()))}`;
  }
  return out;
}

function clfDate(t, offset) {
  const l = new Date(t + offset * 60000);
  const sign = offset < 0 ? "-" : "+";
  return `[${pad(l.getUTCDate())}/${MONTHS[l.getUTCMonth()]}/${l.getUTCFullYear()}:${pad(l.getUTCHours())}:` +
    `${pad(l.getUTCMinutes())}:${pad(l.getUTCSeconds())} ${sign}${pad(Math.floor(Math.abs(offset) / 60))}${pad(Math.abs(offset) % 60)}]`;
}

function clfLine(rand, t, zone, lifetime, wild) {
  const offset = pick(rand, [0, -300, -240, 120, 330]);
  const date = clfDate(t - (t % 1000), offset);
  const token = tokenFor(rand, yearStampAt(t - (t % 1000), zone), lifetime, wild);
  const kind = rand();
  let request = `GET /app/open?x=1&t=${queryValue(rand, token)}&y=2 HTTP/1.1`;
  if (kind < 0.06) request = pick(rand, ["GET / HTTP/1.1", "GET /a?u=1&tt=2 HTTP/1.1", "-", "GET /a#?t=1 HTTP/1.1"]);
  else if (kind < 0.09) request = pick(rand, ["GET /a?t=%4 HTTP/1.1", "GET /a?t=ab%zz HTTP/1.1", "GET /a?t=%"]);
  else if (kind < 0.11) return pick(rand, ["garbage", `1.2.3.4 - - ${date} "GET /a?t=1`, `1.2.3.4 - - ${date} GET`]);
  const when = kind > 0.985 ? "[31/Sep/2026:10:00:00 +0000]" : kind > 0.975 ? "[25/oct/2026:10:00:00 +0000]" : date;
  return `203.0.113.${Math.floor(rand() * 256)} - - ${when} "${request}" 200 ${Math.floor(rand() * 9000)} "-" "curl/8.5"`;
}

// `n` lines of a web server's log, the token in parameter t.
export function clfLog({ n, from, zone, lifetime, seed, wild = [] }) {
  const rand = random(seed);
  const lines = [];
  for (let i = 0; i < n; i++) lines.push(clfLine(rand, from + i * 9000 + Math.floor(rand() * 60000), zone, lifetime, wild));
  return `${lines.join("\n")}\n`;
}
