// idstamp._idstamp: the token functions for CPython, over the library's C++
// interface. Written against the stable ABI of CPython 3.11 (the build
// defines Py_LIMITED_API), so one binary serves 3.11 and every later version.
//
// Ids and tokens arrive as bytes-like objects or str (UTF-8 with
// surrogateescape) and are handed to the library as a string_view, so a
// zero byte reaches it as the byte it is. Calls are far too short to gain
// from releasing the GIL; the library keeps no state, so holding it costs
// no parallelism that could be had.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "idstamp/date_ticks.h"
#include "idstamp/token_codec.h"
#include "idstamp/version.h"

namespace {

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
  // for any other type.
  bool take(PyObject* obj, const char* what) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_Check(obj)) {
      if (PyBytes_AsStringAndSize(obj, &data, &size) != 0) return false;
    } else if (PyUnicode_Check(obj)) {
      encoded_ = PyUnicode_AsEncodedString(obj, "utf-8", "surrogateescape");
      if (encoded_ == nullptr || PyBytes_AsStringAndSize(encoded_, &data, &size) != 0) return false;
    } else if (PyObject_CheckBuffer(obj)) {
      if (PyObject_GetBuffer(obj, &buffer_, PyBUF_SIMPLE) != 0) return false;
      has_buffer_ = true;
      data = static_cast<char*>(buffer_.buf);
      size = buffer_.len;
    } else {
      PyObject* type = PyType_GetName(Py_TYPE(obj));
      if (type != nullptr) {
        PyErr_Format(PyExc_TypeError, "%s must be bytes, a bytes-like object or str, not %U", what,
                     type);
        Py_DECREF(type);
      }
      return false;
    }
    view_ = std::string_view(data, static_cast<std::size_t>(size));
    return true;
  }

  std::string_view view() const { return view_; }

 private:
  std::string_view view_;
  PyObject* encoded_ = nullptr;
  Py_buffer buffer_{};
  bool has_buffer_ = false;
};

// An int argument in [lo, hi]: TypeError for a non-integer, ValueError
// outside the range.
bool integer(PyObject* obj, const char* what, long long lo, long long hi, long long& out) {
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
  if (!integer(obj, what, 0, UINT32_MAX, value)) return false;
  out = static_cast<std::uint32_t>(value);
  return true;
}

bool lifetime_arg(PyObject* obj, std::int32_t& out) {
  if (obj == nullptr) return true;  // the default
  long long value = 0;
  if (!integer(obj, "lifetime", INT32_MIN, INT32_MAX, value)) return false;
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

bool check_id(std::string_view id) {
  if (id.empty()) {
    PyErr_SetString(PyExc_ValueError, "id must not be empty");
  } else if (id.size() > idstamp::max_id_length) {
    PyErr_Format(PyExc_ValueError, "id is %zu bytes long; the longest is %zu", id.size(),
                 idstamp::max_id_length);
  } else if (id.find('\0') != std::string_view::npos) {
    PyErr_SetString(PyExc_ValueError, "id must not hold a zero byte");
  } else {
    return true;
  }
  return false;
}

PyObject* bytes_of(std::string_view text) {
  return PyBytes_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

PyObject* str_of(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// Sets the Python exception for a C++ one: only allocation can fail here.
void set_error_from_exception() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_SystemError, e.what());
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "unknown C++ exception");
  }
}

// The report on a token, reading the clock only when `now` is unset (and
// then only for a token that parses). Throws std::bad_alloc.
idstamp::TokenReport report_on(std::string_view token, std::int32_t lifetime,
                               std::optional<std::uint32_t> now) {
  return now ? idstamp::inspect_token(token, lifetime, *now)
             : idstamp::inspect_token(token, lifetime);
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
      !stamp_arg(bound[1], "stamp", stamp) || !check_id(id.view())) {
    return nullptr;
  }
  try {
    // For a valid id, no token means memory ran out.
    const std::optional<std::string> token =
        idstamp::crypt_id(id.view(), stamp ? *stamp : idstamp::year_stamp());
    if (!token) return PyErr_NoMemory();
    return bytes_of(*token);
  } catch (...) {
    set_error_from_exception();
    return nullptr;
  }
}

PyObject* decrypt_id(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  Text token;
  std::int32_t lifetime = 30;
  std::optional<std::uint32_t> now;
  if (!check_args("decrypt_id", args, nargs, kwnames, token, lifetime, now)) return nullptr;
  try {
    const idstamp::TokenReport report = report_on(token.view(), lifetime, now);
    if (report.verdict != idstamp::Verdict::fresh) Py_RETURN_NONE;
    return bytes_of(*report.id);
  } catch (...) {
    set_error_from_exception();
    return nullptr;
  }
}

// A new reference to `value` as an int, or to None.
template <typename T>
PyObject* int_or_none(const std::optional<T>& value) {
  if (!value) return Py_NewRef(Py_None);
  if constexpr (std::is_signed_v<T>) {
    return PyLong_FromLongLong(*value);
  } else {
    return PyLong_FromUnsignedLongLong(*value);
  }
}

// (verdict name, reason, id, stamp, now, age_ms), each None when it does
// not apply; the package makes a TokenReport of it.
PyObject* inspect_token(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  Text token;
  std::int32_t lifetime = 30;
  std::optional<std::uint32_t> now;
  if (!check_args("inspect_token", args, nargs, kwnames, token, lifetime, now)) return nullptr;
  idstamp::TokenReport report;
  try {
    report = report_on(token.view(), lifetime, now);
  } catch (...) {
    set_error_from_exception();
    return nullptr;
  }
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
  if (result == nullptr || !put(0, str_of(idstamp::verdict_name(report.verdict))) ||
      !put(1, report.reason.empty() ? Py_NewRef(Py_None) : str_of(report.reason)) ||
      !put(2, report.id ? bytes_of(*report.id) : Py_NewRef(Py_None)) ||
      !put(3, int_or_none(report.stamp)) || !put(4, int_or_none(report.now)) ||
      !put(5, int_or_none(report.age_ms)))
    return nullptr;
  return result;
}

PyObject* year_stamp(PyObject*, PyObject*) {
  return PyLong_FromUnsignedLong(idstamp::year_stamp());
}

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
     "decrypt_id($module, /, token, lifetime=30, now=None)\n--\n\n"
     "The id token carries while it is younger than lifetime minutes at year\n"
     "stamp now (the clock when None); None for any other token."},
    {"inspect_token", as_cfunction(inspect_token), METH_FASTCALL | METH_KEYWORDS,
     "inspect_token($module, /, token, lifetime=30, now=None)\n--\n\n"
     "The verdict on token as a tuple (verdict, reason, id, stamp, now, age_ms)."},
    {"year_stamp", year_stamp, METH_NOARGS,
     "year_stamp($module, /)\n--\n\n"
     "Milliseconds since local midnight of 1 January, modulo 2**32."},
    {nullptr, nullptr, 0, nullptr},
};

int exec_module(PyObject* module) {
  if (PyModule_AddIntConstant(module, "MAX_ID_LENGTH", static_cast<long>(idstamp::max_id_length)) !=
      0)
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
