"""Shared fixtures. The tests run against an installed idstamp; the source
tree (IDSTAMP_SOURCE_DIR, by default the one holding these tests) gives the
published vectors and the independent model in tools/make_token_vectors.py."""

import os
from pathlib import Path
from types import ModuleType

import pytest

import idstamp

SOURCE = Path(os.environ.get("IDSTAMP_SOURCE_DIR", Path(__file__).resolve().parents[2]))


def build_map(model: ModuleType) -> bytes:
    """The encode map of the installed build, read off one token: the plain
    token 001A1234567890 holds every digit, and the model's position steps
    say where each one lands."""
    plain = b"001A1234567890"
    moved = model.step_e(model.step_r(bytearray(plain)))
    token = idstamp.crypt_id(b"A", stamp=1234567890)
    pairs = {p: t for p, t in zip(moved, token) if 48 <= p <= 57}
    return bytes(pairs[48 + d] for d in range(10))


@pytest.fixture(scope="session")
def model() -> ModuleType:
    """tools/make_token_vectors.py, set to the installed build's digit map."""
    path = SOURCE / "tools/make_token_vectors.py"
    module = ModuleType("token_model")  # not "__main__", so the script part stays idle
    module.__file__ = str(path)
    exec(compile(path.read_text(encoding="utf-8"), str(path), "exec"), module.__dict__)
    module.ENCODE = build_map(module)
    module.DECODE = bytes(48 + module.ENCODE.index(48 + d) for d in range(10))
    return module
