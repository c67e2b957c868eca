"""How the functions take their arguments, refuse misuse, hold up under
threads and a million calls, and describe themselves."""

import array
import ast
import gc
import inspect
import sys
import threading
from datetime import date, datetime, timedelta, timezone, tzinfo
from pathlib import Path

import pytest

import idstamp
from idstamp import Verdict

ID = "caf\u00e9-\udcff"  # a lone surrogate stands for the byte 0xff
ID_BYTES = b"caf\xc3\xa9-\xff"
TOKEN = idstamp.crypt_id(ID_BYTES, stamp=5)
AT = datetime(2021, 2, 19, 17, 2, 47, 296000, tzinfo=timezone.utc)


class NoOffset(tzinfo):
    """A zone that gives no offset, which leaves a datetime naive."""

    def utcoffset(self, dt):
        return None


def released():
    view = memoryview(b"user-42")
    view.release()
    return view


def every_other(b):
    """A view of every other byte, the bytes of b: not contiguous."""
    return memoryview(bytes(x for c in b for x in (c, 0)))[::2]


@pytest.mark.parametrize("kind", [bytes, bytearray, memoryview, str,
                                  lambda b: array.array("B", b), lambda b: memoryview(b"x" + b)[1:],
                                  every_other])
def test_every_form_of_bytes_is_the_same(kind):
    ident = ID if kind is str else kind(ID_BYTES)
    token = idstamp.crypt_id(ident, stamp=5)
    assert type(token) is bytes and token == TOKEN
    text = TOKEN.decode("utf-8", "surrogateescape")
    again = text if kind is str else kind(TOKEN)
    assert idstamp.decrypt_id(again, now=5) == ID_BYTES
    assert idstamp.inspect_token(again, now=5).id == ID_BYTES


def test_a_zero_byte_makes_a_token_malformed_wherever_it_is():
    for i in range(len(TOKEN)):
        token = TOKEN[:i] + b"\0" + TOKEN[i + 1:]
        assert idstamp.inspect_token(token, now=5).verdict is Verdict.MALFORMED
        assert idstamp.decrypt_id(token, now=5) is None


