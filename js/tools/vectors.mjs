// The test vectors of docs/token-vectors.json as cases, each a name and a
// function that throws on a mismatch, for any runtime: `node --test` runs
// them through test/vectors.test.mjs, Bun and Deno through run-vectors.mjs.
import { readFileSync } from "node:fs";

export function loadVectors() {
  return JSON.parse(readFileSync(new URL("../../docs/token-vectors.json", import.meta.url), "utf8"));
}

const bytesOf = (hex) => new Uint8Array(hex.match(/../g)?.map((h) => parseInt(h, 16)) ?? []);
const hexOf = (bytes) => (bytes === null ? null : Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join(""));
const utf8 = new TextDecoder("utf-8", { fatal: true });

// The bytes as a string when they are UTF-8, so both argument forms are tried.
function asText(bytes) {
  try {
    return utf8.decode(bytes);
  } catch {
    return null;
  }
}

function expect(what, got, wanted) {
  if (got !== wanted) throw new Error(`${what}: got ${got}, wanted ${wanted}`);
}

export function vectorCases(lib, vectors) {
  const cases = [];
  vectors.issue.forEach((v, i) => {
    cases.push({
      name: `issue ${i}: id ${v.id_hex.slice(0, 24)}${v.id_hex.length > 24 ? "..." : ""} at ${v.stamp}`,
      run() {
        const id = bytesOf(v.id_hex);
        expect("token", hexOf(lib.cryptId(id, v.stamp)), v.token_hex);
        const text = asText(id);
        if (text !== null) expect("token of the string", hexOf(lib.cryptId(text, v.stamp)), v.token_hex);
        expect("checked back", hexOf(lib.decryptId(bytesOf(v.token_hex), 30, v.stamp)), v.id_hex);
      },
    });
  });
  vectors.check.forEach((v, i) => {
    cases.push({
      name: `check ${i}: ${v.token_hex.slice(0, 24)}${v.token_hex.length > 24 ? "..." : ""} for ${v.lifetime} min at ${v.now}: ${v.verdict}`,
      run() {
        const token = bytesOf(v.token_hex);
        const forms = [token];
        const text = asText(token);
        if (text !== null) forms.push(text);
        for (const form of forms) {
          const r = lib.inspectToken(form, v.lifetime, v.now);
          const as = typeof form === "string" ? " (string)" : "";
          expect(`verdict${as}`, r.verdict, v.verdict);
          expect(`id${as}`, hexOf(r.id), v.id_hex ?? null);
          expect(`reason${as}`, r.reason, v.reason ?? null);
          expect(`now${as}`, r.now, v.verdict === "malformed" ? null : v.now);
          expect(
            `decryptId${as}`,
            hexOf(lib.decryptId(form, v.lifetime, v.now)),
            v.verdict === "fresh" ? v.id_hex : null,
          );
        }
      },
    });
  });
  return cases;
}
