"""Short-lived scrambled tokens for identifiers.

    >>> import idstamp
    >>> token = idstamp.crypt_id(b"user-42")          # issued now
    >>> idstamp.decrypt_id(token, lifetime=10)        # within 10 minutes
    b'user-42'

Tokens are scrambled, not encrypted or signed: anyone who has this package
can read the id out of a token and forge a token for any id. They keep ids
from a casual look, not from an attacker.

Ids and tokens are bytes. The functions take bytes, bytearray, memoryview or
any other object with the buffer protocol, and str, which they encode as
UTF-8 with surrogateescape; they return bytes, since the token for a
non-ASCII id is not valid UTF-8.

A token is fresh while 0 <= whole minutes since its stamp < lifetime, so a
stamp up to 59.999 s ahead of the clock still counts. Stamps are year stamps:
milliseconds since local midnight of 1 January, modulo 2**32. A refused token
is no error: decrypt_id returns None and inspect_token says why. Misuse
raises TypeError (an argument of another type, a bool for a number among
them, named in the message) or ValueError (an id that
cannot be issued, a stamp or now outside 0 to 2**32 - 1, a lifetime outside
the signed 32-bit range); MemoryError means memory ran out.
"""

from __future__ import annotations

import enum
from dataclasses import dataclass
from typing import TYPE_CHECKING

from . import _idstamp
from ._idstamp import DEFAULT_LIFETIME, MAX_ID_LENGTH, crypt_id, decrypt_id, year_stamp

if TYPE_CHECKING:
    from _typeshed import ReadableBuffer as _Buffer

__all__ = [
    "DEFAULT_LIFETIME",
    "MAX_ID_LENGTH",
    "TokenReport",
    "Verdict",
    "crypt_id",
    "decrypt_id",
    "inspect_token",
    "year_stamp",
]

__version__: str = _idstamp.__version__


class Verdict(enum.Enum):
    """What a checker makes of a token."""

    FRESH = "fresh"  # 0 <= whole minutes since the stamp < lifetime
    EXPIRED = "expired"  # whole minutes since the stamp >= lifetime
    AHEAD = "ahead"  # stamped a minute or more ahead of the clock
    MALFORMED = "malformed"  # not a token


@dataclass(frozen=True, slots=True)
class TokenReport:
    """The verdict on a token, and what could be read from it.

    reason says why a malformed token is malformed, and is None otherwise.
    The other fields are None for a token that does not parse: id is the id
    it carries, stamp the stamp as written (which may be a value no issued
    token holds), now the year stamp it was judged against, and age_ms is
    now - stamp in milliseconds.
    """

    verdict: Verdict
    reason: str | None
    id: bytes | None
    stamp: int | None
    now: int | None
    age_ms: int | None


def inspect_token(
    token: str | _Buffer, lifetime: int = DEFAULT_LIFETIME, now: int | None = None
) -> TokenReport:
    """The verdict on token for lifetime minutes at year stamp now (the
    clock when None, read only for a token that parses)."""
    verdict, reason, ident, stamp, judged_at, age_ms = _idstamp.inspect_token(
        token, lifetime, now
    )
    return TokenReport(Verdict(verdict), reason, ident, stamp, judged_at, age_ms)
