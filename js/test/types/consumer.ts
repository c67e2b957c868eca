// A service that issues a token for a user id and checks one it is given,
// as a TypeScript user of the package writes it.
import {
  cryptId,
  decryptId,
  inspectToken,
  yearStamp,
  createCodec,
  MAX_ID_LENGTH,
  version,
  type TokenReport,
  type Verdict,
} from "idstamp";

const text = new TextDecoder();

export function issue(userId: string): string {
  if (new TextEncoder().encode(userId).length > MAX_ID_LENGTH) throw new Error("id too long");
  return text.decode(cryptId(userId));
}

export function userOf(token: string, lifetimeMinutes = 10): string | null {
  const id = decryptId(token, lifetimeMinutes);
  return id === null ? null : text.decode(id);
}

export function explain(token: Uint8Array, now: number = yearStamp()): string {
  const report: TokenReport = inspectToken(token, 30, now);
  const verdict: Verdict = report.verdict;
  if (report.reason !== null) return `${verdict}: ${report.reason}`;
  const age: bigint = report.ageMs ?? 0n;
  return `${verdict}, ${age / 60000n} min old, stamp ${report.stamp}`;
}

const other = createCodec("0123456789");
const plain: Uint8Array = other.cryptId(new Uint8Array([65, 66, 67]), 0);
export const roundTrip: Uint8Array | null = other.decryptId(plain, 1, 59_999);
export const about = `idstamp ${version}`;

// The stamp a checker in Berlin takes now, whatever this host's zone.
import { yearStampAt } from "idstamp";
export const berlinNow: number = yearStampAt(Date.now(), "Europe/Berlin");
export const berlinNoon: number = yearStampAt(new Date(Date.UTC(2021, 6, 1, 10)), "Europe/Berlin");