# Each error names the argument at fault.
@pytest.mark.parametrize("call, error, message", [
    (lambda: idstamp.crypt_id(42), TypeError, "id must be bytes, a bytes-like object or str, not int"),
    (lambda: idstamp.crypt_id(None), TypeError, "id must be .*, not NoneType"),
    (lambda: idstamp.crypt_id(b"A", stamp=1.5), TypeError, "stamp must be an int or None, not float"),
    (lambda: idstamp.crypt_id(b"A", stamp="5"), TypeError, "stamp must be an int or None, not str"),
    (lambda: idstamp.crypt_id(b"A", stamp=True), TypeError, "stamp must be an int or None, not bool"),
    (lambda: idstamp.decrypt_id(["x"]), TypeError, "token must be .*, not list"),
    # bytes() would take these, but they are not bytes-like
    (lambda: idstamp.crypt_id([65, 66]), TypeError, "id must be .*, not list"),
    (lambda: idstamp.inspect_token(iter(TOKEN)), TypeError, "token must be .*, not bytes_iterator"),
    (lambda: idstamp.crypt_id(released()), ValueError, "released memoryview"),
    (lambda: idstamp.decrypt_id(b"x", lifetime=None), TypeError, "lifetime must be an int, not NoneType"),
    (lambda: idstamp.decrypt_id(TOKEN, lifetime=False), TypeError, "lifetime must be an int, not bool"),
    (lambda: idstamp.inspect_token(b"x", lifetime=30.0), TypeError, "lifetime must be an int, not float"),
    (lambda: idstamp.inspect_token(b"x", now=1.0), TypeError, "now must be an int or None, not float"),
    (lambda: idstamp.decrypt_id(TOKEN, now=True), TypeError, "now must be an int or None, not bool"),
    (lambda: idstamp.crypt_id(b"A", 5, 6), TypeError, r"crypt_id\(\) takes at most 2 arguments"),
    (lambda: idstamp.crypt_id(b"A", 5, stamp=6), TypeError, "multiple values for argument 'stamp'"),
    (lambda: idstamp.crypt_id(ident=b"A"), TypeError, "unexpected keyword argument 'ident'"),
    (lambda: idstamp.decrypt_id(), TypeError, "missing required argument 'token'"),
    (lambda: idstamp.year_stamp(1), TypeError, "at must be an aware datetime or None, not int"),
    (lambda: idstamp.year_stamp(date(2021, 1, 1)), TypeError, "at must be .*, not date"),
    (lambda: idstamp.year_stamp(AT, AT), TypeError, r"year_stamp\(\) takes at most 1 argument"),
    (lambda: idstamp.year_stamp(datetime(2021, 1, 1)), ValueError, "at must be an aware datetime"),
    (lambda: idstamp.year_stamp(AT.replace(tzinfo=NoOffset())), ValueError, "this one is naive"),
    (lambda: idstamp.crypt_id(b""), ValueError, "id must be 1 to 999 bytes"),
    (lambda: idstamp.crypt_id(""), ValueError, "id must be"),
    (lambda: idstamp.crypt_id(b"x" * 1000), ValueError, "id must be"),
    (lambda: idstamp.crypt_id("\u00e9" * 500), ValueError, "it is 1000 bytes long"),  # in 500 characters
    (lambda: idstamp.crypt_id(b"A\0B"), ValueError, "id must be"),
    (lambda: idstamp.crypt_id(b"A", stamp=-1), ValueError, "stamp must be in 0 to 4294967295"),
    (lambda: idstamp.crypt_id(b"A", stamp=2**32), ValueError, "stamp must be"),
    (lambda: idstamp.crypt_id(b"A", stamp=2**64), ValueError, "stamp must be"),
    (lambda: idstamp.decrypt_id(TOKEN, now=-1), ValueError, "now must be"),
    (lambda: idstamp.inspect_token(TOKEN, now=2**32), ValueError, "now must be"),
    (lambda: idstamp.decrypt_id(TOKEN, lifetime=2**31), ValueError, "lifetime must be in -2147483648"),
    (lambda: idstamp.inspect_token(TOKEN, lifetime=-(2**31) - 1), ValueError, "lifetime must be"),
])
def test_misuse_raises(call, error, message):
    with pytest.raises(error, match=message):
        call()


def test_keywords_in_any_order_bind_as_positions_do():
    assert idstamp.crypt_id(stamp=5, id=ID_BYTES) == idstamp.crypt_id(ID_BYTES, stamp=5) == TOKEN
    assert tuple(idstamp.inspect_token(now=59999, token=TOKEN, lifetime=1)) == \
        tuple(idstamp.inspect_token(TOKEN, 1, now=59999)) == tuple(idstamp.inspect_token(TOKEN, 1, 59999))
    assert idstamp.decrypt_id(now=60005, lifetime=1, token=TOKEN) is None  # expired at one minute


def test_limits_are_accepted():
    assert idstamp.decrypt_id(idstamp.crypt_id(b"x" * idstamp.MAX_ID_LENGTH, 2**32 - 1),
                              2**31 - 1, 2**32 - 1) == b"x" * 999
    assert idstamp.inspect_token(idstamp.crypt_id(b"A", 60000), -(2**31), 0).verdict is Verdict.AHEAD


