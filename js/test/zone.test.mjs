// yearStampAt: the stamp of an instant under a named zone, through Intl,
// held to the stamp of Date's local fields under TZ set to that zone, another
// path through the zone rules.
import assert from "node:assert/strict";
import { test } from "node:test";
import { yearStampAt } from "../index.js";

// The stamp of `ms` from Date's local fields under TZ=`tz`.
function localStampAt(tz, ms) {
  const saved = process.env.TZ;
  process.env.TZ = tz;
  try {
    const d = new Date(ms);
    const wall = Date.UTC(d.getFullYear(), d.getMonth(), d.getDate(), d.getHours(), d.getMinutes(),
      d.getSeconds(), d.getMilliseconds());
    return (wall - Date.UTC(d.getFullYear(), 0, 1)) % 2 ** 32;
  } finally {
    if (saved === undefined) delete process.env.TZ;
    else process.env.TZ = saved;
  }
}

test("yearStampAt agrees with the local clock under TZ, across changes of offset", () => {
  const zones = ["UTC", "America/New_York", "Europe/Berlin", "Australia/Lord_Howe", "Asia/Kathmandu",
    "America/St_Johns", "Pacific/Apia", "Pacific/Chatham", "Europe/Amsterdam", "Africa/Monrovia"];
  // Around the changes of 2024 and 2011 (Samoa skipped 30 December), New
  // Year, the stamp's first return to 0, and offsets in odd seconds (LMT).
  const edges = ["2024-03-10T07:00:00Z", "2024-11-03T06:00:00Z", "2024-04-06T15:00:00Z",
    "2024-10-05T15:30:00Z", "2011-12-30T10:00:00Z", "2024-12-31T23:00:00Z", "2025-02-19T17:02:47.296Z",
    "1930-06-01T12:00:00Z", "1900-01-01T00:00:00Z", "2099-07-01T00:00:00Z"].map(Date.parse);
  let seed = 7;
  const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
  const instants = edges.flatMap((e) => [e - 3600001, e - 1, e, e + 1, e + 3599999])
    .concat(Array.from({ length: 200 }, () => Math.floor((random() - 0.3) * 4e12)));
  for (const tz of zones) {
    for (const ms of instants) {
      assert.equal(yearStampAt(ms, tz), localStampAt(tz, ms), `${tz} at ${new Date(ms).toISOString()}`);
    }
  }
});

test("yearStampAt counts the wall clock's fields, to the millisecond, in any year", () => {
  // 12:00 summer time in Berlin is 10:00 UTC, but the stamp counts 12 hours.
  assert.equal(yearStampAt(Date.UTC(2021, 6, 1, 10), "Europe/Berlin"), 2796698112);
  assert.equal(yearStampAt(new Date("2021-02-19T17:02:47.295Z"), "UTC"), 4294967295);
  assert.equal(yearStampAt(new Date("2021-02-19T17:02:47.296Z"), "UTC"), 0);
  assert.equal(yearStampAt(Date.parse("2023-12-31T23:59:59.999Z"), "Etc/UTC"), 1471228927);
  // The hour New York repeats in November gives the same stamps twice.
  const repeated = Date.parse("2024-11-03T05:30:00.123Z"); // 01:30:00.123 EDT
  assert.equal(yearStampAt(repeated, "America/New_York"), yearStampAt(repeated + 3600000, "America/New_York"));
  // Before 1970, before year 1 (1 BC is a leap year, as 2000 is) and at
  // both ends of a Date's range.
  assert.equal(yearStampAt(Date.parse("1969-12-31T23:59:59.999Z"), "UTC"), 1471228927);
  const leapDay = new Date(0);
  leapDay.setUTCFullYear(0, 2, 1);
  assert.equal(yearStampAt(leapDay, "UTC"), (60 * 86400000) % 2 ** 32);
  assert.equal(yearStampAt(-8.64e15, "UTC"), (109 * 86400000) % 2 ** 32); // -271821-04-20
  assert.equal(yearStampAt(8.64e15, "UTC"), (256 * 86400000) % 2 ** 32); // 275760-09-13, a leap year
});

test("yearStampAt refuses what is not an instant or a zone", () => {
  const rows = [
    [() => yearStampAt("2021-07-01", "UTC"), TypeError],
    [() => yearStampAt(0n, "UTC"), TypeError],
    [() => yearStampAt(null, "UTC"), TypeError],
    [() => yearStampAt(0, undefined), TypeError],
    [() => yearStampAt(0, 1), TypeError],
    [() => yearStampAt(new Date(NaN), "UTC"), RangeError],
    [() => yearStampAt(0.5, "UTC"), RangeError],
    [() => yearStampAt(8.64e15 + 1, "UTC"), RangeError],
    [() => yearStampAt(0, "Nowhere/Land"), RangeError],
    [() => yearStampAt(0, ""), RangeError],
    [() => yearStampAt(0, "EST5EDT,M3.2.0,M11.1.0"), RangeError],
  ];
  for (const [call, kind] of rows) {
    assert.throws(call, (e) => e.constructor === kind && e.message.startsWith("idstamp"), call.toString());
  }
});
