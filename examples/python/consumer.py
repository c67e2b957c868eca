"""Issues a token for an id and checks it back through the idstamp package.

    python3 examples/python/consumer.py [ID]

It type-checks with mypy --strict against the installed package."""

import sys

import idstamp


def check(token: bytes, lifetime: int = 10) -> str:
    """What a checker tells its caller about a token."""
    report: idstamp.TokenReport = idstamp.inspect_token(token, lifetime=lifetime)
    if report.verdict is idstamp.Verdict.FRESH:
        assert report.id is not None
        return "fresh: " + report.id.decode("utf-8", "surrogateescape")
    if report.verdict is idstamp.Verdict.MALFORMED:
        return f"malformed ({report.reason})"
    return f"{report.verdict.value}, {report.age_ms} ms old"


def main(argv: list[str]) -> int:
    ident = argv[1] if len(argv) > 1 else "user-42"
    token = idstamp.crypt_id(ident)  # a str id is encoded as UTF-8
    back: bytes | None = idstamp.decrypt_id(token, lifetime=10)
    print(f"{ident} -> {token!r} -> {back!r} (idstamp {idstamp.__version__})")
    print(check(token), "|", check(b"not a token"))
    print(check(idstamp.crypt_id(b"ABC", stamp=0), lifetime=1))  # issued at New Year
    return 0 if back == ident.encode("utf-8", "surrogateescape") else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
