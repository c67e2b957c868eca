// A log judged line by line, its summary and its charts, without a browser:
// node --test web/test/log.test.mjs
import assert from "node:assert/strict";
import { test } from "node:test";
import { cryptId, inspectToken, yearStampAt } from "../../js/index.js";
import { ageChart, newChartData, addToCharts, timeUnit, verdictChart } from "../charts.mjs";
import { judgeRecord, readMomentBytes, recordReader, recordsOf, stampOfWall, zoneClock } from "../log.mjs";
import { random } from "./log-sample.mjs";
import { addAge, addRecord, ageSet, bucketOf, bucketOfNumber, newSummary, percentile, summaryJson } from "../summary.mjs";

const bytes = (text) => new TextEncoder().encode(text);
const codec = { inspectToken };

// Every line of `text` judged in `zone`, and its summary's JSON.
function judgeLog(text, format, zone, lifetime = 30, param = "t") {
  const log = recordsOf(text);
  const read = recordReader(format, zone, param);
  const s = newSummary();
  const records = Array.from({ length: log.count }, (_, k) => judgeRecord(read(log, k), codec, lifetime));
  for (const r of records) addRecord(s, r);
  return { records, json: summaryJson(s) };
}

test("records are lines as --batch reads them", () => {
  for (const [text, lines] of [
    ["", []], ["\n", [""]], ["a", ["a"]], ["a\n", ["a"]], ["a\r\nb", ["a", "b"]], ["a\r", ["a"]],
    ["a\r\r\n\n", ["a\r", ""]], ["\r\n\r\n", ["", ""]], ["é\n\tx", ["é", "\tx"]],
  ]) {
    const log = recordsOf(text);
    const got = Array.from(log.starts, (s, k) => new TextDecoder().decode(log.bytes.subarray(s, log.ends[k])));
    assert.deepEqual(got, lines, JSON.stringify(text));
  }
});

test("a moment is a wall-clock reading, an instant with its offset, or nothing", () => {
  const wall = (t) => ({ wall: Date.parse(`${t}Z`) });
  const instant = (t) => ({ instant: Date.parse(t) });
  for (const [text, want] of [
    ["2026-12-08 10:42:00", wall("2026-12-08T10:42:00")],
    ["2026-12-08T10:42:00.250", wall("2026-12-08T10:42:00.250")],
    ["2024-02-29 23:59:59.999", wall("2024-02-29T23:59:59.999")],
    ["0001-01-01 00:00:00", { wall: -62135596800000 }],
    ["2026-12-08T10:42:00Z", instant("2026-12-08T10:42:00Z")],
    ["2026-12-08 10:42:00.250z", instant("2026-12-08T10:42:00.250Z")],
    ["2026-12-08T10:42:00-00:00", instant("2026-12-08T10:42:00Z")],
    ["2026-12-08T10:42:00+01:00", instant("2026-12-08T09:42:00Z")],
    ["2026-12-08T00:10:00.500-23:59", instant("2026-12-09T00:09:00.500Z")],
    ["2026-12-31T23:30:00+05:30", instant("2026-12-31T18:00:00Z")],
  ]) {
    assert.deepEqual(readMomentBytes(bytes(text), 0, text.length), want, text);
  }
  for (const bad of [
    "2026-02-29 00:00:00", "2026-04-31 00:00:00", "0000-01-01 00:00:00", "2026-13-01 00:00:00",
    "2026-12-08 24:00:00", "2026-12-08 23:60:00", "2026-12-08 23:59:60", "2026-12-08t10:42:00",
    "2026-12-08 10:42", "2026-12-08 10:42:00.25", "2026-12-08 10:42:00.2500", " 2026-12-08 10:42:00",
    "2026-12-08 10:42:00 ", "2026-12-08T10:42:00Zx", "2026-12-08T10:42:00+24:00", "2026-12-08T10:42:00+01:60",
    "2026-12-08T10:42:00+0100", "2026-12-08T10:42:00+1:00", "2026-12-08T10:42:00 +01:00", "2026-12-08T10:42:00.25Z",
    "+026-12-08 10:42:00", "2026-12-08T10:42:00UTC", "",
  ]) {
    assert.equal(readMomentBytes(bytes(bad), 0, bad.length), null, bad);
  }
});

