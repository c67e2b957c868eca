// The summary of judged records, as idstamp-inspect --summary --json
// prints it, and the shapes of the page's two charts. No DOM here.
//
// Ages are kept in a histogram of fixed size, as the command keeps them:
// an age under 256 ms in magnitude is its own bucket; a larger one keeps
// the top 8 bits of its magnitude. A percentile is the nearest rank's
// bucket, clamped into the exact least and greatest age.
import { CAUSES, REASONS, VERDICTS, wallText } from "./log.mjs";

function ageSet() {
  // Buckets by representative: a number where it is exact, else its text.
  return { n: 0, min: 0n, max: 0n, buckets: new Map() };
}

const EXACT = 2 ** 53;

// The bucket an age (a BigInt, signed 64-bit) falls in.
function bucketOf(v) {
  const m = v < 0n ? -v : v;
  if (m < 256n) return v;
  const shift = BigInt(m.toString(2).length - 8);
  const kept = (m >> shift) << shift;
  return v < 0n ? -kept : kept;
}

// The same for an age that is a safe integer, in numbers.
function bucketOfNumber(v) {
  const m = Math.abs(v);
  if (m < 256) return v;
  const high = m >= 2 ** 32 ? 63 - Math.clz32(Math.floor(m / 2 ** 32)) : 31 - Math.clz32(m);
  const unit = 2 ** (high - 7);
  return Math.sign(v) * Math.floor(m / unit) * unit;
}

function addAge(set, v) {
  if (set.n === 0 || v < set.min) set.min = v;
  if (set.n === 0 || v > set.max) set.max = v;
  set.n++;
  const n = Number(v);
  const key = Math.abs(n) < EXACT ? bucketOfNumber(n) : bucketOf(v).toString();
  set.buckets.set(key, (set.buckets.get(key) ?? 0) + 1);
}

// The p-th percentile by nearest rank, or null for an empty set.
function percentile(set, p) {
  if (set.n === 0) return null;
  const rank = Math.floor((p * set.n + 99) / 100);
  const order = [...set.buckets].map(([rep, n]) => [BigInt(rep), n]).sort(([a], [b]) => (a < b ? -1 : a > b ? 1 : 0));
  let seen = 0;
  for (const [rep, n] of order) {
    seen += n;
    if (seen >= rank) return rep < set.min ? set.min : rep > set.max ? set.max : rep;
  }
  return set.max;
}

function newSummary() {
  const zeros = (keys) => Object.fromEntries(keys.map((k) => [k, 0]));
  return {
    records: 0, judged: 0, skipped: 0, verdicts: zeros(VERDICTS), reasons: zeros(REASONS), unjudged: zeros(CAUSES),
    ages: { fresh: ageSet(), expired: ageSet() }, first: null, last: null,
  };
}

// Counts a record: { skipped }, { cause }, or judged, { report, wallMs }.
function addRecord(s, r) {
  s.records++;
  if (r.skipped) {
    s.skipped++;
    return;
  }
  if (r.cause) {
    s.unjudged[r.cause]++;
    return;
  }
  s.judged++;
  const { verdict, reason, ageMs } = r.report;
  s.verdicts[verdict]++;
  if (verdict === "malformed") s.reasons[reason]++;
  else if (verdict in s.ages) addAge(s.ages[verdict], ageMs);
  if (s.first === null || r.wallMs < s.first) s.first = r.wallMs;
  if (s.last === null || r.wallMs > s.last) s.last = r.wallMs;
}

// --summary --json's one line, its feed included.
function summaryJson(s) {
  const object = (o, value = String) => `{${Object.entries(o).map(([k, v]) => `"${k}": ${value(v)}`).join(", ")}}`;
  const ages = (set) => object({
    p50: percentile(set, 50), p90: percentile(set, 90), p99: percentile(set, 99), max: set.n === 0 ? null : set.max,
  });
  const reading = (ms) => (ms === null ? "null" : `"${wallText(fieldsOf(ms))}"`);
  return `{"records": ${s.records}, "judged": ${s.judged}, "skipped": ${s.skipped}, ` +
    `"verdicts": ${object(s.verdicts)}, "reasons": ${object(s.reasons)}, "unjudged": ${object(s.unjudged)}, ` +
    `"age_ms": ${object(s.ages, ages)}, "first": ${reading(s.first)}, "last": ${reading(s.last)}}\n`;
}

function fieldsOf(ms) {
  const t = new Date(ms);
  return {
    y: t.getUTCFullYear(), mo: t.getUTCMonth() + 1, d: t.getUTCDate(), h: t.getUTCHours(),
    mi: t.getUTCMinutes(), s: t.getUTCSeconds(), ms: t.getUTCMilliseconds(),
  };
}

export { bucketOf, bucketOfNumber, addAge, ageSet, percentile, newSummary, addRecord, summaryJson, fieldsOf };
