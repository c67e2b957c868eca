"""What the tokens say: the published vectors, and the clock. The corpus
(test_corpus.py) holds every report field to idstamp-inspect."""

import json
from datetime import datetime, timedelta, timezone

import pytest

import idstamp
from idstamp import Verdict
from conftest import SOURCE

VECTORS = json.loads((SOURCE / "docs/token-vectors.json").read_text(encoding="ascii"))


@pytest.fixture
def published_map(model):
    if model.ENCODE.decode() != VECTORS["digit_map"]:
        pytest.skip("this build uses another digit map than the published vectors")


@pytest.mark.parametrize("row", VECTORS["issue"], ids=lambda r: r["token_hex"][:24])
def test_issue_vectors(published_map, row):
    ident, token = bytes.fromhex(row["id_hex"]), bytes.fromhex(row["token_hex"])
    assert idstamp.crypt_id(ident, stamp=row["stamp"]) == token
    assert idstamp.decrypt_id(token, now=row["stamp"]) == ident


@pytest.mark.parametrize("row", VECTORS["check"], ids=lambda r: r["token_hex"][:24])
def test_check_vectors(published_map, row):
    token, args = bytes.fromhex(row["token_hex"]), (row["lifetime"], row["now"])
    report = idstamp.inspect_token(token, *args)
    ident = bytes.fromhex(row["id_hex"]) if "id_hex" in row else None
    assert (report.verdict.value, report.id, report.reason) == (
        row["verdict"], ident, row.get("reason"))
    assert idstamp.decrypt_id(token, *args) == (ident if row["verdict"] == "fresh" else None)


def test_round_trip_through_the_clock():
    before = idstamp.year_stamp()
    token = idstamp.crypt_id(b"user-42")
    local = idstamp.year_stamp(datetime.now().astimezone())  # the C library's zone too
    after = idstamp.year_stamp()
    report = idstamp.inspect_token(token, lifetime=1)
    assert report.verdict is Verdict.FRESH and report.id == b"user-42"
    assert before <= report.stamp <= local <= after <= report.now or after < before  # unless a reset
    assert idstamp.decrypt_id(token) == b"user-42"


@pytest.mark.parametrize("fields, offset, stamp", [
    ((2021, 2, 19, 17, 2, 47, 296000), 5, 0),  # the stamp's first return to 0
    ((2021, 2, 19, 17, 2, 47, 295999), -3, 2**32 - 1),  # microseconds cut, not rounded
    ((2023, 12, 31, 23, 59, 59, 999999), 14, 31535999999 % 2**32),
    ((2024, 12, 31, 23, 59, 59, 999000), -12, 31622399999 % 2**32),  # a leap year's last
    ((2024, 3, 1), 0, 60 * 86400000 % 2**32),  # after 29 February
    ((1, 1, 1), 0, 0),
    ((9999, 12, 31, 23, 59, 59, 999999), 0, 31535999999 % 2**32),
])
def test_year_stamp_at_reads_the_wall_clock_fields(fields, offset, stamp):
    """The stamp of the datetime's own fields, whatever its offset."""
    at = datetime(*fields, tzinfo=timezone(timedelta(hours=offset)))
    assert idstamp.year_stamp(at) == idstamp.year_stamp(at=at) == stamp
