"""Verdict, apart from the package's __init__ so that the compiled core can
import it while the package is still being imported."""

import enum


class Verdict(enum.Enum):
    """What a checker makes of a token."""

    FRESH = "fresh"  # 0 <= whole minutes since the stamp < lifetime
    EXPIRED = "expired"  # whole minutes since the stamp >= lifetime
    AHEAD = "ahead"  # stamped a minute or more ahead of the clock
    MALFORMED = "malformed"  # not a token
