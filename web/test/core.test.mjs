// What the debugger page works out, without a browser: node --test web/test/core.test.mjs
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { test } from "node:test";
import { DEFAULT_DIGIT_MAP, yearStampAt } from "../../js/index.js";
import {
  duration, hexOf, idTextOf, issuedAt, jsonString, judgeLine, readAt, readFragment, readLifetime, readMoment,
  readQuestion, timelineScale, timelineShapes, wallOf,
} from "../core.mjs";

test("the lifetime reads as -t reads it, and only what -t ignores is refused", () => {
  for (const [text, minutes] of [
    ["30", 30], [" 45", 45], ["+45", 45], ["010", 10], ["00000000011", 11], ["\t\n\v\f\r 7", 7],
    ["2147483647", 2147483647], ["2147483648", 2147483647], ["99999999999999999999999", 2147483647],
    ["0", 0], ["-5", -5], ["-2147483649", -2147483648],
    ["", null], ["45 ", null], ["0x10", null], ["-", null], ["+-5", null], ["1e3", null], ["5x", null],
    ["\u00a07", null], ["\u20037", null], ["\ufeff7", null], ["٣", null], ["７", null],
  ]) {
    assert.equal(readLifetime(text), minutes, JSON.stringify(text));
  }
  const inputs = { lifetime: "00000000011", map: "5820739164", zone: "UTC", at: "2021-10-31 00:40:00" };
  assert.equal(readQuestion(inputs, 0).question.lifetime, 11);
  assert.match(readQuestion({ ...inputs, lifetime: "\u00a030" }, 0).problems[0], /lifetime/);
});

test("a moment reads as --at takes it, and in a zone gives the stamp of its wall clock", () => {
  assert.deepEqual(readAt("2024-02-29T23:59:59.999"), { y: 2024, mo: 2, d: 29, h: 23, mi: 59, s: 59, ms: 999 });
  assert.deepEqual(readAt("0001-01-01 00:00:00")?.y, 1);
  for (const bad of ["2023-02-29 00:00:00", "0000-01-01 00:00:00", "2023-01-01 24:00:00", "2023-1-01 00:00:00",
    "2023-01-01 00:00:00.5", "2023-04-31 00:00:00"]) {
    assert.equal(readAt(bad), null, bad);
  }
  // Lord Howe moves by half an hour, Chatham keeps 45 minutes: the fields
  // shown must be those the stamp counts, on both sides of each change.
  for (const zone of ["Australia/Lord_Howe", "Pacific/Chatham", "America/New_York", "Asia/Kolkata"]) {
    for (let ms = Date.UTC(2024, 0, 1) - 1; ms < Date.UTC(2025, 0, 2); ms += 3 * 3600000 + 7777) {
      const m = readMoment(zone, null, ms);
      assert.equal(m.stamp, yearStampAt(ms, zone), `${zone} ${ms}`);
      assert.equal(m.intoYear % 2 ** 32, m.stamp, `${zone} ${ms}`);
      assert.deepEqual(m.wall, wallOf(ms, zone));
    }
  }
  assert.match(readMoment("", null, 0), /not a time zone/);
  assert.match(readMoment("Mars/Olympus", null, 0), /not a time zone/);
});

test("a stamp's moment is told within the judging year only", () => {
  const m = readMoment("UTC", "2024-01-01 00:00:30.000", 0);
  assert.equal(issuedAt(m, 30000n), "2024-01-01 00:00:00.000");
  assert.equal(issuedAt(m, 30001n), "not within this year");
  assert.equal(issuedAt(m, 30000n - 366n * 86400000n + 1n), "2024-12-31 23:59:59.999");
  assert.equal(issuedAt(m, 30000n - 366n * 86400000n), "not within this year");
});

