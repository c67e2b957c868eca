// idstamp._idstamp: the token functions for CPython, over the library's C
// interface: idstamp_issue_token and idstamp_check_token, which take texts
// with their lengths and write into buffers on this module's stack, so the
// only allocation is Python's own, of the result. The wheel links the
// library's code in; python3-idstamp calls libidstamp.so.1. Written against
// the stable ABI of CPython 3.11 (the build defines Py_LIMITED_API), so one
// binary serves 3.11 and every later version.
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

#include "idstamp/idstamp.h"
#include "idstamp/token_format.h"
#include "idstamp/version.h"

// The default lifetime as text, for the signatures in the docstrings.
#define IDSTAMP_TEXT(x) #x
#define IDSTAMP_TEXT_OF(x) IDSTAMP_TEXT(x)
#define DEFAULT_LIFETIME_TEXT IDSTAMP_TEXT_OF(IDSTAMP_DEFAULT_LIFETIME)

namespace {

// A TypeError naming the argument, what it must be, and what it was.
void wrong_type(PyObject* obj, const char* what, const char* wanted) {
  PyObject* type = PyType_GetName(Py_TYPE(obj));
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
    if (has_buffer_) PyBuffer_Release(&buffer_);
    Py_XDECREF(encoded_);
  }

  // Takes bytes, any other object with the buffer protocol, or a str
  // (encoded as UTF-8 with surrogateescape). False, with an exception set,
  // for any other type. A buffer that is not contiguous (every other byte
  // of another, say) is copied, as bytes() would copy it.
  bool take(PyObject* obj, const char* what) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_Check(obj)) {
      if (PyBytes_AsStringAndSize(obj, &data, &size) != 0) return false;
    } else if (PyUnicode_Check(obj)) {
      encoded_ = PyUnicode_AsEncodedString(obj, "utf-8", "surrogateescape");
      if (encoded_ == nullptr || PyBytes_AsStringAndSize(encoded_, &data, &size) != 0) return false;
    } else if (PyObject_CheckBuffer(obj)) {
      if (PyObject_GetBuffer(obj, &buffer_, PyBUF_FULL_RO) != 0) return false;
      has_buffer_ = true;
      if (PyBuffer_IsContiguous(&buffer_, 'C') != 0) {
        data = static_cast<char*>(buffer_.buf);
        size = buffer_.len;
      } else {
        encoded_ = PyBytes_FromObject(obj);
        if (encoded_ == nullptr || PyBytes_AsStringAndSize(encoded_, &data, &size) != 0) {
          return false;
        }
      }
    } else {
      wrong_type(obj, what, "bytes, a bytes-like object or str");
      return false;
    }
    view_ = std::string_view(data, static_cast<std::size_t>(size));
    return true;
  }

  std::string_view view() const { return view_; }

 private:
  std::string_view view_;
  PyObject* encoded_ = nullptr;  // the bytes of a str, or of a buffer that is not contiguous
  Py_buffer buffer_{};
  bool has_buffer_ = false;
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

// Binds a vectorcall's positional and keyword arguments to the parameters
// `names` (the first `required` of them required), as a Python function
// would. An argument not given stays nullptr.
template <std::size_t N>
bool bind(const char* function, const char* const (&names)[N], std::size_t required,
          PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject* (&out)[N]) {
  for (auto& slot : out) slot = nullptr;
  if (nargs < 0 || static_cast<std::size_t>(nargs) > N) {
    PyErr_Format(PyExc_TypeError, "%s() takes at most %zu arguments (%zd given)", function, N,
                 nargs);
    return false;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
  const Py_ssize_t nkw = kwnames != nullptr ? PyTuple_Size(kwnames) : 0;
  for (Py_ssize_t k = 0; k < nkw; ++k) {
    PyObject* key = PyTuple_GetItem(kwnames, k);  // borrowed; always a str
    std::size_t i = 0;
    while (i < N && PyUnicode_CompareWithASCIIString(key, names[i]) != 0) ++i;
    if (i == N) {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", function, key);
      return false;
    }
    if (out[i] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", function,
                   names[i]);
      return false;
    }
    out[i] = args[nargs + k];
  }
  for (std::size_t i = 0; i < required; ++i) {
    if (out[i] == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s'", function, names[i]);
      return false;
    }
  }
  return true;
}

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
bool check_args(const char* function, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                Text& token, std::int32_t& lifetime, std::optional<std::uint32_t>& now) {
  static const char* const names[] = {"token", "lifetime", "now"};
  PyObject* bound[3];
  return bind(function, names, 1, args, nargs, kwnames, bound) && token.take(bound[0], "token") &&
         lifetime_arg(bound[1], lifetime) && stamp_arg(bound[2], "now", now);
}

