// idstamp._idstamp: the token functions for CPython, over the library's C
// interface: idstamp_issue_token and idstamp_check_token, which take texts
// with their lengths and write into buffers on this module's stack, so the
// only allocation is Python's own, of the result. The wheel links the
// library's code in; python3-idstamp calls libidstamp.so.1.
//
// Written against CPython's stable ABI (the build defines Py_LIMITED_API),
// so one binary serves the version it names and every later one. One
// source serves two such versions, with the same behaviour and messages:
// - 3.9: arguments arrive as a tuple and a dict, and a bytes-like object
//   other than bytes and bytearray is copied as bytes() would copy it, since
//   that API has neither METH_FASTCALL nor the buffer protocol;
// - 3.11: arguments arrive in a vector (METH_FASTCALL), and any buffer is
//   read in place when it is contiguous: the faster calls.
// The report type and year_stamp(at) keep to the 3.9 part of the API on
// both: a datetime is read through its attributes, not through datetime.h.
//
// Ids and tokens arrive as bytes-like objects or str (UTF-8 with
// surrogateescape) and are handed to the library with their lengths, so a
// zero byte reaches it as the byte it is. Calls are far too short to gain
// from releasing the GIL; the library keeps no state, so holding it costs
// no parallelism that could be had.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "idstamp/date_ticks.h"
#include "idstamp/idstamp.h"
#include "idstamp/token_format.h"
#include "idstamp/version.h"

#if !defined(Py_LIMITED_API) || Py_LIMITED_API + 0 < 0x03090000
#error "the extension is built against the stable ABI of CPython 3.9 or later"
#endif
// What the stable ABI gained after 3.9 that the extension uses.
#define IDSTAMP_FASTCALL (Py_LIMITED_API + 0 >= 0x030A0000)
#define IDSTAMP_BUFFERS (Py_LIMITED_API + 0 >= 0x030B0000)

// The default lifetime as text, for the signatures in the docstrings.
#define IDSTAMP_TEXT(x) #x
#define IDSTAMP_TEXT_OF(x) IDSTAMP_TEXT(x)
#define DEFAULT_LIFETIME_TEXT IDSTAMP_TEXT_OF(IDSTAMP_DEFAULT_LIFETIME)

namespace {

// The names year_stamp(at) reads, interned: a name made afresh for each
// lookup would fill the interpreter's attribute cache with copies.
const char* const attribute_names[] = {"year",   "month",  "day",         "hour",
                                       "minute", "second", "microsecond", "utcoffset"};
constexpr std::size_t utcoffset_name = 7;

// What the module holds: the report type it makes and the objects it
// needs to make and judge values.
struct State {
  PyObject* report_type;  // TokenReport, a struct sequence type
  PyObject* verdicts[4];  // the members of idstamp.Verdict, by idstamp_verdict
  PyObject* datetime_type;
  PyObject* names[8];  // attribute_names
};

State& state_of(PyObject* module) { return *static_cast<State*>(PyModule_GetState(module)); }

// A new reference to obj.
PyObject* new_ref(PyObject* obj) {
  Py_INCREF(obj);
  return obj;
}

// A TypeError naming the argument, what it must be, and what it was.
void wrong_type(PyObject* obj, const char* what, const char* wanted) {
  PyObject* type = PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__name__");
  if (type == nullptr) return;
  PyErr_Format(PyExc_TypeError, "%s must be %s, not %U", what, wanted, type);
  Py_DECREF(type);
}

// The bytes of an id or token argument, held for the length of one call.
class Text {
 public:
  Text() = default;
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() {
#if IDSTAMP_BUFFERS
    if (has_buffer_) PyBuffer_Release(&buffer_);
#endif
    Py_XDECREF(encoded_);
  }

