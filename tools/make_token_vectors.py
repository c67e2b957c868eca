#!/usr/bin/env python3
"""Write docs/token-vectors.json: issue and check vectors for idstamp tokens.

This is a small, independent model of the token format described in
docs/token-format.md.  It issues tokens at a given year stamp and checks them
at a given "now", then writes the vectors in a fixed order, so running it
again reproduces the file byte for byte:

    python3 tools/make_token_vectors.py

Standard library only.
"""

import json
import os
import sys

DIGIT_MAP = "5820739164"  # encode map: entry d replaces the digit d
ENCODE = DIGIT_MAP.encode("ascii")
DECODE = bytes(ord("0") + ENCODE.index(ord("0") + d) for d in range(10))

INT32_MIN, INT32_MAX = -(2 ** 31), 2 ** 31 - 1
INT64_MIN, INT64_MAX = -(2 ** 63), 2 ** 63 - 1
MAX_ID = 999
WHITE = b"\t\n\v\f\r "


# --- scramble transform ------------------------------------------------------

def step_r(buf):
    """Reverse: exchange i and n-1-i for i < n//2."""
    return bytearray(reversed(buf))


def step_e(buf):
    """Even re-exchange: exchange i and n-1-i for even i < n//2."""
    n = len(buf)
    for i in range(0, n // 2, 2):
        buf[i], buf[n - 1 - i] = buf[n - 1 - i], buf[i]
    return buf


def step_s(buf, table):
    """Replace every digit byte d by table[d]; other bytes stay."""
    return bytearray(table[b - 48] if 48 <= b <= 57 else b for b in buf)


def scramble(plain):
    return bytes(step_s(step_e(step_r(bytearray(plain))), ENCODE))


def unscramble(token):
    return bytes(step_r(step_e(step_s(bytearray(token), DECODE))))


# --- decimal reading ---------------------------------------------------------

def read_decimal(text, lo, hi):
    """Leading white space, one optional sign, then digits to the very end.

    Returns the value clamped to [lo, hi], or None when the text does not
    read that way.
    """
    i = 0
    while i < len(text) and text[i] in WHITE:
        i += 1
    sign = 1
    if i < len(text) and text[i] in b"+-":
        sign = -1 if text[i] == ord("-") else 1
        i += 1
    digits = text[i:]
    if not digits or any(not 48 <= b <= 57 for b in digits):
        return None
    return max(lo, min(hi, sign * int(digits)))


# --- issue and check ---------------------------------------------------------

def plain_token(ident, stamp):
    assert 1 <= len(ident) <= MAX_ID and 0 not in ident
    assert 0 <= stamp < 2 ** 32
    return b"%03d" % len(ident) + ident + b"%d" % stamp


def issue(ident, stamp):
    """The token for ident at the given year stamp, or None when refused."""
    if not 1 <= len(ident) <= MAX_ID or 0 in ident:
        return None
    return scramble(plain_token(ident, stamp))


def check(token, lifetime, now):
    """Return (verdict, id, reason): id is None when the verdict is
    "malformed", and reason None unless it is; the reason names the first
    check that fails, in the words of docs/token-format.md."""
    assert lifetime > 0 and 0 <= now < 2 ** 32
    n = len(token)
    if n < 3:
        return "malformed", None, "too short"
    plain = unscramble(token)
    length = read_decimal(plain[:3], INT32_MIN, INT32_MAX)
    if length is None or length <= 0:
        return "malformed", None, "bad length field"
    if 3 + length >= n:
        return "malformed", None, "no stamp"
    ident = plain[3:3 + length]
    if 0 in ident:
        return "malformed", None, "zero byte in the id"
    stamp = read_decimal(plain[3 + length:], INT64_MIN, INT64_MAX)
    if stamp is None or stamp == -1:
        return "malformed", None, "bad stamp"
    diff = (now - stamp) % 2 ** 64          # 64-bit wrap-around subtraction
    if diff >= 2 ** 63:
        diff -= 2 ** 64                     # ... read back as signed
    minutes = abs(diff) // 60000            # truncated toward zero ...
    if diff < 0:
        minutes = -minutes                  # ... for negative values too
    if minutes < 0:
        return "ahead", ident, None
    if minutes >= lifetime:
        return "expired", ident, None
    return "fresh", ident, None


# --- self-checks -------------------------------------------------------------

def self_check():
    assert sorted(DIGIT_MAP) == list("0123456789")
    for d in range(10):
        assert DECODE[ENCODE[d] - 48] == 48 + d
    for text, after_r, after_re in [
        (b"0123456789", b"9876543210", b"0826453719"),
        (b"002AB1234567", b"7654321BA200", b"0624B213A507"),
        (b"abcdefghijk", None, b"ajchefgdibk"),
    ]:
        if after_r is not None:
            assert bytes(step_r(bytearray(text))) == after_r
        assert bytes(step_e(step_r(bytearray(text)))) == after_re
        assert bytes(step_r(step_e(bytearray(after_re)))) == text
    assert plain_token(b"ABC", 411196474) == b"003ABC411196474"
    assert issue(b"ABC", 411196474) == b"5109B8788C4A757"
    for text, value in [(b" 12", 12), (b"+12", 12), (b"012", 12),
                        (b"\t\v-7", -7), (b"99999999999", INT32_MAX)]:
        assert read_decimal(text, INT32_MIN, INT32_MAX) == value
    for text in [b"", b" ", b"+", b"-", b"+-5", b"12 ", b"0x10", b"1\x002"]:
        assert read_decimal(text, INT32_MIN, INT32_MAX) is None


# --- the vectors -------------------------------------------------------------

def ids_for_issue():
    every_byte = bytes(range(1, 256))
    long_id = bytes((i * 37 + 11) % 255 + 1 for i in range(MAX_ID))
    return [
        (b"ABC", 411196474),                 # the worked example
        (b"A", 0),                           # shortest token: 5 bytes
        (b"A", 9),
        (b"7", 10),
        (b"AB", 4294967295),                 # largest stamp
        (b"xyz", 59999),
        (b"abcd", 1471228927),               # 31 Dec 23:59:59.999 common year
        (b"hello", 123456),
        (b"0123456789", 411196474),          # all digits, substituted too
        (b"2222", 2222222222),               # '2' maps to itself
        (b"003ABC411196474", 1),             # looks like a plain token
        (b"-1", 4294967294),
        (b" ", 60000),                       # a lone space
        (b"  leading and trailing  ", 3600000),
        (b"tab\there\nnewline", 86399999),
        (b"\x80\xff\xfe", 2147483648),
        (b"caf\xc3\xa9 \xe2\x82\xac9", 2147483647),
        (b"\x01", 1000),
        (b"user@example.com", 345600000),
        (b"A1B2C3D4E5F", 4294967295),
        (b"9" * 10, 0),
        (b"x" * 99, 5),
        (b"y" * 100, 77777),
        (every_byte, 3141592653),
        (long_id, 411196474),                # longest id issued
        (b"+12", 100),
        (b"0", 999999999),
        (b"Zz", 1),
        (b"ab", 123),                        # 8 bytes: positions 3 and 4 swap
        (b"A", 100),                         # 7 bytes
    ]


def check_vectors():
    vecs = []

    def add(token, lifetime, now):
        vecs.append((token, lifetime, now))

    def forged(plain):
        return scramble(plain)

    base = 411196474
    abc = issue(b"ABC", base)
    # the acceptance window's millisecond edges, lifetime 30
    for delta in (-60000, -59999, -1, 0, 1799999, 1800000):
        add(abc, 30, base + delta)
    # lifetime 1 and the largest lifetime
    a0 = issue(b"A", 0)
    add(a0, 1, 59999)
    add(a0, 1, 60000)
    add(a0, 2147483647, 4294967295)
    # the oldest real age is 71582 minutes: fresh only when lifetime is larger
    add(a0, 71583, 4294967295)
    add(a0, 71582, 4294967295)
    # a reset: stamped just before, checked just after
    add(issue(b"AB", 4294967295), 30, 0)
    add(issue(b"AB", 4294967000), 30, 5)
    # bytes above 127, digits, spaces in the id
    add(issue(b"caf\xc3\xa9 \xe2\x82\xac9", 2147483647), 30, 2147483647 + 59999)
    add(issue(b" 0 1 2 ", 123), 5, 123)
    long_id = bytes((i * 37 + 11) % 255 + 1 for i in range(MAX_ID))
    add(issue(long_id, 3000000000), 30, 3000000000 + 1799999)

    # malformed: too short
    add(b"", 30, 0)
    add(b"5", 30, 0)
    add(b"55", 30, 0)
    # malformed: the length field
    add(forged(b"000" + b"A0"), 30, 0)               # length 0
    add(forged(b"-01" + b"A0"), 30, 0)               # negative
    add(forged(b"1 2" + b"A0"), 30, 0)               # space inside
    add(forged(b"12 " + b"A" * 12 + b"0"), 30, 0)    # trailing space
    add(forged(b"\xa012" + b"A" * 12 + b"0"), 30, 0) # 0xa0 is not white space
    add(forged(b"1\x00\x00" + b"A0"), 30, 0)         # zero bytes do not end it
    add(forged(b"x12" + b"A" * 12 + b"0"), 30, 0)
    # malformed: no stamp
    add(forged(b"003ABC"), 30, 0)                    # 3 + L == n
    add(forged(b"003"), 30, 0)
    add(forged(b"009ABC5"), 30, 0)                   # length runs past the end
    # malformed: the stamp
    add(forged(b"003ABC12345x"), 30, 12345)          # trailing non-digit
    add(forged(b"003ABC12345 "), 30, 12345)          # trailing space
    add(forged(b"003ABC-1"), 30, 0)
    add(forged(b"003ABC -01"), 30, 0)                # reads as -1 too
    add(forged(b"003ABC+"), 30, 0)
    add(forged(b"003ABC0x10"), 30, 16)
    # malformed: a zero byte in the id
    add(forged(b"003A\x00B411196474"), 30, 411196474)
    # an id of 1000 bytes, issued as if it were allowed: the checker reads
    # "100" as the length, "0" and 99 more bytes as the id, and the other
    # 901 id bytes plus the stamp as one long stamp, which saturates
    add(forged(b"1000" + b"1" * 1000 + b"77"), 30, 77)

    # odd but valid plain tokens
    add(forged(b" 12" + b"hello world!" + b"500"), 30, 500)
    add(forged(b"+12" + b"hello world!" + b"500"), 30, 60499)
    add(forged(b"\t\r3ABC7"), 30, 7)                 # white space 9 and 13
    add(forged(b" +3ABC7"), 30, 7)
    add(forged(b"003ABC" + b"0" * 30 + b"5"), 30, 5)  # 30 leading zeros
    add(forged(b"003ABC+5"), 30, 5)
    add(forged(b"003ABC -5"), 1, 59994)              # negative stamps parse
    add(forged(b"003ABC-5"), 1, 59995)
    add(forged(b"003ABC\v\f 42"), 30, 42)
    add(forged(b"003ABC-0"), 30, 0)
    # stamps outside 0..2^32-1 (forged)
    add(forged(b"003ABC4294967296"), 30, 0)          # 2^32 is not 0
    add(forged(b"003ABC18446744073709551615"), 30, 0)  # saturates, not -1
    add(forged(b"003ABC99999999999999999999"), 30, 4294967295)
    add(forged(b"003ABC-99999999999999999999"), 30, 5)
    # the whole 64-bit minute count is compared
    now = 1000
    add(forged(b"003ABC%d" % (now - 60000 * 2 ** 32)), 30, now)
    add(forged(b"003ABC%d" % (now - 60000 * 2 ** 31)), 2147483647, now)
    add(forged(b"003ABC%d" % (now - 60000 * (2 ** 31 - 1))), 2147483647, now)
    add(forged(b"003ABC%d" % (now - 60000 * (2 ** 31 - 1) + 1)),
        2147483647, now)
    return vecs


def hexs(b):
    return b.hex()


def build():
    issue_rows = []
    for ident, stamp in ids_for_issue():
        token = issue(ident, stamp)
        assert token is not None and len(token) == 3 + len(ident) + len(str(stamp))
        # every issued token checks back fresh at its own stamp
        assert check(token, 30, stamp) == ("fresh", ident, None)
        issue_rows.append({"id_hex": hexs(ident), "stamp": stamp,
                           "token_hex": hexs(token)})
    # refusals: never written to the file, but the model must agree
    assert issue(b"", 0) is None
    assert issue(b"Q" * 1000, 0) is None
    assert issue(b"A\x00B", 0) is None

    check_rows = []
    for token, lifetime, now in check_vectors():
        verdict, ident, reason = check(token, lifetime, now)
        row = {"token_hex": hexs(token), "lifetime": lifetime, "now": now,
               "verdict": verdict}
        if ident is not None:
            row["id_hex"] = hexs(ident)
        if reason is not None:
            row["reason"] = reason
        check_rows.append(row)
    # every reason a malformed token can have is among the vectors
    assert {r.get("reason") for r in check_rows} == {
        None, "too short", "bad length field", "no stamp", "zero byte in the id",
        "bad stamp"}
    return issue_rows, check_rows


def render(issue_rows, check_rows):
    def block(rows):
        return ",\n".join("  " + json.dumps(r) for r in rows)
    return ('{"digit_map": %s,\n "issue": [\n%s\n ],\n "check": [\n%s\n ]}\n'
            % (json.dumps(DIGIT_MAP), block(issue_rows), block(check_rows)))


def main():
    self_check()
    issue_rows, check_rows = build()
    text = render(issue_rows, check_rows)
    json.loads(text)
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                       "..", "docs", "token-vectors.json")
    with open(out, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    counts = {}
    for r in check_rows:
        counts[r["verdict"]] = counts.get(r["verdict"], 0) + 1
    print("wrote %s: %d issue, %d check %s"
          % (os.path.normpath(out), len(issue_rows), len(check_rows),
             dict(sorted(counts.items()))), file=sys.stderr)


if __name__ == "__main__":
    main()