PyObject* crypt_id(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const char* const names[] = {"id", "stamp"};
  PyObject* bound[2];
  Text id;
  std::optional<std::uint32_t> stamp;
  if (!bind("crypt_id", names, 1, args, nargs, kwnames, bound) || !id.take(bound[0], "id") ||
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

PyObject* decrypt_id(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  Text token;
  std::int32_t lifetime = IDSTAMP_DEFAULT_LIFETIME;
  std::optional<std::uint32_t> now;
  if (!check_args("decrypt_id", args, nargs, kwnames, token, lifetime, now)) return nullptr;
  if (lifetime <= 0) Py_RETURN_NONE;  // nothing is fresh: no need for the clock
  idstamp_report report;
  if (check(token.view(), lifetime, now, report) != IDSTAMP_FRESH) Py_RETURN_NONE;
  return bytes_of({report.id, report.id_length});
}

// (verdict name, reason, id, stamp, now, age_ms), each None when it does
// not apply; the package makes a TokenReport of it.
PyObject* inspect_token(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  Text token;
  std::int32_t lifetime = IDSTAMP_DEFAULT_LIFETIME;
  std::optional<std::uint32_t> now;
  if (!check_args("inspect_token", args, nargs, kwnames, token, lifetime, now)) return nullptr;
  idstamp_report report;
  const auto verdict = static_cast<idstamp::Verdict>(check(token.view(), lifetime, now, report));
  // A new reference to what `make` makes for a token that parses, else to None.
  const auto parsed = [&report](auto make) {
    return report.parsed != 0 ? make() : Py_NewRef(Py_None);
  };
  // Items are made one at a time and the first failure ends it, so that no
  // API call runs with an error set. A failed put releases the tuple and
  // the items already in it.
  PyObject* result = PyTuple_New(6);
  const auto put = [&result](Py_ssize_t i, PyObject* item) {
    if (item == nullptr) {
      Py_CLEAR(result);
      return false;
    }
    PyTuple_SetItem(result, i, item);  // steals the reference
    return true;
  };
  if (result == nullptr || !put(0, str_of(idstamp::verdict_name(verdict))) ||
      !put(1, report.reason != nullptr ? str_of(report.reason) : Py_NewRef(Py_None)) ||
      !put(2, parsed([&] { return bytes_of(std::string_view(report.id, report.id_length)); })) ||
      !put(3, parsed([&] { return PyLong_FromLongLong(report.stamp); })) ||
      !put(4, parsed([&] { return PyLong_FromUnsignedLong(report.now); })) ||
      !put(5, parsed([&] { return PyLong_FromLongLong(report.age_ms); })))
    return nullptr;
  return result;
}

PyObject* year_stamp(PyObject*, PyObject*) { return PyLong_FromUnsignedLong(idstamp_year_stamp()); }

// Casts through void (*)(void), which every function pointer type may take.
template <typename F>
PyCFunction as_cfunction(F* f) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(f));
}

PyMethodDef methods[] = {
    {"crypt_id", as_cfunction(crypt_id), METH_FASTCALL | METH_KEYWORDS,
     "crypt_id($module, /, id, stamp=None)\n--\n\n"
     "A token for id (1 to 999 bytes, none of them zero) issued at year stamp\n"
     "stamp, or now when stamp is None."},
    {"decrypt_id", as_cfunction(decrypt_id), METH_FASTCALL | METH_KEYWORDS,
     "decrypt_id($module, /, token, lifetime=" DEFAULT_LIFETIME_TEXT ", now=None)\n--\n\n"
     "The id token carries while it is younger than lifetime minutes at year\n"
     "stamp now (the clock when None); None for any other token."},
    {"inspect_token", as_cfunction(inspect_token), METH_FASTCALL | METH_KEYWORDS,
     "inspect_token($module, /, token, lifetime=" DEFAULT_LIFETIME_TEXT ", now=None)\n--\n\n"
     "The verdict on token as a tuple (verdict, reason, id, stamp, now, age_ms)."},
    {"year_stamp", year_stamp, METH_NOARGS,
     "year_stamp($module, /)\n--\n\n"
     "Milliseconds since local midnight of 1 January, modulo 2**32."},
    {nullptr, nullptr, 0, nullptr},
};

int exec_module(PyObject* module) {
  if (PyModule_AddIntConstant(module, "MAX_ID_LENGTH", IDSTAMP_MAX_ID_LENGTH) != 0 ||
      PyModule_AddIntConstant(module, "DEFAULT_LIFETIME", IDSTAMP_DEFAULT_LIFETIME) != 0)
    return -1;
  return PyModule_AddStringConstant(module, "__version__", IDSTAMP_VERSION_STRING);
}

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "idstamp._idstamp",
    "The compiled core of the idstamp package; import idstamp instead.",
    0,
    methods,
    slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__idstamp(void) { return PyModuleDef_Init(&module_def); }
