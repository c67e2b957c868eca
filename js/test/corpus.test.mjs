// The package held to the conformance corpus that tools/corpus.py writes
// from idstamp-inspect: every token row judged by inspectToken at the row's
// lifetime and now, every year-stamp row through yearStampAt. The corpus is
// the directory IDSTAMP_CORPUS names; without it these tests are skipped.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { test } from "node:test";
import { inspectToken, yearStampAt } from "../index.js";

const dir = process.env.IDSTAMP_CORPUS;
const skip = dir ? false : "IDSTAMP_CORPUS names no corpus";

// The rows of a corpus file as objects keyed by its header's columns, each
// with its line number; the header must be the one this reader knows.
function rows(name, columns) {
  const lines = readFileSync(join(dir, name), "utf8").split("\n");
  if (lines.at(-1) === "") lines.pop();
  assert.equal(lines[0], columns.join("\t"), `${name}: the header`);
  return lines.slice(1).map((line, i) => {
    const fields = line.split("\t");
    assert.equal(fields.length, columns.length, `${name}:${i + 2}: ${columns.length} fields in ${JSON.stringify(line)}`);
    return Object.fromEntries([["line", i + 2], ...columns.map((c, k) => [c, fields[k]])]);
  });
}

const hex = (bytes) => (bytes === null ? "" : Buffer.from(bytes).toString("hex"));
const text = (value) => (value === null ? "" : String(value));
const utf8 = new TextDecoder("utf-8", { fatal: true });

// The token as a string too where its bytes are UTF-8, so that both forms
// of the argument meet the whole corpus.
function forms(bytes) {
  try {
    return [bytes, utf8.decode(bytes)];
  } catch {
    return [bytes];
  }
}

test("inspectToken gives idstamp-inspect's report on every row of tokens.tsv", { skip }, () => {
  const all = rows("tokens.tsv", ["token_hex", "lifetime", "now", "verdict", "reason", "id_hex", "stamp", "age_ms"]);
  const verdicts = new Set();
  for (const row of all) {
    for (const token of forms(Buffer.from(row.token_hex, "hex"))) {
      const r = inspectToken(token, Number(row.lifetime), Number(row.now));
      const got = [r.verdict, text(r.reason), hex(r.id), text(r.stamp), text(r.ageMs)];
      const wanted = [row.verdict, row.reason, row.id_hex, row.stamp, row.age_ms];
      if (got.join("\t") !== wanted.join("\t")) {
        assert.fail(
          `tokens.tsv:${row.line}${typeof token === "string" ? " (as a string)" : ""}: ` +
            `${JSON.stringify(row)}\n  got    ${got.join(" | ")}\n  wanted ${wanted.join(" | ")}`,
        );
      }
    }
    verdicts.add(row.verdict);
  }
  assert.ok(all.length > 0 && verdicts.size === 4, `${all.length} rows, verdicts ${[...verdicts]}`);
});

test("yearStampAt gives idstamp-inspect's stamp on every row of year_stamps.tsv", { skip }, () => {
  const all = rows("year_stamps.tsv", ["zone", "instant_ms", "stamp"]);
  for (const row of all) {
    const got = yearStampAt(Number(row.instant_ms), row.zone);
    if (String(got) !== row.stamp) {
      assert.fail(`year_stamps.tsv:${row.line}: ${JSON.stringify(row)}: got ${got}, wanted ${row.stamp}`);
    }
  }
  assert.ok(all.length > 0, "no rows");
});
