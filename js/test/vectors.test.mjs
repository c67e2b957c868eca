// Every vector in docs/token-vectors.json, with ids and tokens given as bytes
// and, where they are UTF-8, as strings.
import assert from "node:assert/strict";
import { test } from "node:test";
import * as idstamp from "../index.js";
import { loadVectors, vectorCases } from "../tools/vectors.mjs";

const vectors = loadVectors();

test("the vectors use the default digit map", () => {
  assert.equal(vectors.digit_map, "5820739164");
});

for (const c of vectorCases(idstamp, vectors)) test(c.name, () => c.run());
