#!/usr/bin/env python3
"""Checks tools/corpus.py and tools/clock_table.sh against independent models.

    python3 tests/tools/corpus_test.py INSPECT

The token rows must match tools/make_token_vectors.py's model of the check
(a build with the default digit map), the year stamps must match zoneinfo's
local time, the same arguments must give the same bytes, and the clock
table must pass INSPECT's own reading and fail the UTC one.
"""

import datetime as dt
import os
import subprocess
import sys
import tempfile
import zoneinfo
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent.parent
sys.path.insert(0, str(ROOT / "tools"))
import make_token_vectors as model  # noqa: E402


def corpus(inspect, outdir, *args):
    subprocess.run([sys.executable, str(ROOT / "tools/corpus.py"), inspect, outdir, *args], check=True)
    return {name: (Path(outdir) / name).read_bytes() for name in ("tokens.tsv", "year_stamps.tsv")}


def rows(text, header):
    lines = text.decode("ascii").split("\n")
    assert lines[0] == header.replace(" ", "\t") and lines[-1] == "", lines[0]
    return [line.split("\t") for line in lines[1:-1]]


def check_tokens(table, count):
    verdicts = set()
    for row in table:
        token_hex, lifetime, now, verdict, reason, id_hex, stamp, age = row
        token, lifetime, now = bytes.fromhex(token_hex), int(lifetime), int(now)
        want, ident, why = model.check(token, lifetime, now)
        got = (verdict, reason or None, bytes.fromhex(id_hex) if id_hex else None)
        assert got == (want, why, ident), (row, want, why, ident)
        if ident is not None:
            plain = model.unscramble(token)
            value = model.read_decimal(plain[3 + len(ident):], model.INT64_MIN, model.INT64_MAX)
            diff = (now - value) % 2**64
            assert (int(stamp), int(age)) == (value, diff - 2**64 * (diff >= 2**63)), row
        verdicts.add(verdict)
    assert len(table) == count and verdicts == {"fresh", "expired", "ahead", "malformed"}


def check_year_stamps(table):
    zones = {}
    for zone, instant_ms, stamp in table:
        local = dt.datetime.fromtimestamp(int(instant_ms) / 1000, zoneinfo.ZoneInfo(zone))
        into_year = local.replace(tzinfo=None) - dt.datetime(local.year, 1, 1)
        assert int(stamp) == (into_year // dt.timedelta(milliseconds=1)) % 2**32, (zone, instant_ms)
        zones[zone] = zones.get(zone, 0) + 1
    # Two New Years and the next, two wraps, each on both sides; DST changes on top.
    assert len(zones) >= 6 and min(zones.values()) >= 10 and zones["Europe/Berlin"] >= 18, zones


def check_clock_table(inspect):
    table = [str(ROOT / "tools/clock_table.sh"), inspect, "--"]
    now = [str(ROOT / "tools/clock_table.sh"), "--now", inspect]
    same = subprocess.run(table + now, capture_output=True, text=True, check=False)
    assert same.returncode == 0 and "0 of 14 environments disagree" in same.stdout, same.stdout
    utc = subprocess.run(table + ["env", "TZ=UTC"] + now, capture_output=True, text=True, check=False)
    kolkata = [line for line in utc.stdout.splitlines() if line.startswith("TZ='Asia/Kolkata'")]
    assert utc.returncode == 1 and kolkata[0].endswith("DISAGREE"), utc.stdout


def main():
    inspect = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as tmp:
        first = corpus(inspect, f"{tmp}/a", "--count", "3000", "--seed", "7")
        assert corpus(inspect, f"{tmp}/b", "--count", "3000", "--seed", "7") == first
        assert corpus(inspect, f"{tmp}/c", "--count", "3000", "--seed", "8") != first
    check_tokens(rows(first["tokens.tsv"], "token_hex lifetime now verdict reason id_hex stamp age_ms"), 3000)
    check_year_stamps(rows(first["year_stamps.tsv"], "zone instant_ms stamp"))
    check_clock_table(inspect)
    print("corpus and clock table: ok")


if __name__ == "__main__":
    main()
