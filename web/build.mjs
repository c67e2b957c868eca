// Builds the token debugger, one self-contained HTML file:
//
//   node web/build.mjs OUTDIR      writes OUTDIR/idstamp-debugger.html
//
// The page is debugger.html with debugger.css inlined, and one script: the
// JavaScript package itself (js/index.js, turned into a function's body the
// way its CommonJS form is made), so that the page runs the very code the
// package ships, then core.mjs, log.mjs, summary.mjs, charts.mjs and
// debugger.mjs, each a function whose imports come from the objects made
// before it. Its Content-Security-Policy allows only
// these two inline blocks, by their SHA-256, and no address at all. No npm
// packages, Node 18 or later; the same bytes every time.
import { createHash } from "node:crypto";
import { mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { fileURLToPath } from "node:url";
import { commonJsOf } from "../js/tools/build-cjs.mjs";

const source = (path) => readFileSync(fileURLToPath(new URL(path, import.meta.url)), "utf8");

// What each module the page's modules import is called in the page.
const HELD = {
  "../js/index.js": "idstamp", "./core.mjs": "core", "./log.mjs": "log", "./summary.mjs": "summary", "./charts.mjs": "charts",
};

// A module of web/ as an expression: a function run at once, in which each
// `import { a, b } from "X";` becomes `const { a, b } = NAME;` and the one
// `export { ... };` list, if any, is what it returns.
function scriptOf(file) {
  let body = source(file).replace(/^import \{([^}]*)\} from "([^"]+)";\n/gm, (_, names, from) => {
    if (!(from in HELD)) throw new Error(`${file} imports ${from}, which the page does not hold`);
    return `const {${names}} = ${HELD[from]};\n`;
  });
  body = body.replace(/^export \{([^}]*)\};\n/m, "return {$1};\n");
  const other = body.match(/^\s*(import|export)\b.*$/m);
  if (other) throw new Error(`${file}: only "import { ... } from" lines and one export list are inlined: ${other[0]}`);
  return `(function () {\n"use strict";\n${body}})()`;
}

export function buildPage() {
  const pkg = JSON.parse(source("../js/package.json"));
  const script =
    `// idstamp ${pkg.version}, from js/index.js\n` +
    `const idstamp = (function (module) {\n${commonJsOf(source("../js/index.js"))}` +
    `return module.exports;\n})({ exports: {} });\n\n` +
    ["core", "log", "summary", "charts"].map((m) => `// web/${m}.mjs\nconst ${m} = ${scriptOf(`${m}.mjs`)};\n\n`).join("") +
    `// web/debugger.mjs\n${scriptOf("debugger.mjs")};\n`;
  const style = source("debugger.css");
  for (const [name, text] of [["script", script], ["style", style]]) {
    // Either would end its element early, or start a comment the parser keeps.
    if (/<\/(script|style)|<!--/i.test(text)) throw new Error(`the page's ${name} holds </${name} or <!--`);
  }
  const hash = (text) => `'sha256-${createHash("sha256").update(text, "utf8").digest("base64")}'`;
  const policy = [
    "default-src 'none'",
    `script-src ${hash(script)}`,
    `style-src ${hash(style)}`,
    "img-src data:",
    "base-uri 'none'",
    "form-action 'none'",
  ].join("; ");
  const fill = { "@VERSION@": pkg.version, "@POLICY@": policy, "@STYLE@": style, "@SCRIPT@": script };
  const page = source("debugger.html").replace(/@[A-Z]+@/g, (key) => {
    if (!(key in fill)) throw new Error(`debugger.html: unknown placeholder ${key}`);
    return fill[key];
  });
  // No address outside the page, not even a plain link.
  const remote = page.match(/\b(src|href|action)\s*=\s*["']?\s*(https?:|\/\/)[^"'\s>]*/i);
  if (remote) throw new Error(`the page points outside itself: ${remote[0]}`);
  return page;
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const out = process.argv[2];
  if (!out || process.argv.length > 3) {
    console.error("usage: node web/build.mjs OUTDIR");
    process.exit(2);
  }
  mkdirSync(out, { recursive: true });
  writeFileSync(join(out, "idstamp-debugger.html"), buildPage());
}