// The clock keeps an hour's offset when nothing changes in that hour: it
// must still give Intl's own reading on both sides of every change.
test("an instant is judged at the wall clock its zone showed, across changes of offset", () => {
  for (const [zone, from] of [
    ["Europe/Berlin", Date.UTC(2026, 9, 24, 22)], ["Europe/Berlin", Date.UTC(2026, 2, 28, 23)],
    ["America/New_York", Date.UTC(2026, 10, 1, 3)], ["Australia/Lord_Howe", Date.UTC(2026, 3, 4, 12)],
    ["Asia/Kolkata", Date.UTC(2026, 11, 31, 17)], ["Asia/Kathmandu", Date.UTC(1985, 11, 31, 16)], // at 18:30Z
  ]) {
    const clock = zoneClock(zone);
    for (let t = from; t < from + 6 * 3600000; t += 59999) {
      assert.equal(stampOfWall(clock(t)), yearStampAt(t, zone), `${zone} ${new Date(t).toISOString()}`);
    }
  }
  // A local reading outside years 1 to 9999 has no stamp: the moment is bad.
  const edges = judgeLog(["0001-01-01T00:00:00+01:00\tx", "0001-01-01T00:30:00+01:00\tx", "9999-12-31T23:59:59.999-01:00\tx",
    "9999-12-31T23:59:59.999+01:00\tx"].join("\n"), "moments", "Europe/Berlin").records
    .map((r) => r.cause ?? new Date(r.wallMs).toISOString());
  assert.deepEqual(edges, ["bad moment", "0001-01-01T00:23:28.000Z", "bad moment", "9999-12-31T23:59:59.999Z"]);
  const clfEdges = ["x [01/Jan/0001:00:30:00 +0100] \"GET /?t=1\"", "x [31/Dec/9999:23:30:00 -0100] \"GET /?t=1\""];
  assert.deepEqual(judgeLog(clfEdges.join("\n"), "clf", "Europe/Berlin").records.map((r) => r.cause ?? new Date(r.wallMs).toISOString()),
    ["0001-01-01T00:23:28.000Z", "bad moment"]);
  const berlin = zoneClock("Europe/Berlin");
  const reading = (t) => new Date(berlin(Date.parse(t))).toISOString();
  assert.equal(reading("2026-10-25T00:59:59.999Z"), "2026-10-25T02:59:59.999Z");
  assert.equal(reading("2026-10-25T01:00:00.000Z"), "2026-10-25T02:00:00.000Z");
});

// A token issued `ageMs` before the stamp of wall reading `at`.
const tokenAged = (at, ageMs, id = "u1") =>
  Buffer.from(cryptId(id, (((yearStampAt(Date.parse(`${at}Z`), "UTC") - ageMs) % 2 ** 32) + 2 ** 32) % 2 ** 32)).toString();

test("a log of moments: each line judged at its own moment, and what the summary says", () => {
  const t = tokenAged("2026-10-25T02:30:00", 120000);
  const lines = [
    `2026-10-25T00:30:00Z\t${t}`, // 02:30 CEST: fresh, 2 min
    `2026-10-25T01:10:00+00:00\t${t}`, // 02:10 CET: 18 min ahead
    `2026-10-25 02:30:00.500\t${t}`, // a reading: fresh, 120500 ms
    `2026-10-25T03:30:00+02:00\t${t}`, // 01:30Z, 02:30 CET: fresh again, the reading repeats
    `2026-10-26T02:30:00+01:00\t${t}`, // a day on: expired
    "2026-10-25T02:30:00Z\t", "2026-10-25T02:30:00Z\t12", "no tab here", "2026-02-30 00:00:00\tx", "\t",
  ];
  const { records, json } = judgeLog(`${lines.join("\r\n")}\n`, "moments", "Europe/Berlin");
  // 120500 keeps its top 8 bits, 120320: the 90th percentile of three.
  assert.deepEqual(records.map((r) => r.cause ?? `${r.report.verdict} ${r.report.ageMs}`),
    ["fresh 120000", "ahead -1080000", "fresh 120500", "fresh 120000", "expired 86520000", "malformed null",
      "malformed null", "no moment", "bad moment", "bad moment"]);
  assert.equal(json, '{"records": 10, "judged": 7, "skipped": 0, ' +
    '"verdicts": {"fresh": 3, "expired": 1, "ahead": 1, "malformed": 2}, ' +
    '"reasons": {"too short": 2, "bad length field": 0, "no stamp": 0, "zero byte in the id": 0, "bad stamp": 0}, ' +
    '"unjudged": {"no moment": 1, "bad moment": 2, "not a log line": 0, "bad escape": 0}, ' +
    '"age_ms": {"fresh": {"p50": 120000, "p90": 120320, "p99": 120320, "max": 120500}, ' +
    '"expired": {"p50": 86520000, "p90": 86520000, "p99": 86520000, "max": 86520000}}, ' +
    '"first": "2026-10-25 02:10:00.000", "last": "2026-10-26 02:30:00.000"}\n');
  assert.equal(judgeLog("", "moments", "UTC").json, '{"records": 0, "judged": 0, "skipped": 0, ' +
    '"verdicts": {"fresh": 0, "expired": 0, "ahead": 0, "malformed": 0}, ' +
    '"reasons": {"too short": 0, "bad length field": 0, "no stamp": 0, "zero byte in the id": 0, "bad stamp": 0}, ' +
    '"unjudged": {"no moment": 0, "bad moment": 0, "not a log line": 0, "bad escape": 0}, ' +
    '"age_ms": {"fresh": {"p50": null, "p90": null, "p99": null, "max": null}, ' +
    '"expired": {"p50": null, "p90": null, "p99": null, "max": null}}, "first": null, "last": null}\n');
});

