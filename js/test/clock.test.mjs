// Reading the local clock under TZ and TZDIR settings, set in this process
// (Node applies a change of process.env.TZ at once). The clock follows the
// zone the C library would apply, or throws naming TZ. Where this Node can
// read files (process.getBuiltinModule, from 20.16), a name counts only with
// its zone file; elsewhere only an Area/Location name does, and no TZDIR.
import assert from "node:assert/strict";
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import { cryptId, decryptId, inspectToken, yearStamp, yearStampAt } from "../index.js";

const files = typeof process.getBuiltinModule === "function";

function underEnv(vars, run) {
  const saved = Object.fromEntries(Object.keys(vars).map((k) => [k, process.env[k]]));
  const set = (values) => {
    for (const [k, v] of Object.entries(values)) {
      if (v === undefined) delete process.env[k];
      else process.env[k] = v;
    }
  };
  set(vars);
  try {
    return run();
  } finally {
    set(saved);
  }
}

test("the clock follows the zone TZ names, or throws naming TZ", () => {
  const ABC = "5109B8788C4A757";
  const empty = mkdtempSync(join(tmpdir(), "idstamp-tzdir-"));
  const tokyoOnly = mkdtempSync(join(tmpdir(), "idstamp-tzdir-"));
  mkdirSync(join(tokyoOnly, "Asia"));
  writeFileSync(join(tokyoOnly, "Asia", "Tokyo"), "TZif"); // only its being there counts
  const runtimeZone = new Intl.DateTimeFormat().resolvedOptions().timeZone;
  // [TZ, TZDIR, the zone the stamp must come from, or null for a refusal]
  const rows = [
    [undefined, undefined, runtimeZone], // /etc/localtime, where the runtime follows it
    ["America/New_York", undefined, "America/New_York"],
    [":Asia/Kolkata", undefined, "Asia/Kolkata"],
    ["US/Eastern", undefined, "America/New_York"],
    ["UTC", undefined, "UTC"],
    ["", undefined, "UTC"], // the C library's reading of an empty TZ
    ["EST", undefined, files ? "EST" : null], // a file, but Intl's EST is another short name
    ["Asia/Tokyo", "", "Asia/Tokyo"], // an empty TZDIR is the default
    ["Asia/Tokyo", empty, null], // no zone data: the C library applies UTC
    ["Asia/Tokyo", tokyoOnly, files ? "Asia/Tokyo" : null],
    ["Europe/Berlin", tokyoOnly, null],
    ...["JST", "IST", "EST5EDT,M3.2.0,M11.1.0", "JST-9", "/usr/share/zoneinfo/Europe/Paris", "Mars/Olympus",
      "right/UTC", "america/new_york"].map((tz) => [tz, undefined, null]),
  ];
  try {
    for (const [tz, tzdir, zone] of rows) {
      underEnv({ TZ: tz, TZDIR: tzdir }, () => {
        const what = `TZ=${tz} TZDIR=${tzdir}`;
        const clocked = [() => yearStamp(), () => cryptId("A"), () => decryptId(ABC), () => inspectToken(ABC)];
        if (zone === null) {
          const named = (e) => e.constructor === Error && e.message.includes(`TZ=${JSON.stringify(tz)}`);
          for (const read of clocked) assert.throws(read, named, what);
        } else {
          const before = Date.now();
          const stamp = yearStamp();
          const after = Date.now();
          const from = yearStampAt(before, zone);
          assert.ok((stamp - from + 2 ** 32) % 2 ** 32 <= after - before, `${what}: ${stamp}, ${zone} gives ${from}`);
          for (const read of clocked) read();
        }
        // Given stamps need no clock, nor do tokens refused before the clock.
        assert.equal(cryptId("ABC", 411196474).length, 15);
        assert.equal(inspectToken(ABC, 30, 411196474).verdict, "fresh");
        assert.equal(decryptId("x"), null);
        assert.equal(decryptId(ABC, 0), null);
        assert.equal(inspectToken("x").verdict, "malformed");
      });
    }
  } finally {
    rmSync(empty, { recursive: true });
    rmSync(tokyoOnly, { recursive: true });
  }
});

test("the clock gives its zone's stamp at each instant, within a second and across a change", () => {
  const change = Date.parse("2024-11-03T06:00:00Z"); // New York's clocks go back from 02:00 to 01:00
  const newYear = Date.parse("2025-01-01T05:00:00Z");
  const instants = [change - 1000, change - 1, change, change + 999, change + 1000, newYear - 1, newYear, newYear - 1];
  const realNow = Date.now;
  try {
    underEnv({ TZ: "America/New_York", TZDIR: undefined }, () => {
      for (const ms of instants) {
        Date.now = () => ms;
        assert.equal(yearStamp(), yearStampAt(ms, "America/New_York"), new Date(ms).toISOString());
      }
    });
  } finally {
    Date.now = realNow;
  }
});
