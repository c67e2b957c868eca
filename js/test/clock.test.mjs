// The year stamp of the local clock, with Date frozen at known instants and
// TZ set in this process (Node applies a change of process.env.TZ at once).
import assert from "node:assert/strict";
import { test } from "node:test";
import { cryptId, decryptId, inspectToken, yearStamp } from "../index.js";

const RealDate = Date;
function frozenAt(ms, read) {
  globalThis.Date = class extends RealDate {
    constructor(...args) {
      super(...(args.length > 0 ? args : [ms]));
    }
    static now() {
      return ms;
    }
  };
  try {
    return read();
  } finally {
    globalThis.Date = RealDate;
  }
}

function underTz(tz, run) {
  const saved = process.env.TZ;
  if (tz === undefined) delete process.env.TZ;
  else process.env.TZ = tz;
  try {
    return run();
  } finally {
    if (saved === undefined) delete process.env.TZ;
    else process.env.TZ = saved;
  }
}

// The stamp of a wall-clock reading, from its fields.
function stampOf(local) {
  const [y, mo, d, h, mi, s, ms] = local.split(/[- :.]/).map(Number);
  return (RealDate.UTC(y, mo - 1, d, h, mi, s, ms) - RealDate.UTC(y, 0, 1)) % 2 ** 32;
}

test("yearStamp counts from the local wall clock's fields", () => {
  // [TZ, instant, the local time there, as the system's zone data gives it]
  const rows = [
    ["America/New_York", "2024-07-03T09:46:40.250Z", "2024-07-03 05:46:40.250"], // not elapsed time
    ["America/New_York", "2024-03-10T07:00:00.000Z", "2024-03-10 03:00:00.000"], // just sprung forward
    ["America/New_York", "2024-11-03T06:00:00.000Z", "2024-11-03 01:00:00.000"], // and back
    ["Australia/Lord_Howe", "2024-10-05T15:30:00.000Z", "2024-10-06 02:30:00.000"], // half an hour
    ["Australia/Lord_Howe", "2024-12-31T12:59:59.999Z", "2024-12-31 23:59:59.999"],
    ["Australia/Lord_Howe", "2024-12-31T13:00:00.000Z", "2025-01-01 00:00:00.000"],
    ["UTC", "2024-12-31T23:59:59.999Z", "2024-12-31 23:59:59.999"],
    ["UTC", "2025-02-19T17:02:47.296Z", "2025-02-19 17:02:47.296"], // the stamp's first reset
  ];
  for (const [tz, instant, local] of rows) {
    const got = underTz(tz, () => frozenAt(RealDate.parse(instant), yearStamp));
    assert.equal(got, stampOf(local), `${instant} in ${tz}`);
  }
});

test("a TZ that JavaScript cannot apply makes reading the clock throw", () => {
  const ABC = "5109B8788C4A757";
  const rows = [
    [undefined, true],
    ["America/New_York", true],
    [":America/New_York", true],
    ["US/Eastern", true],
    ["UTC", true],
    ["EST5EDT,M3.2.0,M11.1.0", false],
    ["JST-9", false],
    ["", false],
    ["/usr/share/zoneinfo/Europe/Paris", false],
    ["right/UTC", false], // leap seconds, which JavaScript never counts
    ["Nowhere/Land", false],
    ["america/new_york", false], // a name Intl knows, but the runtime does not apply
  ];
  for (const [tz, works] of rows) {
    underTz(tz, () => {
      const clocked = [() => yearStamp(), () => cryptId("A"), () => decryptId(ABC), () => inspectToken(ABC)];
      for (const read of clocked) {
        if (works) assert.doesNotThrow(read, `TZ=${tz}`);
        else {
          assert.throws(read, (e) => e.constructor === Error && e.message.includes(`TZ=${JSON.stringify(tz)}`), `TZ=${tz}`);
        }
      }
      // Given stamps need no clock, nor do tokens refused before the clock.
      assert.equal(cryptId("ABC", 411196474).length, 15);
      assert.equal(inspectToken(ABC, 30, 411196474).verdict, "fresh");
      assert.equal(decryptId("x"), null);
      assert.equal(decryptId(ABC, 0), null);
      assert.equal(inspectToken("x").verdict, "malformed");
    });
  }
});
