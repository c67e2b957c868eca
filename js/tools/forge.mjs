// The scramble transform step by step as docs/token-format.md describes it
// (R, E, then S through the published default digit map), for forging the
// plain tokens no issuer writes: in the tests and the differential check.
// It stands apart from index.js, so that forged tokens test its reading.
import { loadVectors } from "./vectors.mjs";

const DIGIT_MAP = loadVectors().digit_map;

// The token of `plain`, given as a string (taken as UTF-8) or as bytes.
export function forge(plain) {
  const t = Array.from(typeof plain === "string" ? new TextEncoder().encode(plain) : plain);
  const n = t.length;
  for (let i = 0; i < n >> 1; i++) [t[i], t[n - 1 - i]] = [t[n - 1 - i], t[i]];
  for (let i = 0; i < n >> 1; i += 2) [t[i], t[n - 1 - i]] = [t[n - 1 - i], t[i]];
  return Uint8Array.from(t, (b) => (b >= 48 && b <= 57 ? DIGIT_MAP.charCodeAt(b - 48) : b));
}
