// Time per call of cryptId and decryptId, with the stamp and now given,
// against createHash("md5").update(token).digest() of the same token, in
// one run:
//
//   node bench/bench.mjs [--no-goal] [--calls N]
//
// The goal is at most 0.2 times the MD5 digest's time for each. Prints the
// medians of several rounds of N calls (default 200000); exits 1 when a goal
// is missed, unless --no-goal.
import { createHash } from "node:crypto";
import { cryptId, decryptId } from "../index.js";

const GOAL = 0.2;
const ROUNDS = 7;
const callsAt = process.argv.indexOf("--calls");
const CALLS = callsAt > 0 ? Number(process.argv[callsAt + 1]) : 200000;
const checkGoal = !process.argv.includes("--no-goal");

const id = "user-20489113"; // a typical id
const stamp = 411196474;
const tokenBytes = cryptId(id, stamp);
const tokenText = new TextDecoder().decode(tokenBytes);

let sink = 0;
function time(call) {
  const start = process.hrtime.bigint();
  for (let i = 0; i < CALLS; i++) sink += call().length;
  return Number(process.hrtime.bigint() - start) / CALLS;
}

// Rounds of the call and of MD5 in turn, so that a change in the machine's
// load between them moves both; the medians of each and of their ratio.
function compare(call, md5) {
  time(call); // warm up
  time(md5);
  const calls = [];
  const md5s = [];
  const ratios = [];
  for (let r = 0; r < ROUNDS; r++) {
    calls.push(time(call));
    md5s.push(time(md5));
    ratios.push(calls[r] / md5s[r]);
  }
  const median = (list) => list.sort((a, b) => a - b)[ROUNDS >> 1];
  return [median(calls), median(md5s), median(ratios)];
}

const rows = [];
for (const [form, idArg, token] of [
  ["string", id, tokenText],
  ["Uint8Array", new TextEncoder().encode(id), tokenBytes],
]) {
  const md5 = () => createHash("md5").update(token).digest();
  rows.push([`cryptId(${form}, stamp)`, ...compare(() => cryptId(idArg, stamp), md5)]);
  rows.push([`decryptId(${form}, 30, now)`, ...compare(() => decryptId(token, 30, stamp), md5)]);
}

// For comparison, with no goal: the same check reading the local clock.
const clocked = compare(
  () => decryptId(tokenText, 30) ?? tokenBytes,
  () => createHash("md5").update(tokenText).digest(),
);

const line = (name, ns, md5, ratio, note) =>
  console.log(`${name.padEnd(30)} ${ns.toFixed(1).padStart(8)} ${md5.toFixed(1).padStart(12)}   ${ratio.toFixed(3)}${note}`);

console.log(`Node ${process.version}, ${tokenBytes.length}-byte token, median of ${ROUNDS} rounds of ${CALLS} calls`);
console.log("call                           ns/call   md5 ns/call   ratio (median of the rounds)");
let missed = 0;
for (const [name, ns, md5, ratio] of rows) {
  if (ratio > GOAL) missed++;
  line(name, ns, md5, ratio, ratio > GOAL ? "  above the goal" : "");
}
line("decryptId(string, 30), clock", ...clocked, `  (no goal; TZ=${process.env.TZ ?? ""})`);
console.log(`goal: at most ${GOAL} times MD5; ${missed === 0 ? "met" : `missed by ${missed} of ${rows.length}`}`);
if (sink === 0) console.log("(nothing was computed)");
if (checkGoal && missed > 0) process.exit(1);
