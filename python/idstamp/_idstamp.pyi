# The compiled core of the idstamp package; the package documents it.
from datetime import datetime
from typing import Any, Final, final

from _typeshed import ReadableBuffer, structseq

from ._verdict import Verdict

DEFAULT_LIFETIME: Final[int]
MAX_ID_LENGTH: Final[int]
__version__: Final[str]

# The fields in the order the extension gives them.
@final
class TokenReport(
    structseq[Any],
    tuple[Verdict, str | None, bytes | None, int | None, int | None, int | None],
):
    __match_args__: Final = ("verdict", "reason", "id", "stamp", "now", "age_ms")
    @property
    def verdict(self) -> Verdict: ...
    @property
    def reason(self) -> str | None: ...
    @property
    def id(self) -> bytes | None: ...
    @property
    def stamp(self) -> int | None: ...
    @property
    def now(self) -> int | None: ...
    @property
    def age_ms(self) -> int | None: ...

def crypt_id(id: str | ReadableBuffer, stamp: int | None = None) -> bytes: ...
def decrypt_id(
    token: str | ReadableBuffer, lifetime: int = ..., now: int | None = None
) -> bytes | None: ...
def inspect_token(
    token: str | ReadableBuffer, lifetime: int = ..., now: int | None = None
) -> TokenReport: ...
def year_stamp(at: datetime | None = None) -> int: ...