def test_signatures_and_metadata():
    signatures = {f.__name__: [(p.name, p.default, p.kind) for p in
                               inspect.signature(f).parameters.values()]
                  for f in (idstamp.crypt_id, idstamp.decrypt_id, idstamp.inspect_token,
                            idstamp.year_stamp)}
    either, empty = inspect.Parameter.POSITIONAL_OR_KEYWORD, inspect.Parameter.empty
    check = [("token", empty, either), ("lifetime", 30, either), ("now", None, either)]
    assert signatures == {"crypt_id": [("id", empty, either), ("stamp", None, either)],
                          "decrypt_id": check, "inspect_token": check,
                          "year_stamp": [("at", None, either)]}
    assert (idstamp.__version__, idstamp.MAX_ID_LENGTH, idstamp.DEFAULT_LIFETIME) == ("1.3.0", 999, 30)
    assert [v.value for v in Verdict] == ["fresh", "expired", "ahead", "malformed"]
    with pytest.raises(AttributeError):
        idstamp.inspect_token(TOKEN).verdict = Verdict.FRESH  # frozen


def test_the_stub_follows_the_report_fields():
    """The stub lists the fields the extension defines, in its order, with
    one type for each in the tuple and the property alike."""
    stub = Path(idstamp._idstamp.__file__).with_name("_idstamp.pyi")
    report = next(node for node in ast.parse(stub.read_text(encoding="utf-8")).body
                  if isinstance(node, ast.ClassDef) and node.name == "TokenReport")
    properties = [node for node in report.body if isinstance(node, ast.FunctionDef)]
    match_args = next(ast.literal_eval(node.value) for node in report.body
                      if isinstance(node, ast.AnnAssign) and node.target.id == "__match_args__")
    items = report.bases[1].slice.elts  # tuple[...]
    fields = idstamp.TokenReport.__match_args__
    assert len(fields) == idstamp.TokenReport.n_fields == 6
    assert match_args == fields == tuple(p.name for p in properties)
    assert [ast.unparse(p.returns) for p in properties] == [ast.unparse(t) for t in items]


def test_threads_calling_at_once():
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-6)  # switch threads as often as the interpreter can
    barrier, failures = threading.Barrier(8), []

    def work(n):
        barrier.wait()
        for i in range(3000):
            ident = b"thread-%d-%d" % (n, i)
            if idstamp.decrypt_id(idstamp.crypt_id(ident, i), 1, i + 59999) != ident or \
                    idstamp.decrypt_id(idstamp.crypt_id(ident)) != ident:
                failures.append(ident)

    threads = [threading.Thread(target=work, args=(n,)) for n in range(8)]
    try:
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    finally:
        sys.setswitchinterval(interval)
    assert failures == []


def resident_bytes():
    with open("/proc/self/statm", encoding="ascii") as f:
        return int(f.read().split()[1]) * 4096


def test_a_million_calls_leak_nothing():
    ident, text, view = b"user-42", ID, memoryview(bytearray(TOKEN))
    naive = datetime(2021, 1, 1)
    watched = (ident, text, view, TOKEN, 30, AT, naive)

    def calls(rounds):
        for _ in range(rounds):
            idstamp.crypt_id(text)
            idstamp.decrypt_id(view, now=5)
            idstamp.inspect_token(TOKEN, 30, 5)
            idstamp.year_stamp(AT)
            try:
                idstamp.crypt_id(ident, stamp=-1)
            except ValueError:
                pass
            try:
                idstamp.year_stamp(naive)
            except ValueError:
                pass

    calls(10000)
    gc.collect()
    refs, blocks, rss = [sys.getrefcount(o) for o in watched], sys.getallocatedblocks(), resident_bytes()
    none_refs = sys.getrefcount(None)
    calls(250000)  # a million and a half calls
    gc.collect()
    assert [sys.getrefcount(o) for o in watched] == refs
    # None's count also moves with the interpreter's own work, by a few; a
    # reference to it gained or lost on every call would move it by 250,000.
    assert abs(sys.getrefcount(None) - none_refs) < 1000
    # The interpreter's own caches move the count by a hundred or two; a
    # block lost on every call would move it by 250,000.
    assert sys.getallocatedblocks() - blocks < 1000
    assert resident_bytes() - rss < 2 << 20  # a leak of 8 bytes a call would be 8 MB
