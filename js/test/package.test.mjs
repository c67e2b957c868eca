// The package as users get it: the same API from import and from require,
// types for every export, and a tarball that installs offline and works.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdirSync, mkdtempSync, readFileSync, rmSync } from "node:fs";
import { createRequire } from "node:module";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";
import { fileURLToPath } from "node:url";
import * as esm from "../index.js";
import { commonJsOf } from "../tools/build-cjs.mjs";

const root = fileURLToPath(new URL("..", import.meta.url));
const read = (name) => readFileSync(join(root, name), "utf8");
const manifest = JSON.parse(read("package.json"));

test("index.cjs and index.d.cts are made from the current sources", () => {
  assert.equal(read("index.cjs"), commonJsOf(read("index.js")), "run: node tools/build-cjs.mjs");
  assert.equal(read("index.d.cts"), read("index.d.ts"));
});

test("import, require and the types name the same exports", () => {
  const cjs = createRequire(import.meta.url)("../index.cjs");
  const typed = [...read("index.d.ts").matchAll(/^export (?:declare )?(?:function|const) (\w+)/gm)].map((m) => m[1]);
  assert.deepEqual(Object.keys(cjs).sort(), Object.keys(esm).sort());
  assert.deepEqual(typed.sort(), Object.keys(esm).sort());
  assert.deepEqual(cjs.cryptId("ABC", 411196474), esm.cryptId("ABC", 411196474));
  assert.equal(esm.version, manifest.version);
});

test("the manifest has no dependencies and no install scripts", () => {
  assert.equal(manifest.dependencies, undefined);
  for (const hook of ["preinstall", "install", "postinstall", "prepare"]) {
    assert.equal(manifest.scripts?.[hook], undefined, hook);
  }
});

test("npm pack gives a tarball that installs offline in an empty folder", () => {
  const work = mkdtempSync(join(tmpdir(), "idstamp-pack-"));
  try {
    const npm = (args, cwd) => execFileSync("npm", args, { cwd, encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
    const [packed] = JSON.parse(npm(["pack", "--json", "--pack-destination", work], root));
    assert.deepEqual(packed.files.map((f) => f.path).sort(), [
      "LICENSE",
      "README.md",
      "index.cjs",
      "index.d.cts",
      "index.d.ts",
      "index.js",
      "package.json",
    ]);
    const app = join(work, "app");
    mkdirSync(app);
    npm(["install", "--offline", "--no-audit", "--no-fund", join(work, packed.filename)], app);
    const use = (kind, code) => execFileSync("node", [kind, "-e", code], { cwd: app, encoding: "utf8" }).trim();
    const roundTrip = "new TextDecoder().decode(m.decryptId(m.cryptId('ABC', 7), 30, 7)) + ' ' + m.version";
    assert.equal(use("--input-type=commonjs", `const m = require("idstamp"); console.log(${roundTrip})`), `ABC ${manifest.version}`);
    assert.equal(use("--input-type=module", `import * as m from "idstamp"; console.log(${roundTrip})`), `ABC ${manifest.version}`);
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
});
