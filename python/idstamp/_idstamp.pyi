# The compiled core of the idstamp package; the package documents it.
from typing import Final

from _typeshed import ReadableBuffer

DEFAULT_LIFETIME: Final[int]
MAX_ID_LENGTH: Final[int]
__version__: Final[str]

def crypt_id(id: str | ReadableBuffer, stamp: int | None = None) -> bytes: ...
def decrypt_id(
    token: str | ReadableBuffer, lifetime: int = ..., now: int | None = None
) -> bytes | None: ...
def inspect_token(
    token: str | ReadableBuffer, lifetime: int = ..., now: int | None = None
) -> tuple[str, str | None, bytes | None, int | None, int | None, int | None]: ...
def year_stamp() -> int: ...
