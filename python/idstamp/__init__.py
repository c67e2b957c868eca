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
milliseconds since local midnight of 1 January, modulo 2**32. year_stamp()
reads the local clock; year_stamp(at) gives the stamp of an aware datetime's
own wall-clock fields, in its own zone, which is the stamp a host in that
zone issues at that moment:

    >>> from datetime import datetime
    >>> from zoneinfo import ZoneInfo
    >>> idstamp.year_stamp(datetime(2021, 1, 1, 0, 1, tzinfo=ZoneInfo("Asia/Tokyo")))
    60000

A refused token is no error: decrypt_id returns None and inspect_token says
why, in a TokenReport, a named tuple (verdict, reason, id, stamp, now,
age_ms). Misuse raises TypeError (an argument of another type, a bool for a
number among them, named in the message) or ValueError (an id that cannot be
issued, a stamp or now outside 0 to 2**32 - 1, a lifetime outside the signed
32-bit range, a naive datetime); MemoryError means memory ran out.
"""

from ._verdict import Verdict
from . import _idstamp
from ._idstamp import (
    DEFAULT_LIFETIME,
    MAX_ID_LENGTH,
    TokenReport,
    crypt_id,
    decrypt_id,
    inspect_token,
    year_stamp,
)

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
