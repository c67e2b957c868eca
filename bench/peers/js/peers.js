// idstamp's check against the JavaScript libraries a user would pick
// instead, in one run: jsonwebtoken verifying an HS256 token, and fernet
// verifying and decrypting a Fernet token. Each peer checks a token it made
// itself before the loop. Every call is timed in turns, in rounds, and
// given by its fastest round: a busy machine only adds time.
//   node peers.js [ROUNDS]
import { createSecretKey, randomBytes } from 'node:crypto';
import fernet from 'fernet';
import { cryptId, decryptId } from 'idstamp';
import jsonwebtoken from 'jsonwebtoken';

const id = 'user-20489113';
const idBytes = new TextEncoder().encode(id);
const stamp = 411196474;
const key = 'a key of thirty-two bytes, fixed';

const token = cryptId(idBytes, stamp);
const signed = jsonwebtoken.sign({ sub: id }, key, { algorithm: 'HS256', expiresIn: '1h' });
// Given a string, verify first tries it as a public key, which throws: a
// KeyObject made once skips that.
const keyObject = createSecretKey(Buffer.from(key));
const secret = new fernet.Secret(randomBytes(32).toString('base64url'));
const ftoken = new fernet.Token({ secret }).encode(id);

const sameId = (got) => got !== null && got.length === idBytes.length && got.every((b, i) => b === idBytes[i]);

const checks = [
  ['idstamp decryptId (now given)', 200000, () => sameId(decryptId(token, 30, stamp))],
  ['jsonwebtoken verify (HS256), string key', 200,
    () => jsonwebtoken.verify(signed, key, { algorithms: ['HS256'] }).sub === id],
  ['jsonwebtoken verify (HS256), KeyObject', 5000,
    () => jsonwebtoken.verify(signed, keyObject, { algorithms: ['HS256'] }).sub === id],
  ['fernet Token.decode', 5000,
    () => new fernet.Token({ secret, token: ftoken, ttl: 1800 }).decode() === id],
];

const rounds = Number(process.argv[2] ?? 20);
const best = checks.map(() => Infinity);
for (const [name, , call] of checks) {
  if (!call()) {
    console.error(`peers: ${name} refused its own token`);
    process.exit(1);
  }
}
for (let r = 0; r < rounds; r++) {
  checks.forEach(([name, count, call], i) => {
    let ok = true;
    const start = process.hrtime.bigint();
    for (let n = 0; n < count; n++) ok = call() && ok;
    const ns = Number(process.hrtime.bigint() - start) / count;
    if (!ok) {
      console.error(`peers: ${name} refused its own token`);
      process.exit(1);
    }
    best[i] = Math.min(best[i], ns);
  });
}
console.log(`Node.js ${process.versions.node}, ${token.length}-byte idstamp token, fastest of ${rounds} rounds`);
console.log(`${'check'.padEnd(40)} ${'ns/call'.padStart(10)} ${'ratio'.padStart(8)}`);
checks.forEach(([name], i) => {
  console.log(`${name.padEnd(40)} ${best[i].toFixed(1).padStart(10)} ${(best[i] / best[0]).toFixed(1).padStart(7)}x`);
});
