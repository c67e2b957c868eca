#!/usr/bin/env python3
"""Write a conformance corpus for the idstamp token checks and year stamps.

    python3 tools/corpus.py INSPECT OUTDIR [--count N] [--seed S]

OUTDIR gets tokens.tsv, whose answers are all what INSPECT (idstamp-inspect)
says with `--batch --json --at MOMENT`, and year_stamps.tsv: the year stamp
INSPECT's clock gives at an instant (ms since the Unix epoch) in a zone, with
the clock frozen by libfaketime. The same arguments give the same bytes.
"""

import argparse
import datetime as dt
import json
import os
import re
import subprocess
import sys
import zoneinfo
from pathlib import Path
import random

SOURCE = Path(__file__).resolve().parent.parent / "src/token"
FAKETIME_LIB = os.environ.get("FAKETIME_LIB", "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1")
ZONES = ("UTC", "Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
         "Pacific/Chatham", "Asia/Kolkata")
YEARS = (2026, 2027)
# Checker clock readings: New Year, the 2^32 ms wraps of the stamp, ordinary days.
MOMENTS = ("2026-01-01 00:00:00.000", "2026-01-01 00:00:59.999", "2025-12-31 23:59:59.999",
           "2024-12-31 23:59:59.999", "2026-02-19 17:02:47.295", "2026-02-19 17:02:47.296",
           "2026-02-19 17:03:30.000", "2027-12-14 23:19:31.072", "2026-06-15 12:34:56.789",
           "2027-03-28 02:30:00.001")
LIFETIMES = (1, 2, 30, 59, 1440, 71582, 71583, 35791394, 1000000000, 2147483646, 2147483647)
SIGNED = ("", "-", "+", " ", "  -", "\t+")
HUGE = (2**31 - 1, 2**31, 2**32 - 1, 2**32, 2**32 + 1, 2**63 - 1, 2**63, 2**63 + 1,
        2**64 - 1, 2**64, 2**64 + 1, 10**18, 10**19 - 1, 10**19, 10**20 - 1)
LENGTH_FIELDS = (b"000", b"-01", b"+01", b" 01", b"  1", b"+ 1", b"1  ", b"0x1", b"00\0",
                 b"\0\x301", b"abc", b"999", b"998", b"\t\t5", b"-00", b"+00", b"-99", b"\v+9")


def fail(message):
    sys.exit(f"corpus.py: {message}")


def reasons_in_source():
    """Every reason the C++ checks can give for a malformed token."""
    source = "".join(p.read_text() for p in sorted(SOURCE.glob("*.cc")))
    found = re.findall(r'malformed\(\w+, "([^"]+)"\)', source)
    return list(dict.fromkeys(found)) or fail(f"found no malformed reasons in {SOURCE}")


def run_batch(inspect, tokens, lifetime, moment, zero_ends):
    """The JSON results idstamp-inspect gives for tokens, one per token."""
    end = b"\0" if zero_ends else b"\n"
    cmd = [inspect, "--batch", "--json", "-t", str(lifetime), "--at", moment]
    run = subprocess.run(cmd + ["-z"] * zero_ends, input=b"".join(t + end for t in tokens),
                         capture_output=True, env=dict(os.environ, TZ="UTC"), check=False)
    results = [json.loads(line) for line in run.stdout.splitlines()]
    if run.returncode != 0 or [(r["line"], r["lifetime"]) for r in results] != [
            (line, lifetime) for line in range(1, len(tokens) + 1)]:
        fail(f"{' '.join(cmd)} gave status {run.returncode} and {len(results)} results for "
             f"{len(tokens)} tokens: {run.stderr.decode(errors='replace')}")
    return results


