// Checks the package against every test vector under whatever runtime runs
// this file: `bun tools/run-vectors.mjs`, `deno run --allow-read
// tools/run-vectors.mjs`. Prints each failure and exits 1 if there is one.
import * as idstamp from "../index.js";
import { loadVectors, vectorCases } from "./vectors.mjs";

const runtime =
  globalThis.Bun ? `Bun ${globalThis.Bun.version}`
  : globalThis.Deno ? `Deno ${globalThis.Deno.version.deno}`
  : `Node ${globalThis.process?.version}`;
const cases = vectorCases(idstamp, loadVectors());
let failed = 0;
for (const c of cases) {
  try {
    c.run();
  } catch (e) {
    failed++;
    console.log(`FAIL ${c.name}: ${e.message}`);
  }
}
console.log(`${runtime}: ${cases.length - failed} of ${cases.length} vectors pass`);
if (failed > 0) {
  if (globalThis.Deno) globalThis.Deno.exit(1);
  else globalThis.process.exit(1);
}