test("ids, JSON strings and ages are written as idstamp-inspect writes them", () => {
  const bytes = (...b) => Uint8Array.from(b);
  assert.equal(idTextOf(bytes(0xef, 0xbb, 0xbf, 0x41, 0x5c, 0x0a, 0x7f)), "\ufeffA\\\\\\x0a\\x7f");
  assert.equal(idTextOf(bytes(0x41, 0xe2, 0x82)), "A\\xe2\\x82");
  assert.equal(idTextOf(bytes(0xff, 0x5c, 0x20)), "\\xff\\\\ ");
  assert.equal(jsonString('a"\\\x00\x1f\x7f€'), '"a\\"\\\\\\u0000\\u001f\x7f€"');
  assert.deepEqual([-59999n, 0n, 1799999n, -9223372036854775808n].map(duration),
    ["-59.999 s", "0.000 s", "29 min 59.999 s", "-153722867280912 min 55.808 s"]);
});

test("a link's fragment gives its fields, the token byte for byte", () => {
  const all = Uint8Array.from({ length: 256 }, (_, i) => i);
  const percent = Array.from(all, (b) => `%${b.toString(16).padStart(2, "0")}`).join("");
  assert.deepEqual(readFragment(`token=${percent}`).token, all);
  assert.deepEqual(readFragment("token=a+b%2%41é&n=1").token, new TextEncoder().encode("a+b%2Aé"));
  assert.deepEqual(readFragment("token=%\x10\x11%0%g0%fF%").token, Uint8Array.of(37, 16, 17, 37, 48, 37, 103, 48, 255, 37));
  assert.deepEqual(readFragment("zone=Europe%2FBerlin&at=2021-10-31T00:40:00&lifetime=%ff&map=x"),
    { lifetime: "", map: "x", zone: "Europe/Berlin", at: "2021-10-31T00:40:00" });
  assert.equal(readFragment("map=0123456789&n=2"), null);
  assert.equal(readFragment(""), null);
});

test("the time line keeps the window in view and a far moment at its edge", () => {
  for (const [lifetime, age] of [[30, 600000], [30, -59999], [1, 4e9], [1, -4e9], [2147483647, 5], [0, 0], [-5, 1]]) {
    const { x, lo, hi, end } = timelineScale(lifetime, age);
    assert.ok(lo <= -60000 && hi >= end && end >= 0, `${lifetime} ${age}`);
    assert.ok(x(lo) === 20 && x(hi) === 620 && x(-60000) <= x(0) && x(0) <= x(end));
    assert.ok(x(age) >= 20 && x(age) <= 620);
    const { shapes, caption } = timelineShapes(lifetime, { verdict: "fresh", ageMs: BigInt(age) });
    assert.equal(shapes.at(-1)[2].includes("◀"), age < lo);
    assert.equal(shapes.at(-1)[2].includes("▶"), age > hi);
    assert.ok(shapes.every(([, a]) => Object.values(a).every((v) => typeof v !== "number" || Number.isFinite(v))));
    assert.match(caption, lifetime > 0 ? /between 59.999 s before the stamp/ : /accepts no token/);
  }
});

// Every token row of the corpus, judged as the page judges a line (the
// browser test sends a spread of them through the page itself).
const corpus = process.env.IDSTAMP_CORPUS;
test("the page judges every corpus row as idstamp-inspect does", { skip: !corpus && "IDSTAMP_CORPUS is unset" }, () => {
  const [head, ...lines] = readFileSync(join(corpus, "tokens.tsv"), "utf8").split("\n").filter((l) => l !== "");
  assert.equal(head, "token_hex\tlifetime\tnow\tverdict\treason\tid_hex\tstamp\tage_ms");
  const questions = new Map(); // a lifetime's text -> the question the page asks with it
  for (const line of lines) {
    const [token, lifetime, now] = line.split("\t");
    if (!questions.has(lifetime)) {
      questions.set(lifetime, readQuestion({ lifetime, map: DEFAULT_DIGIT_MAP, zone: "UTC", at: null }, 0).question);
    }
    const question = questions.get(lifetime);
    const r = judgeLine({ ...question, moment: { ...question.moment, stamp: Number(now) } }, Buffer.from(token, "hex"));
    const malformed = r.verdict === "malformed";
    const got = [token, lifetime, now, r.verdict, r.reason ?? "", malformed ? "" : hexOf(r.id),
      malformed ? "" : String(r.stamp), malformed ? "" : String(r.ageMs)].join("\t");
    assert.equal(got, line);
  }
});
