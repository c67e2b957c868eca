"""What the tokens say: the published vectors, agreement on every report
field with the independent model over a generated table, and the clock."""

import json
import random

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


def expected(model, token, lifetime, now):
    """The report the model gives: its check for the verdict, id and reason,
    its pieces for the stamp and age."""
    verdict, ident, reason = model.check(token, lifetime, now)
    if verdict == "malformed":
        return (Verdict.MALFORMED, reason, None, None, None, None)
    plain = model.unscramble(token)
    length = model.read_decimal(plain[:3], model.INT32_MIN, model.INT32_MAX)
    stamp = model.read_decimal(plain[3 + length:], model.INT64_MIN, model.INT64_MAX)
    age = (now - stamp + 2**63) % 2**64 - 2**63
    return (Verdict(verdict), None, ident, stamp, now, age)


def generated_table(model, count=6000, seed=15):
    """Issued tokens near their window's edges, forged plain tokens with odd
    fields (signs, white space, zeros, long stamps), and random damage."""
    rng = random.Random(seed)
    fields = [b"%03d" % rng.randint(0, 12), b" 12", b"+05", b"-01", b"1\x002", b"\t\v9", b"x12"]
    stamps = [b"0", b"-1", b"-0", b" +42", b"4294967296", b"9" * 25, b"-" + b"9" * 25,
              b"0" * 3000 + b"77", b"12x", b"1 "]
    rows = []
    for _ in range(count):
        lifetime = rng.choice([1, 30, 71583, 2**31 - 1, rng.randint(1, 600)])
        kind = rng.random()
        if kind < 0.5:
            ident = bytes(rng.randint(1, 255) for _ in range(rng.choice([1, 3, 16, 200, 999])))
            stamp = rng.choice([0, 2**32 - 1, rng.randrange(2**32)])
            token = model.issue(ident, stamp)
            delta = rng.choice([-60000, -59999, 0, lifetime * 60000 - 1, lifetime * 60000,
                                rng.randint(-2**32, 2**32)])
            now = (stamp + delta) % 2**32
        else:
            body = bytes(rng.choice(b"AB0\x00 9-") for _ in range(rng.randint(0, 14)))
            stamp_text = rng.choice(stamps + [b"%d" % rng.randrange(2**32)])
            token = model.scramble(rng.choice(fields) + body + stamp_text)
            now = rng.randrange(2**32)
        if kind > 0.9 and token:
            damaged = bytearray(token)
            damaged[rng.randrange(len(damaged))] = rng.choice(b"\x000 -+7")
            token = bytes(damaged[: rng.randint(0, len(damaged))] if kind > 0.97 else damaged)
        rows.append((token, lifetime, now))
    return rows


def test_agrees_with_the_model_on_every_field(model):
    seen = set()
    for token, lifetime, now in generated_table(model):
        report = idstamp.inspect_token(token, lifetime, now)
        fields = (report.verdict, report.reason, report.id, report.stamp, report.now, report.age_ms)
        assert fields == expected(model, token, lifetime, now), (token, lifetime, now)
        fresh_id = report.id if report.verdict is Verdict.FRESH else None
        assert idstamp.decrypt_id(token, lifetime, now) == fresh_id
        seen.add(report.reason or report.verdict.value)
    assert len(seen) == 8  # every verdict and every reason came up


@pytest.mark.parametrize("lifetime", [0, -1, -(2**31)])
def test_no_lifetime_accepts_nothing(model, lifetime):
    """Judged as with a lifetime of 1, except that nothing is fresh."""
    for token, _, now in generated_table(model, count=500, seed=lifetime):
        verdict = idstamp.inspect_token(token, lifetime, now).verdict
        at_one = idstamp.inspect_token(token, 1, now).verdict
        assert verdict == (Verdict.EXPIRED if at_one is Verdict.FRESH else at_one)
        assert idstamp.decrypt_id(token, lifetime, now) is None


def test_round_trip_through_the_clock():
    before = idstamp.year_stamp()
    token = idstamp.crypt_id(b"user-42")
    after = idstamp.year_stamp()
    report = idstamp.inspect_token(token, lifetime=1)
    assert report.verdict is Verdict.FRESH and report.id == b"user-42"
    assert before <= report.stamp <= after <= report.now or after < before  # unless a reset
    assert idstamp.decrypt_id(token) == b"user-42"