  // Takes bytes, any other object with the buffer protocol, or a str
  // (encoded as UTF-8 with surrogateescape). False, with an exception set,
  // for any other type. A buffer that cannot be read in place (one that is
  // not contiguous, every other byte of another say, or any buffer but a
  // bytearray where the API has no buffer protocol) is copied, as bytes()
  // would copy it.
  bool take(PyObject* obj, const char* what) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_Check(obj)) {
      if (PyBytes_AsStringAndSize(obj, &data, &size) != 0) return false;
    } else if (PyUnicode_Check(obj)) {
      encoded_ = PyUnicode_AsEncodedString(obj, "utf-8", "surrogateescape");
      if (encoded_ == nullptr || PyBytes_AsStringAndSize(encoded_, &data, &size) != 0) return false;
#if IDSTAMP_BUFFERS
    } else if (PyObject_CheckBuffer(obj)) {
      if (PyObject_GetBuffer(obj, &buffer_, PyBUF_FULL_RO) != 0) return false;
      has_buffer_ = true;
      if (PyBuffer_IsContiguous(&buffer_, 'C') != 0) {
        data = static_cast<char*>(buffer_.buf);
        size = buffer_.len;
      } else if (!copy(obj, data, size)) {
        return false;
      }
    } else {
      wrong_type(obj, what, "bytes, a bytes-like object or str");
      return false;
    }
#else
    } else if (PyByteArray_Check(obj)) {
      // Read in place: nothing runs that could resize it during the call.
      data = PyByteArray_AsString(obj);
      size = PyByteArray_Size(obj);
    } else if (!copy_buffer(obj, what, data, size)) {  // or refuses obj
      return false;
    }
#endif
    view_ = std::string_view(data, static_cast<std::size_t>(size));
    return true;
  }

  std::string_view view() const { return view_; }

 private:
  // Copies the bytes of obj, a buffer, as bytes(obj) would.
  bool copy(PyObject* obj, char*& data, Py_ssize_t& size) {
    encoded_ = PyBytes_FromObject(obj);
    return encoded_ != nullptr && PyBytes_AsStringAndSize(encoded_, &data, &size) == 0;
  }

#if !IDSTAMP_BUFFERS
  // Without the buffer protocol in the API, a memoryview tells whether obj
  // is a buffer at all (bytes() would also take a list of ints, which the
  // functions refuse): the TypeError it raises for any other object becomes
  // the functions' own. Any other error (a released memoryview's, say) is
  // left as it is, as the buffer protocol would leave it.
  bool copy_buffer(PyObject* obj, const char* what, char*& data, Py_ssize_t& size) {
    PyObject* view = PyMemoryView_FromObject(obj);
    if (view == nullptr) {
      if (PyErr_ExceptionMatches(PyExc_TypeError) != 0) {
        PyErr_Clear();
        wrong_type(obj, what, "bytes, a bytes-like object or str");
      }
      return false;
    }
    const bool copied = copy(view, data, size);
    Py_DECREF(view);
    return copied;
  }
#endif

  std::string_view view_;
  PyObject* encoded_ = nullptr;  // the bytes of a str, or of a buffer copied
#if IDSTAMP_BUFFERS
  Py_buffer buffer_{};
  bool has_buffer_ = false;
#endif
};

// An int argument in [lo, hi]: an int, or an object with __index__, but not
// a bool. TypeError for anything else, naming the argument and `wanted`;
// ValueError outside the range.
bool integer(PyObject* obj, const char* what, const char* wanted, long long lo, long long hi,
             long long& out) {
  if (PyBool_Check(obj) || PyIndex_Check(obj) == 0) {
    wrong_type(obj, what, wanted);
    return false;
  }
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(obj, &overflow);
  if (value == -1 && PyErr_Occurred() != nullptr) return false;
  if (overflow != 0 || value < lo || value > hi) {
    PyErr_Format(PyExc_ValueError, "%s must be in %lld to %lld", what, lo, hi);
    return false;
  }
  out = value;
  return true;
}

// A year stamp argument: None for the clock, else 0 to 2^32 - 1.
bool stamp_arg(PyObject* obj, const char* what, std::optional<std::uint32_t>& out) {
  if (obj == nullptr || obj == Py_None) return true;
  long long value = 0;
  if (!integer(obj, what, "an int or None", 0, UINT32_MAX, value)) return false;
  out = static_cast<std::uint32_t>(value);
  return true;
}

