// Writes index.cjs and index.d.cts, the CommonJS forms of index.js and
// index.d.ts, so that `require("idstamp")` works on every Node version and
// TypeScript types it as CommonJS. index.js stays the one source: it ends in
// a single `export { ... };` list, which becomes `module.exports = { ... };`.
// Run by `npm pack` (prepack) and `npm test`; the outputs are not committed.
import { readFileSync, writeFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const here = (name) => fileURLToPath(new URL(`../${name}`, import.meta.url));

export function commonJsOf(source) {
  const exportList = /^export \{([^}]*)\};\n/m;
  const match = source.match(exportList);
  const others = source.replace(exportList, "").match(/^\s*(import|export)\b.*$/m);
  if (!match || others) {
    throw new Error(
      `index.js must end its module code with one "export { ... };" list and import nothing` +
        (others ? `; found: ${others[0].trim()}` : ""),
    );
  }
  const body = source.replace(exportList, `module.exports = {${match[1]}};\n`);
  return `"use strict";\n// Made from index.js by tools/build-cjs.mjs: edit that file instead.\n${body}`;
}

export function build() {
  writeFileSync(here("index.cjs"), commonJsOf(readFileSync(here("index.js"), "utf8")));
  writeFileSync(here("index.d.cts"), readFileSync(here("index.d.ts"), "utf8"));
}

if (process.argv[1] === fileURLToPath(import.meta.url)) build();
