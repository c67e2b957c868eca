// Reading the local clock under TZ settings, set in this process (Node
// applies a change of process.env.TZ at once). The stamps themselves are held
// to the library's clock at frozen instants by tools/differential.mjs.
import assert from "node:assert/strict";
import { test } from "node:test";
import { cryptId, decryptId, inspectToken, yearStamp } from "../index.js";

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