bool lifetime_arg(PyObject* obj, std::int32_t& out) {
  if (obj == nullptr) return true;  // the default
  long long value = 0;
  if (!integer(obj, "lifetime", "an int", INT32_MIN, INT32_MAX, value)) return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

// The arguments of one call, as the interpreter hands them over.
struct Call {
#if IDSTAMP_FASTCALL
  PyObject* const* args;  // the positional ones, then the keyword ones' values
  Py_ssize_t nargs;
  PyObject* kwnames;  // a tuple of the keywords' names, or nullptr
#else
  PyObject* args;    // a tuple
  PyObject* kwargs;  // a dict, or nullptr
#endif
};

// Puts `value`, given as the keyword `key`, into the slot of `out` that
// `names` gives it.
template <std::size_t N>
bool bind_keyword(const char* function, const char* const (&names)[N], PyObject* key,
                  PyObject* value, PyObject* (&out)[N]) {
  std::size_t i = 0;
  while (i < N && PyUnicode_CompareWithASCIIString(key, names[i]) != 0) ++i;
  if (i == N) {
    PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", function, key);
    return false;
  }
  if (out[i] != nullptr) {
    PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", function, names[i]);
    return false;
  }
  out[i] = value;
  return true;
}

// Binds a call's positional and keyword arguments to the parameters `names`
// (the first `required` of them required), as a Python function would. An
// argument not given stays nullptr; the others are borrowed from the call.
template <std::size_t N>
bool bind(const char* function, const char* const (&names)[N], std::size_t required,
          const Call& call, PyObject* (&out)[N]) {
  for (auto& slot : out) slot = nullptr;
#if IDSTAMP_FASTCALL
  const Py_ssize_t nargs = call.nargs;
#else
  const Py_ssize_t nargs = PyTuple_Size(call.args);
#endif
  if (nargs < 0 || static_cast<std::size_t>(nargs) > N) {
    PyErr_Format(PyExc_TypeError, "%s() takes at most %zu arguments (%zd given)", function, N,
                 nargs);
    return false;
  }
#if IDSTAMP_FASTCALL
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = call.args[i];
  const Py_ssize_t nkw = call.kwnames != nullptr ? PyTuple_Size(call.kwnames) : 0;
  for (Py_ssize_t k = 0; k < nkw; ++k) {
    PyObject* key = PyTuple_GetItem(call.kwnames, k);  // borrowed; always a str
    if (!bind_keyword(function, names, key, call.args[nargs + k], out)) return false;
  }
#else
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = PyTuple_GetItem(call.args, i);  // borrowed
  Py_ssize_t position = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  while (call.kwargs != nullptr && PyDict_Next(call.kwargs, &position, &key, &value) != 0) {
    if (!bind_keyword(function, names, key, value, out)) return false;  // keys are str
  }
#endif
  for (std::size_t i = 0; i < required; ++i) {
    if (out[i] == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s'", function, names[i]);
      return false;
    }
  }
  return true;
}

// A function of the module taking a Call, as the method table takes it.
using CallFunction = PyObject* (*)(PyObject* module, const Call& call);
#if IDSTAMP_FASTCALL
constexpr int call_flags = METH_FASTCALL | METH_KEYWORDS;
template <CallFunction F>
PyObject* entry(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return F(module, Call{args, nargs, kwnames});
}
#else
constexpr int call_flags = METH_VARARGS | METH_KEYWORDS;
template <CallFunction F>
PyObject* entry(PyObject* module, PyObject* args, PyObject* kwargs) {
  return F(module, Call{args, kwargs});
}
#endif

PyObject* bytes_of(std::string_view text) {
  return PyBytes_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* str_of(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// A year stamp argument as the C interface takes it: NULL for the clock.
const std::uint32_t* stamp_or_clock(const std::optional<std::uint32_t>& stamp) {
  return stamp ? &*stamp : nullptr;
}

// The verdict on `token`, filling `report`.
idstamp_verdict check(std::string_view token, std::int32_t lifetime,
                      const std::optional<std::uint32_t>& now, idstamp_report& report) {
  return idstamp_check_token(token.data(), token.size(), lifetime, stamp_or_clock(now), &report);
}

// Parses the arguments of decrypt_id and inspect_token.
bool check_args(const char* function, const Call& call, Text& token, std::int32_t& lifetime,
                std::optional<std::uint32_t>& now) {
  static const char* const names[] = {"token", "lifetime", "now"};
  PyObject* bound[3];
  return bind(function, names, 1, call, bound) && token.take(bound[0], "token") &&
         lifetime_arg(bound[1], lifetime) && stamp_arg(bound[2], "now", now);
}

PyObject* crypt_id(PyObject*, const Call& call) {
  static const char* const names[] = {"id", "stamp"};
  PyObject* bound[2];
  Text id;
  std::optional<std::uint32_t> stamp;
  if (!bind("crypt_id", names, 1, call, bound) || !id.take(bound[0], "id") ||
      !stamp_arg(bound[1], "stamp", stamp)) {
    return nullptr;
  }
  char token[IDSTAMP_MAX_TOKEN_LENGTH];
  const std::size_t n = idstamp_issue_token(token, sizeof token, id.view().data(), id.view().size(),
                                            stamp_or_clock(stamp));
  if (n == 0) {  // the buffer holds any token: the id cannot be issued
    PyErr_Format(PyExc_ValueError,
                 "id must be 1 to %d bytes long with no zero byte; it is %zu bytes long",
                 IDSTAMP_MAX_ID_LENGTH, id.view().size());
    return nullptr;
  }
  return bytes_of({token, n});
}

PyObject* decrypt_id(PyObject*, const Call& call) {
  Text token;
  std::int32_t lifetime = IDSTAMP_DEFAULT_LIFETIME;
  std::optional<std::uint32_t> now;
  if (!check_args("decrypt_id", call, token, lifetime, now)) return nullptr;
  if (lifetime <= 0) Py_RETURN_NONE;  // nothing is fresh: no need for the clock
  idstamp_report report;
  if (check(token.view(), lifetime, now, report) != IDSTAMP_FRESH) Py_RETURN_NONE;
  return bytes_of({report.id, report.id_length});
}

// The fields of a report, in the one order the package has: inspect_token
// fills them by index, and the stub lists them in the same order.
PyStructSequence_Field report_fields[] = {
    {"verdict", "what the checker makes of the token: an idstamp.Verdict"},
    {"reason", "why a malformed token is malformed; None otherwise"},
    {"id", "the id the token carries"},
    {"stamp", "the stamp as written, which may be a value no issued token holds"},
    {"now", "the year stamp the token was judged against"},
    {"age_ms", "now - stamp in milliseconds"},
    {nullptr, nullptr},
};
enum ReportField { verdict_field, reason_field, id_field, stamp_field, now_field, age_field };

PyStructSequence_Desc report_desc = {
    "idstamp.TokenReport",
    "The verdict on a token, and what could be read from it: a named tuple\n"
    "(verdict, reason, id, stamp, now, age_ms).\n\n"
    "reason says why a malformed token is malformed, and is None otherwise.\n"
    "The other fields are None for a token that does not parse.",
    report_fields,
    6,
};

PyObject* inspect_token(PyObject* module, const Call& call) {
  Text token;
  std::int32_t lifetime = IDSTAMP_DEFAULT_LIFETIME;
  std::optional<std::uint32_t> now;
  if (!check_args("inspect_token", call, token, lifetime, now)) return nullptr;
  idstamp_report report;
  const idstamp_verdict verdict = check(token.view(), lifetime, now, report);
  const State& state = state_of(module);
  // A new reference to what `make` makes for a token that parses, else to None.
  const auto parsed = [&report](auto make) {
    return report.parsed != 0 ? make() : new_ref(Py_None);
  };
  // Items are made one at a time and the first failure ends it, so that no
  // API call runs with an error set. A failed put releases the report and
  // the items already in it.
  PyObject* result = PyStructSequence_New(reinterpret_cast<PyTypeObject*>(state.report_type));
  const auto put = [&result](ReportField i, PyObject* item) {
    if (item == nullptr) {
      Py_CLEAR(result);
      return false;
    }
    PyStructSequence_SetItem(result, i, item);  // steals the reference
    return true;
  };
  if (result == nullptr || !put(verdict_field, new_ref(state.verdicts[verdict])) ||
      !put(reason_field, report.reason != nullptr ? str_of(report.reason) : new_ref(Py_None)) ||
      !put(id_field,
           parsed([&] { return bytes_of(std::string_view(report.id, report.id_length)); })) ||
      !put(stamp_field, parsed([&] { return PyLong_FromLongLong(report.stamp); })) ||
      !put(now_field, parsed([&] { return PyLong_FromUnsignedLong(report.now); })) ||
      !put(age_field, parsed([&] { return PyLong_FromLongLong(report.age_ms); })))
    return nullptr;
  return result;
}

// The int attribute `name` of obj, which a datetime's fields are.
bool int_attribute(PyObject* obj, PyObject* name, long& out) {
  PyObject* value = PyObject_GetAttr(obj, name);
  if (value == nullptr) return false;
  out = PyLong_AsLong(value);
  Py_DECREF(value);
  return !(out == -1 && PyErr_Occurred() != nullptr);
}

// Whether `at`, a datetime, is aware: its utcoffset() is not None.
bool aware(PyObject* at, PyObject* utcoffset, bool& out) {
  PyObject* method = PyObject_GetAttr(at, utcoffset);
  if (method == nullptr) return false;
  PyObject* offset = PyObject_CallObject(method, nullptr);
  Py_DECREF(method);
  if (offset == nullptr) return false;
  out = offset != Py_None;
  Py_DECREF(offset);
  return true;
}

// The stamp of the clock, or of the wall-clock fields of an aware datetime,
// whatever its zone: the stamp a host in that zone issues at that moment.
// Takes its arguments as a tuple and a dict on every version: it is not
// among the calls made often.
PyObject* year_stamp(PyObject* module, PyObject* args, PyObject* kwargs) {
  static const char* names[] = {"at", nullptr};
  PyObject* at = Py_None;
  if (PyArg_ParseTupleAndKeywords(args, kwargs, "|O:year_stamp", const_cast<char**>(names), &at) ==
      0)
    return nullptr;
  if (at == Py_None) return PyLong_FromUnsignedLong(idstamp_year_stamp());
  const State& state = state_of(module);
  const int is_datetime = PyObject_IsInstance(at, state.datetime_type);
  if (is_datetime < 0) return nullptr;
  if (is_datetime == 0) {
    wrong_type(at, "at", "an aware datetime or None");
    return nullptr;
  }
  bool is_aware = false;
  if (!aware(at, state.names[utcoffset_name], is_aware)) return nullptr;
  if (!is_aware) {
    PyErr_SetString(PyExc_ValueError,
                    "at must be an aware datetime, with a tzinfo that gives its offset; "
                    "this one is naive");
    return nullptr;
  }
  long value[7];  // each in its datetime range, which ticks_from_parts takes as it is
  for (std::size_t i = 0; i < 7; ++i) {
    if (!int_attribute(at, state.names[i], value[i])) return nullptr;
  }
  const auto field = [&value](std::size_t i) { return static_cast<std::int32_t>(value[i]); };
  const idstamp::DateTicks ticks = idstamp::ticks_from_parts(field(0), field(1), field(2), field(3),
                                                             field(4), field(5), field(6) / 1000);
  return PyLong_FromUnsignedLong(idstamp::year_stamp_of(ticks));
}

// Casts through void (*)(void), which every function pointer type may take.
template <typename F>
PyCFunction as_cfunction(F* f) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(f));
}

PyMethodDef methods[] = {
    {"crypt_id", as_cfunction(entry<crypt_id>), call_flags,
     "crypt_id($module, /, id, stamp=None)\n--\n\n"
     "A token for id (1 to 999 bytes, none of them zero) issued at year stamp\n"
     "stamp, or now when stamp is None."},
    {"decrypt_id", as_cfunction(entry<decrypt_id>), call_flags,
     "decrypt_id($module, /, token, lifetime=" DEFAULT_LIFETIME_TEXT ", now=None)\n--\n\n"
     "The id token carries while it is younger than lifetime minutes at year\n"
     "stamp now (the clock when None); None for any other token."},
    {"inspect_token", as_cfunction(entry<inspect_token>), call_flags,
     "inspect_token($module, /, token, lifetime=" DEFAULT_LIFETIME_TEXT ", now=None)\n--\n\n"
     "The verdict on token for lifetime minutes at year stamp now (the clock\n"
     "when None, read only for a token that parses), as a TokenReport."},
    {"year_stamp", as_cfunction(year_stamp), METH_VARARGS | METH_KEYWORDS,
     "year_stamp($module, /, at=None)\n--\n\n"
     "Milliseconds since midnight of 1 January, modulo 2**32: of the local\n"
     "clock when at is None, else of the wall-clock fields of at, an aware\n"
     "datetime, in its own zone."},
    {nullptr, nullptr, 0, nullptr},
};

// Gives the report type the __match_args__ that struct sequence types have
// from 3.10 on (the stub declares it), where the interpreter did not.
bool give_match_args(PyObject* type) {
  if (PyObject_HasAttrString(type, "__match_args__") != 0) return true;
  constexpr Py_ssize_t count = sizeof report_fields / sizeof report_fields[0] - 1;
  PyObject* names = PyTuple_New(count);
  if (names == nullptr) return false;
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* name = PyUnicode_FromString(report_fields[i].name);
    if (name == nullptr || PyTuple_SetItem(names, i, name) != 0) {  // steals name
      Py_DECREF(names);
      return false;
    }
  }
  const int set = PyObject_SetAttrString(type, "__match_args__", names);
  Py_DECREF(names);
  return set == 0;
}