test("a web server's log: the date, the request's escapes, the parameter and its percent escapes", () => {
  const date = "[25/Oct/2026:01:30:00 +0000]";
  const line = (request, d = date) => `203.0.113.9 - frank ${d} "${request}" 200 2326 "-" "curl/8"`;
  const token = (t) => `GET /a/b?x=1&t=${t} HTTP/1.1`;
  for (const [text, want] of [
    [line(token("abc%2Bd+e")), "abc+d+e"], [line(token("%25%0a%0A%ff")), "%\n\n\xff"],
    [line("GET /a?t=1&t=2 HTTP/1.1"), "1"], [line("GET /a?tt=1&T=2&t HTTP/1.1"), ""],
    [line("GET /a?t=x#frag&t=y HTTP/1.1"), "x"], [line("GET /a?t=a%20b"), "a b"],
    [line("GET /a?u=%4&t=ok HTTP/1.1"), "ok"], [line("GET /a?t=\\x41\\x4a\\x4A\\x4g HTTP/1.1"), "AJJ\\x4g"],
    [line('GET /a?t=\\"q\\\\ HTTP/1.1'), '"q\\'], [line("GET /a?t=\\t HTTP/1.1"), "\\t"],
    [line("GET /a?t=1 HTTP/1.1", "[25/Oct/2026:03:30:00 +0200]"), "1"],
    [line("GET /a?t=%4"), "bad escape"], [line("GET /a?t=%4g&t=1"), "bad escape"], [line("GET /a?t=abc%"), "bad escape"],
    [line("GET /a?x=1&t%3D=1 HTTP/1.1"), "skipped"], [line("GET /a HTTP/1.1"), "skipped"], [line("GET"), "skipped"],
    [line("GET /a#?t=1 HTTP/1.1"), "1"], [line("GET  /a?t=1"), "skipped"],
    [line("GET /a?t=1", "[25/oct/2026:01:30:00 +0000]"), "bad moment"],
    [line("GET /a?t=1", "[31/Sep/2026:01:30:00 +0000]"), "bad moment"],
    [line("GET /a?t=1", "[25/Oct/2026:24:00:00 +0000]"), "bad moment"],
    [line("GET /a?t=1", "[25/Oct/2026:01:30:00 +2400]"), "bad moment"],
    [line("GET /a", "[25/Oct/2026:01:30:00 +0060]"), "bad moment"],
    [line("GET /a?t=1", "[25/Oct/2026:01:30:00 0000]"), "not a log line"],
    [line("GET /a?t=1", "[5/Oct/2026:01:30:00 +0000]"), "not a log line"],
    [line("GET /a?t=1", "[25/O1t/2026:01:30:00 +0000]"), "not a log line"],
    [`1.2.3.4 - - ${date} GET /a?t=1`, "not a log line"], [`1.2.3.4 - - ${date}  "GET /a?t=1"`, "not a log line"],
    [`1.2.3.4 - - ${date} "GET /a?t=1 \\"`, "not a log line"], ["no bracket \"GET /a?t=1\"", "not a log line"],
    [`[x] - - ${date} "GET /a?t=1"`, "not a log line"], [`1.2.3.4 - - ${date} "GET /a?t=1" "more`, "1"],
  ]) {
    const [r] = judgeLog(text, "clf", "Europe/Berlin").records;
    const got = r.skipped ? "skipped" : r.cause ?? Buffer.from(r.token).toString("latin1");
    assert.equal(got, want, text);
    if (r.token) assert.equal(new Date(r.wallMs).toISOString(), "2026-10-25T02:30:00.000Z", text);
  }
  const { json } = judgeLog([line(token("x")), line("GET /"), line("GET /?t=%"), "-"].join("\n"), "clf", "UTC");
  assert.match(json, /^\{"records": 4, "judged": 1, "skipped": 1, .*"unjudged": \{"no moment": 0, "bad moment": 0, "not a log line": 1, "bad escape": 1\}/);
});

test("ages keep the top 8 bits of their magnitude, and percentiles are clamped into the set", () => {
  const M = -(2n ** 63n);
  for (const [v, rep] of [[0n, 0n], [255n, 255n], [-255n, -255n], [256n, 256n], [257n, 256n], [258n, 258n],
    [511n, 510n], [-511n, -510n], [1000001n, 999424n], [2n ** 53n + 1n, 2n ** 53n], [M, M], [-M - 1n, 2n ** 63n - 2n ** 55n]]) {
    assert.equal(bucketOf(v), rep, String(v));
    if (v > -(2n ** 53n) && v < 2n ** 53n) assert.equal(bucketOfNumber(Number(v)), Number(rep), String(v));
  }
  const rand0 = random(3);
  for (let k = 0; k < 20000; k++) { // the fast path for safe integers, against the exact one
    const v = BigInt(Math.floor((rand0() - 0.5) * 2 ** (1 + rand0() * 53)));
    assert.equal(bucketOfNumber(Number(v)), Number(bucketOf(v)), String(v));
  }
  const set = ageSet();
  for (let v = 1000n; v >= 1n; v--) addAge(set, v);
  assert.deepEqual([50, 90, 99, 100].map((p) => percentile(set, p)), [500n, 900n, 988n, 1000n]);
  const one = ageSet();
  addAge(one, 1000001n);
  assert.equal(percentile(one, 50), 1000001n);
  const wide = ageSet();
  for (const v of [M, 2n ** 62n + 5n, -300n, -301n]) addAge(wide, v);
  assert.deepEqual([25, 50, 75, 100].map((p) => percentile(wide, p)), [M, -300n, -300n, 2n ** 62n]);
  assert.equal(percentile(ageSet(), 50), null);
  // Against the exact nearest rank, within 1/128 of it.
  const rand = random(7);
  const ages = Array.from({ length: 5000 }, () => BigInt(Math.floor((rand() - 0.2) * 2 ** (1 + rand() * 60))));
  const exact = [...ages].sort((a, b) => (a < b ? -1 : a > b ? 1 : 0));
  const set2 = ageSet();
  for (const v of ages) addAge(set2, v);
  for (const p of [1, 10, 50, 90, 99]) {
    const want = exact[Math.ceil((p * ages.length) / 100) - 1];
    const got = percentile(set2, p);
    const off = got > want ? got - want : want - got;
    assert.ok(off * 128n <= (want < 0n ? -want : want), `p${p}: ${got} against ${want}`);
  }
});

test("the charts: a bar a minute, an hour or days as the span asks, every judged line in one", () => {
  const min = 60000;
  const hour = 60 * min;
  const day = 24 * hour;
  assert.deepEqual([0, 3 * hour, 3 * hour + 1, 8 * day, 8 * day + 1, 400 * day - 1, 400 * day].map((s) => timeUnit(0, s).name),
    ["minute", "minute", "hour", "hour", "day", "day", "2 days"]);
  const reading = (m) => `2026-10-25T0${Math.floor(m / 60)}:${String(m % 60).padStart(2, "0")}:00`;
  const text = [[0, -20], [20, 2], [90, 10], [200, 25], [300, 90]]
    .map(([m, age]) => `${reading(m)}\t${tokenAged(reading(m), age * min)}`)
    .concat(["x", "2026-10-25 02:00:00\t12"]).join("\n");
  const { records } = judgeLog(text, "moments", "UTC");
  const data = newChartData(30);
  const s = newSummary();
  for (const r of records) {
    addToCharts(data, r);
    addRecord(s, r);
  }
  const chart = verdictChart(data, s.first, s.last);
  assert.equal(chart.unit, "hour");
  assert.equal(chart.bars, 6);
  const rects = (c) => c.shapes.filter(([name, a]) => name === "rect" && a.y > 20);
  assert.equal(rects(chart).length, 6); // the first hour stacks a fresh line on one ahead
  assert.ok(chart.shapes.every(([, a]) => Object.values(a).every((v) => typeof v !== "number" || Number.isFinite(v))));
  assert.equal(rects(ageChart(data, 30)).length, 5); // ahead, three bins of fresh ages, expired
  assert.equal(ageChart(newChartData(30), 30), null);
  assert.equal(verdictChart(newChartData(30), null, null), null);
});
