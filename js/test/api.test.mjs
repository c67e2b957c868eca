// The JavaScript side of the API: misuse throws, refusals are values,
// strings are UTF-8, and results never share memory with arguments.
import assert from "node:assert/strict";
import { test } from "node:test";
import { runInNewContext } from "node:vm";
import {
  cryptId, decryptId, inspectToken, createCodec, MAX_ID_LENGTH, DEFAULT_DIGIT_MAP, utf8OrNull, zoneFormat, zoneName,
} from "../index.js";
import { forge } from "../tools/forge.mjs";

const ABC = "5109B8788C4A757"; // ABC at stamp 411196474
const AT = 411196474;

test("misuse throws a TypeError for another type and a RangeError for a bad value", () => {
  const rows = [
    [() => cryptId(123, 0), TypeError],
    [() => cryptId(null, 0), TypeError],
    [() => cryptId([65], 0), TypeError],
    [() => cryptId(new ArrayBuffer(1), 0), TypeError],
    [() => cryptId(new Uint16Array(1), 0), TypeError],
    [() => cryptId("", 0), RangeError],
    [() => cryptId(new Uint8Array(0), 0), RangeError],
    [() => cryptId("x".repeat(MAX_ID_LENGTH + 1), 0), RangeError],
    [() => cryptId("é".repeat(500), 0), RangeError], // 1000 bytes in 500 characters
    [() => cryptId("A\0B", 0), RangeError],
    [() => cryptId(Uint8Array.of(65, 0), 0), RangeError],
    [() => cryptId("A", "5"), TypeError],
    [() => cryptId("A", 5n), TypeError],
    [() => cryptId("A", null), TypeError],
    ...[-1, 2 ** 32, 1.5, NaN, Infinity].map((stamp) => [() => cryptId("A", stamp), RangeError]),
    [() => decryptId(5), TypeError],
    [() => decryptId(ABC, "30"), TypeError],
    [() => decryptId(ABC, null), TypeError],
    [() => decryptId(ABC, 30, "0"), TypeError],
    ...[2 ** 31, -(2 ** 31) - 1, 0.5, NaN].map((life) => [() => decryptId(ABC, life, 0), RangeError]),
    ...[-1, 2 ** 32, 1.5].map((now) => [() => decryptId(ABC, 30, now), RangeError]),
    [() => inspectToken({}), TypeError],
    // Not a Uint8Array, though it claims the tag, inherits its prototype or wraps one.
    ...[
      { [Symbol.toStringTag]: "Uint8Array", length: 3, indexOf: () => -1 },
      runInNewContext("({ [Symbol.toStringTag]: 'Uint8Array', length: 15 })"),
      Object.create(Uint8Array.prototype),
      new Proxy(Uint8Array.of(65), {}),
    ].flatMap((fake) => [
      [() => cryptId(fake, 0), TypeError],
      [() => decryptId(fake, 30, 0), TypeError],
      [() => inspectToken(fake, 30, 0), TypeError],
    ]),
    [() => inspectToken(ABC, 30n), TypeError],
    [() => inspectToken(ABC, 2 ** 31, 0), RangeError],
    [() => inspectToken(ABC, 30, -0.5), RangeError],
    // a lone surrogate, wherever it stands
    ...["\ud800", "a\udc00b", "\ud800a", "x\ud83d", "\udc00\udc00"].flatMap((s) => [
      [() => cryptId(s, 0), TypeError],
      [() => decryptId(s, 30, 0), TypeError],
      [() => decryptId(s, 0, 0), TypeError],
      [() => inspectToken(s, 30, 0), TypeError],
    ]),
    [() => createCodec(5820739164), TypeError],
    ...["0123456788", "012345678", "01234567890", "abcdefghij", "０１２３４５６７８９"].map((map) => [
      () => createCodec(map),
      RangeError,
    ]),
  ];
  for (const [call, kind] of rows) {
    assert.throws(call, (e) => e.constructor === kind && e.message.startsWith("idstamp"), call.toString());
  }
});

test("the edges of every range are accepted", () => {
  assert.equal(cryptId("x".repeat(MAX_ID_LENGTH), 4294967295).length, 3 + 999 + 10);
  assert.equal(cryptId("é".repeat(499) + "a", 0).length, 3 + 999 + 1);
  assert.equal(cryptId(Uint8Array.of(255), 0).length, 5);
  assert.deepEqual(cryptId(runInNewContext("Uint8Array.of(65, 66, 67)"), AT), cryptId("ABC", AT)); // another realm
  const abcElsewhere = runInNewContext(`Uint8Array.from("${ABC}", (c) => c.charCodeAt(0))`);
  assert.equal(inspectToken(abcElsewhere, 30, AT).verdict, "fresh");
  assert.deepEqual(cryptId(Buffer.from("ABC"), AT), cryptId("ABC", AT)); // a subclass
  assert.equal(inspectToken(ABC, 2147483647, 4294967295).verdict, "fresh");
  assert.equal(inspectToken(ABC, -2147483648, AT).verdict, "expired");
  assert.equal(inspectToken(ABC, undefined, AT).verdict, "fresh"); // the default lifetime
});

