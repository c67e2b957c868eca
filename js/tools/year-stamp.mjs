// Prints the year stamp of the local clock, for holding the clock to
// idstamp-inspect's under a table of TZ settings (tools/clock_table.sh in the
// repository). A refusal goes to standard error, with exit status 1. Runs
// under Node, Bun and Deno (`deno run --allow-env --allow-read`).
import { yearStamp } from "../index.js";

try {
  console.log(String(yearStamp()));
} catch (e) {
  console.error(e.message);
  if (globalThis.Deno) globalThis.Deno.exit(1);
  else globalThis.process.exit(1);
}
