"""The conformance corpus that idstamp-inspect wrote (tools/corpus.py), in
the folder IDSTAMP_CORPUS names: every token row judged by inspect_token and
decrypt_id at the row's lifetime and year stamp, and every year stamp row
through year_stamp(at) at the row's instant in the row's zone. Each test
stops at the first row that disagrees and prints it."""

import csv
import os
from datetime import datetime, timedelta, timezone
from pathlib import Path
from zoneinfo import ZoneInfo

import pytest

import idstamp
from idstamp import Verdict

EPOCH = datetime(1970, 1, 1, tzinfo=timezone.utc)


@pytest.fixture(scope="module")
def corpus():
    folder = os.environ.get("IDSTAMP_CORPUS")
    if not folder:
        pytest.skip("IDSTAMP_CORPUS names no corpus")
    return Path(folder)


def rows(path, columns):
    """The rows of a corpus file, as dicts, after checking its header."""
    with path.open(encoding="ascii", newline="") as f:
        reader = csv.reader(f, delimiter="\t", quoting=csv.QUOTE_NONE)
        assert next(reader) == columns, f"{path}: another header"
        for number, row in enumerate(reader, start=2):
            assert len(row) == len(columns), f"{path}:{number}: {row}"
            yield number, dict(zip(columns, row))


def optional(text, read):
    return read(text) if text else None


def test_tokens(corpus):
    path = corpus / "tokens.tsv"
    columns = "token_hex lifetime now verdict reason id_hex stamp age_ms".split()
    count, lifetime_one = 0, 0
    for number, row in rows(path, columns):
        token, lifetime, now = bytes.fromhex(row["token_hex"]), int(row["lifetime"]), int(row["now"])
        parses = row["verdict"] != "malformed"
        want = (Verdict(row["verdict"]), row["reason"] or None, optional(row["id_hex"], bytes.fromhex),
                optional(row["stamp"], int), now if parses else None, optional(row["age_ms"], int))
        report = idstamp.inspect_token(token, lifetime, now)
        fresh_id = want[2] if want[0] is Verdict.FRESH else None
        assert tuple(report) == want and idstamp.decrypt_id(token, lifetime, now) == fresh_id, \
            f"{path}:{number}: {row} gives {report}"
        if lifetime == 1:  # a lifetime of 0 or less judges as 1 does, but leaves nothing fresh
            lifetime_one += 1
            for none in (0, -(2**31)):
                other = idstamp.inspect_token(token, none, now)
                expect = want if want[0] is not Verdict.FRESH else (Verdict.EXPIRED, *want[1:])
                assert tuple(other) == expect and idstamp.decrypt_id(token, none, now) is None, \
                    f"{path}:{number}: {row} at lifetime {none} gives {other}"
        count += 1
    assert count > 0 and lifetime_one > 0, f"{path}: {count} rows, {lifetime_one} with lifetime 1"


def test_year_stamps(corpus):
    path = corpus / "year_stamps.tsv"
    count = 0
    for number, row in rows(path, ["zone", "instant_ms", "stamp"]):
        # Exact to the millisecond: no float on the way.
        at = (EPOCH + timedelta(milliseconds=int(row["instant_ms"]))).astimezone(ZoneInfo(row["zone"]))
        stamp = idstamp.year_stamp(at)
        assert stamp == int(row["stamp"]), f"{path}:{number}: {row} gives {stamp} at {at}"
        count += 1
    assert count > 0, f"{path}: no rows"