test("a lifetime of 0 or less accepts nothing", () => {
  for (const [lifetime, age, verdict] of [
    [0, 0, "expired"],
    [0, -59999, "expired"],
    [-1, 0, "expired"],
    [-2147483648, 1799999, "expired"],
    [0, -60000, "ahead"],
    [1, -59999, "fresh"],
  ]) {
    assert.equal(inspectToken(ABC, lifetime, AT + age).verdict, verdict, `lifetime ${lifetime} age ${age}`);
    assert.equal(decryptId(ABC, lifetime, AT + age) !== null, verdict === "fresh");
  }
});

test("a string id is its UTF-8 bytes, for every code point", () => {
  const utf8 = new TextEncoder();
  for (let cp = 1; cp <= 0x10ffff; cp++) {
    if (cp >= 0xd800 && cp <= 0xdfff) continue;
    const id = `a${String.fromCodePoint(cp)}b`;
    const got = cryptId(id, cp);
    const want = cryptId(utf8.encode(id), cp);
    if (got.length !== want.length || got.some((b, i) => b !== want[i])) {
      assert.fail(`U+${cp.toString(16)}: ${got} for ${want}`);
    }
  }
});

test("tokens of any length are read, as bytes and as strings", () => {
  for (const zeros of [200, 3000, 5000, 100000]) {
    const token = forge(`003ABC${"0".repeat(zeros)}5`);
    for (const form of [token, new TextDecoder().decode(token)]) {
      const r = inspectToken(form, 1, 65004);
      assert.deepEqual([r.verdict, r.stamp, r.ageMs, [...r.id]], ["expired", 5n, 64999n, [65, 66, 67]]);
      assert.equal(decryptId(form, 30, 5)?.length, 3);
    }
  }
});

test("results are new arrays, and arguments are left as they were", () => {
  const token = cryptId("first", 7);
  const copy = token.slice();
  const first = decryptId(token, 30, 7);
  const report = inspectToken(token, 30, 7);
  decryptId(forge(`006second7`), 30, 7); // reads into the same workspace
  decryptId(cryptId("x".repeat(999), 7), 30, 7);
  assert.deepEqual(token, copy);
  assert.equal(new TextDecoder().decode(first), "first");
  assert.equal(new TextDecoder().decode(report.id), "first");
  first[0] = 0;
  assert.equal(new TextDecoder().decode(decryptId(token, 30, 7)), "first");
});

test("another digit map gives other tokens that check back only with it", () => {
  const identity = createCodec("0123456789");
  const token = identity.cryptId("A1", 42);
  assert.equal(new TextDecoder().decode(identity.decryptId(token, 30, 42)), "A1");
  assert.equal(inspectToken(token, 30, 42).verdict, "malformed");
  const same = createCodec("5820739164");
  assert.deepEqual(same.cryptId("A1", 42), cryptId("A1", 42));
});

test("the helpers a page needs: the default map, UTF-8 or null, a zone's name and wall clock", () => {
  assert.deepEqual(createCodec(DEFAULT_DIGIT_MAP).cryptId("A1", 42), cryptId("A1", 42));
  for (const [bytes, text] of [
    [[0xef, 0xbb, 0xbf, 0x41], "\ufeffA"], // a byte order mark is part of the id
    [[0xe2, 0x82, 0xac], "€"],
    [[0xe2, 0x82], null], // cut inside a sequence
    [[0xed, 0xa0, 0x80], null], // a surrogate
    [[0xc0, 0x80], null], // overlong
    [[0xf4, 0x90, 0x80, 0x80], null], // past U+10FFFF
    [[], ""],
  ]) {
    assert.equal(utf8OrNull(Uint8Array.from(bytes)), text, bytes.join(" "));
  }
  assert.throws(() => utf8OrNull("A"), TypeError);
  assert.equal(zoneName("Mars/Olympus"), undefined);
  assert.equal(zoneName("Etc/UTC") === "Etc/UTC" || zoneName("Etc/UTC") === "UTC", true);
  assert.equal(zoneName(), zoneName(""));
  const parts = Object.fromEntries(zoneFormat("Asia/Kolkata").formatToParts(-1000).map((p) => [p.type, p.value]));
  assert.deepEqual([parts.era, parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second],
    ["AD", "1970", "1", "1", "05", "29", "59"]);
  assert.throws(() => zoneFormat("Mars/Olympus"), RangeError);
});