// Adds obj, a new reference or nullptr, to the module as `name`, and keeps
// a reference in `slot`.
bool add(PyObject* module, const char* name, PyObject* obj, PyObject*& slot) {
  if (obj == nullptr) return false;
  slot = obj;
  if (PyModule_AddObject(module, name, new_ref(obj)) != 0) {
    Py_DECREF(obj);
    return false;
  }
  return true;
}

// The attribute `name` of the module `module_name`, a new reference.
PyObject* imported(const char* module_name, const char* name) {
  PyObject* module = PyImport_ImportModule(module_name);
  if (module == nullptr) return nullptr;
  PyObject* attribute = PyObject_GetAttrString(module, name);
  Py_DECREF(module);
  return attribute;
}

int exec_module(PyObject* module) {
  State& state = state_of(module);
  if (PyModule_AddIntConstant(module, "MAX_ID_LENGTH", IDSTAMP_MAX_ID_LENGTH) != 0 ||
      PyModule_AddIntConstant(module, "DEFAULT_LIFETIME", IDSTAMP_DEFAULT_LIFETIME) != 0 ||
      PyModule_AddStringConstant(module, "__version__", IDSTAMP_VERSION_STRING) != 0)
    return -1;
  PyObject* report_type = reinterpret_cast<PyObject*>(PyStructSequence_NewType(&report_desc));
  if (!add(module, "TokenReport", report_type, state.report_type) ||
      !give_match_args(state.report_type))
    return -1;
  state.datetime_type = imported("datetime", "datetime");
  if (state.datetime_type == nullptr) return -1;
  for (std::size_t i = 0; i < 8; ++i) {
    state.names[i] = PyUnicode_InternFromString(attribute_names[i]);
    if (state.names[i] == nullptr) return -1;
  }
  PyObject* verdict = imported("idstamp._verdict", "Verdict");
  if (verdict == nullptr) return -1;
  for (int i = 0; i < 4; ++i) {
    const std::string_view name = idstamp::verdict_name(static_cast<idstamp::Verdict>(i));
    PyObject* value = str_of(name);
    state.verdicts[i] =
        value != nullptr ? PyObject_CallFunctionObjArgs(verdict, value, nullptr) : nullptr;
    Py_XDECREF(value);
    if (state.verdicts[i] == nullptr) break;
  }
  Py_DECREF(verdict);
  return state.verdicts[3] != nullptr ? 0 : -1;
}

int traverse_module(PyObject* module, visitproc visit, void* arg) {
  State& state = state_of(module);
  Py_VISIT(state.report_type);
  for (PyObject* v : state.verdicts) Py_VISIT(v);
  Py_VISIT(state.datetime_type);
  for (PyObject* name : state.names) Py_VISIT(name);
  return 0;
}

int clear_module(PyObject* module) {
  State& state = state_of(module);
  Py_CLEAR(state.report_type);
  for (PyObject*& v : state.verdicts) Py_CLEAR(v);
  Py_CLEAR(state.datetime_type);
  for (PyObject*& name : state.names) Py_CLEAR(name);
  return 0;
}

void free_module(void* module) { clear_module(static_cast<PyObject*>(module)); }

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "idstamp._idstamp",
    "The compiled core of the idstamp package; import idstamp instead.",
    sizeof(State),
    methods,
    slots,
    traverse_module,
    clear_module,
    free_module,
};

}  // namespace

PyMODINIT_FUNC PyInit__idstamp(void) { return PyModuleDef_Init(&module_def); }