def scramble(plain, encode):
    """The issuing transform: reverse, re-exchange even positions, map digits."""
    buf = bytearray(reversed(plain))
    n = len(buf)
    for i in range(0, n // 2, 2):
        buf[i], buf[n - 1 - i] = buf[n - 1 - i], buf[i]
    return bytes(encode[b - 48] if 48 <= b <= 57 else b for b in buf)


def learn(inspect):
    """The build's digit map and each moment's year stamp, as the program reads them.
    Unmapped, "  c" + c*12 reads as the length D(c) and an id of D(c) bytes D(c)."""
    probes = [b"  " + bytes([c]) * 13 for c in b"0123456789"]
    decode, nows = {}, {}
    for moment in MOMENTS:
        for c, r in zip(b"0123456789", run_batch(inspect, [scramble(p, b"0123456789") for p in probes],
                                                 30, moment, False)):
            decode[c] = int(bytes.fromhex(r["id_hex"] or "30")[:1])
            if r["now"] is not None:
                nows[moment] = r["now"]
    if sorted(decode.values()) != list(range(10)) or len(nows) != len(MOMENTS):
        fail(f"cannot read the digit map from {inspect}")
    return bytes(sorted(decode, key=decode.get)), nows


def plain(ident, stamp_text):
    return b"%03d" % len(ident) + ident + stamp_text


def hostile_stamp(rng):
    sign = rng.choice(SIGNED).encode()
    return rng.choice([
        sign + str(rng.choice(HUGE) + rng.randrange(-2, 3)).encode(),  # near 2^32, 2^63, 2^64
        str(rng.randrange(10**18, 10**20)).encode(),  # 19 and 20 digits
        b"0" * rng.randrange(1, 1100) + rng.choice([b"", b"1", b"12x", b"5 ", b"\x00"]),
        rng.choice([b"", b"-1", b"-0", b"+-5", b"--5", b"1e5", b"12\x003", b" ", b"0x10",
                    b"-18446744073709551617", b"\r5", b"5\n", b"9" * 25]),
        sign + str(rng.randrange(2**32)).encode()])


def modes(token):
    """How a token can reach --batch: False by lines, True by zero-ended records."""
    return [False] * (b"\n" not in token and not token.endswith(b"\r")) + [True] * (b"\0" not in token)


def make_tokens(rng, encode, nows, count):
    """(moment, lifetime, token) in a fixed order: chosen cases first, then random ones."""
    all_bytes = bytes(range(1, 256))
    chosen = [b"", b"0", b"01", plain(b"A", b"0"), plain(b"\x00", b"5"), plain(all_bytes, b"7"),
              plain(b"x" * 999, b"1"), plain(b"y" * 1000, b"1"), plain(b"line\nbreak", b"1"),
              plain(b"A", b"5\r"), plain(b"nul\x00and\n", b"1"), b"004abc12"]
    out = [(MOMENTS[0], 30, t) for t in (scramble(p, encode) for p in chosen) if modes(t)]
    lifetimes = LIFETIMES + tuple(rng.randrange(3, 2**31) for _ in range(4))
    sizes = (1, 2, 3, 5, 8, 11, 12, 40, 200, 999)
    while len(out) < count:
        moment, lifetime = rng.choice(MOMENTS), rng.choice(lifetimes)
        ident = bytes(rng.choices(range(1, 256), k=rng.choice(sizes)))
        ident = all_bytes if rng.random() < 0.02 else ident
        kind = rng.randrange(10)
        if kind < 6:  # a well-formed token, aged around the lifetime's edges
            span = lifetime * 60_000
            age = rng.choice([0, 1, 59_999, 60_000, span - 1, span, span + 1, -1, -59_999, -60_000,
                              -60_001, rng.randrange(-2**32, 2**32), rng.randrange(span),
                              nows[moment] + 1, nows[moment] - 2**32 + 1])
            text = plain(ident, str((nows[moment] - age) % 2**32).encode())
        elif kind == 6:
            text = plain(ident, hostile_stamp(rng))
        elif kind == 7:
            text = rng.choice(LENGTH_FIELDS) + ident[:rng.randrange(12)] + hostile_stamp(rng)
        elif kind == 8:  # a zero byte somewhere
            text = bytearray(plain(ident, str(rng.randrange(2**32)).encode()))
            text[rng.randrange(len(text))] = 0
        else:
            text = rng.randbytes(rng.randrange(8))
        out.append((moment, lifetime, scramble(bytes(text), encode)))
        if not modes(out[-1][2]):
            out.pop()
    return out


def token_rows(inspect, encode, nows, count, seed):
    rng = random.Random(seed)
    tokens = make_tokens(rng, encode, nows, count)
    groups = {}  # (moment, lifetime, zero_ends) -> indices into tokens, in order
    for i, (moment, lifetime, token) in enumerate(tokens):
        groups.setdefault((moment, lifetime, rng.choice(modes(token))), []).append(i)
    answers = {}
    for (moment, lifetime, zero_ends), indices in groups.items():
        answers.update(zip(indices, run_batch(inspect, [tokens[i][2] for i in indices],
                                              lifetime, moment, zero_ends)))
    rows = []
    for (moment, lifetime, token), r in zip(tokens, (answers[i] for i in range(len(tokens)))):
        if r["now"] not in (None, nows[moment]):
            fail(f"{moment} read as two stamps, {nows[moment]} and {r['now']}")
        fields = [token.hex(), lifetime, nows[moment], r["verdict"], r["reason"] or "",
                  r["id_hex"], r["stamp"], r["age_ms"]]
        rows.append(["" if f is None else str(f) for f in fields])
    seen = {row[3] for row in rows} | {row[4] for row in rows}
    missing = [v for v in ["fresh", "expired", "ahead", "malformed"] + reasons_in_source() if v not in seen]
    if missing:
        fail(f"the corpus lacks {missing}; raise --count or change --seed")
    return rows


def frozen_now(inspect, zone, instant_ms, token):
    """The `now` idstamp-inspect reports with its clock frozen at instant_ms."""
    seconds, ms = divmod(instant_ms, 1000)
    # Half a millisecond in, so no rounding of the fraction can cross into the next one.
    env = dict(os.environ, TZ=zone, LD_PRELOAD=FAKETIME_LIB, FAKETIME_FMT="%s",
               FAKETIME=f"{seconds}.{ms:03d}5")
    run = subprocess.run([inspect, "--json", "--", token], capture_output=True, env=env, check=False)
    try:
        return json.loads(run.stdout)["now"]
    except (ValueError, KeyError):
        return fail(f"no report under a frozen clock at {instant_ms} in {zone}: {run.stderr!r}")


def zone_instants(zone, rng):
    """ms instants on each side of every offset change and local New Year, and a few others."""
    tz = zoneinfo.ZoneInfo(zone)
    offset = lambda s: dt.datetime.fromtimestamp(s, tz).utcoffset()
    edges = [int(dt.datetime(y, 1, 1, tzinfo=tz).timestamp()) for y in YEARS + (YEARS[-1] + 1,)]
    start = edges[0] - 86_400
    for hour in range(start, edges[-1] + 86_400, 3600):
        if offset(hour) != offset(hour + 3600):
            lo, hi = hour, hour + 3600  # offset(lo) is the old one, offset(hi) the new
            while hi - lo > 1:
                mid = (lo + hi) // 2
                lo, hi = (mid, hi) if offset(mid) == offset(lo) else (lo, mid)
            edges.append(hi)
    instants = {e * 1000 + d for e in edges for d in (-1, 0)}
    # The stamp's first 2^32 ms wrap of each year, and ordinary moments with milliseconds.
    for y in YEARS:
        wrap = dt.datetime(y, 2, 19, 17, 2, 47, 296_000, tzinfo=tz).timestamp()
        instants |= {round(wrap * 1000) - 1, round(wrap * 1000)}
    instants |= {start * 1000 + rng.randrange(2 * 365 * 86_400_000) | 1 for _ in range(4)}
    return sorted(instants)


def year_stamp_rows(inspect, encode, seed):
    rng = random.Random(seed)
    token = scramble(plain(b"A", b"0"), encode)
    rows = [[zone, str(ms), str(frozen_now(inspect, zone, ms, token))]
            for zone in ZONES for ms in zone_instants(zone, rng)]
    # A clock not frozen reads differently each time, and alike at different instants.
    again = frozen_now(inspect, rows[0][0], int(rows[0][1]), token)
    if str(again) != rows[0][2] or len({r[2] for r in rows}) < len(rows) // 2:
        fail(f"{FAKETIME_LIB} (libfaketime; or set FAKETIME_LIB) did not freeze the clock")
    return rows


def write_tsv(path, header, rows):
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write(header.replace(" ", "\t") + "\n")
        f.writelines("\t".join(row) + "\n" for row in rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("inspect")
    parser.add_argument("outdir")
    parser.add_argument("--count", type=int, default=20_000, help="token rows (default 20000)")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    os.makedirs(args.outdir, exist_ok=True)
    inspect, encode, nows = args.inspect, *learn(args.inspect)
    write_tsv(os.path.join(args.outdir, "tokens.tsv"), "token_hex lifetime now verdict reason "
              "id_hex stamp age_ms", token_rows(inspect, encode, nows, args.count, args.seed))
    write_tsv(os.path.join(args.outdir, "year_stamps.tsv"), "zone instant_ms stamp",
              year_stamp_rows(inspect, encode, args.seed))


if __name__ == "__main__":
    main()
