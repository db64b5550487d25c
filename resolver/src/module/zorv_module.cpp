// The `zorv` Python module: the only place where the resolver meets the
// interpreter. It binds and converts arguments, calls the wire layer with the
// interpreter lock held, and turns results into `str` and error messages into
// exceptions. It holds no resolution logic and no state besides its
// attributes. Built against the stable ABI (3.9), so one binary serves every
// later interpreter.
#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x03090000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "boundary.h"
#include "utf8_text.h"
#include "wire/resolve_json.h"
#include "wire/resolve_with_receipts_json.h"

namespace {

// Created once, on the first import, with the interpreter lock held.
PyObject* g_panic_exception = nullptr;
PyObject* g_add_note_name = nullptr;
// Interned once: a fresh name per lookup would be a new allocation on every
// failing call, and the interpreter's type attribute cache keeps a reference
// to each distinct name object it is asked for, up to its size.
PyObject* g_qualname_name = nullptr;

// A strong reference released when it goes out of scope.
class PyRef {
 public:
  PyRef() = default;
  explicit PyRef(PyObject* object) : object_(object) {}
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  ~PyRef() { Py_XDECREF(object_); }
  PyObject* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  void reset(PyObject* object) {
    Py_XDECREF(object_);
    object_ = object;
  }

 private:
  PyObject* object_ = nullptr;
};

// How a module function's parameters are named and which are required. Every
// parameter is positional-or-keyword; the last one, the dial, is optional.
struct Signature {
  const char* function;  // "resolve" or "resolve_with_receipts"
  std::array<const char*, 4> parameters;
  Py_ssize_t parameter_count;
  Py_ssize_t required_count;
};

constexpr Signature kResolveSignature{"resolve", {"packs_json", "query_json", "strictness_override", nullptr}, 3, 2};
constexpr Signature kResolveWithReceiptsSignature{
    "resolve_with_receipts", {"packs_json", "query_json", "ctx_json", "strictness_override"}, 4, 3};

PyObject* unicode_from_text(std::string_view text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
}

void set_type_error(PyObject* message) {
  if (message) PyErr_SetObject(PyExc_TypeError, message);
  Py_XDECREF(message);
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
std::string join_quoted(const std::array<const char*, 4>& names, Py_ssize_t count) {
  std::string joined;
  for (Py_ssize_t i = 0; i < count; ++i) {
    if (i > 0) joined += count > 2 ? ", " : " ";
    if (i > 0 && i == count - 1) joined += "and ";
    joined += '\'';
    joined += names[static_cast<size_t>(i)];
    joined += '\'';
  }
  return joined;
}

// Places positional and keyword arguments into `bound` (borrowed
// references; nullptr for a parameter not given). On failure sets TypeError.
bool bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs, std::array<PyObject*, 4>& bound) {
  bound.fill(nullptr);
  const Py_ssize_t positional = PyTuple_Size(args);
  if (positional < 0) return false;
  if (positional > signature.parameter_count) {
    set_type_error(PyUnicode_FromFormat("%s() takes from %zd to %zd positional arguments but %zd were given",
                                        signature.function, signature.required_count, signature.parameter_count,
                                        positional));
    return false;
  }
  for (Py_ssize_t i = 0; i < positional; ++i) bound[static_cast<size_t>(i)] = PyTuple_GetItem(args, i);

  if (kwargs != nullptr && PyDict_Size(kwargs) > 0) {
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
      Py_ssize_t index = 0;
      while (index < signature.parameter_count &&
             !(PyUnicode_Check(key) &&
               PyUnicode_CompareWithASCIIString(key, signature.parameters[static_cast<size_t>(index)]) == 0)) {
        ++index;
      }
      if (index == signature.parameter_count) {
        set_type_error(PyUnicode_FromFormat("%s() got an unexpected keyword argument '%S'", signature.function, key));
        return false;
      }
      if (bound[static_cast<size_t>(index)] != nullptr) {
        set_type_error(PyUnicode_FromFormat("%s() got multiple values for argument '%s'", signature.function,
                                            signature.parameters[static_cast<size_t>(index)]));
        return false;
      }
      bound[static_cast<size_t>(index)] = value;
    }
  }

  std::array<const char*, 4> missing{};
  Py_ssize_t missing_count = 0;
  for (Py_ssize_t i = 0; i < signature.required_count; ++i) {
    if (bound[static_cast<size_t>(i)] == nullptr) {
      missing[static_cast<size_t>(missing_count++)] = signature.parameters[static_cast<size_t>(i)];
    }
  }
  if (missing_count > 0) {
    const std::string names = join_quoted(missing, missing_count);
    set_type_error(PyUnicode_FromFormat("%s() missing %zd required positional argument%s: %s", signature.function,
                                        missing_count, missing_count == 1 ? "" : "s", names.c_str()));
    return false;
  }
  return true;
}

// Attaches "while processing '<parameter>'" to the exception being raised,
// where the interpreter's exceptions have notes (3.11 and later).
void add_processing_note(const char* parameter) {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value != nullptr && g_add_note_name != nullptr && PyObject_HasAttr(value, g_add_note_name)) {
    PyRef note(PyUnicode_FromFormat("while processing '%s'", parameter));
    PyRef result(note ? PyObject_CallMethodObjArgs(value, g_add_note_name, note.get(), nullptr) : nullptr);
    if (!result) PyErr_Clear();
  }
  PyErr_Restore(type, value, traceback);
}

// The UTF-8 text of one `str` argument, borrowed from the argument, which
// the caller keeps alive for the call, or (on 3.9, see utf8_text.h) from
// `encoded`, which then holds the argument's UTF-8 form. On failure an exception carrying the note is set.
bool text_argument(PyObject* argument, const char* parameter, std::string_view& text, PyRef& encoded) {
  if (argument == Py_None) {
    PyErr_SetString(PyExc_TypeError, "'None' is not an instance of 'str'");
  } else if (!PyUnicode_Check(argument)) {
    PyRef qualified_name(PyObject_GetAttr(reinterpret_cast<PyObject*>(Py_TYPE(argument)), g_qualname_name));
    if (qualified_name) {
      set_type_error(PyUnicode_FromFormat("'%S' object is not an instance of 'str'", qualified_name.get()));
    }
  } else {
    Py_ssize_t size = 0;
    char* data = nullptr;
    if (const zorv::native::Utf8AndSize borrow = zorv::native::utf8_and_size()) {
      data = const_cast<char*>(borrow(argument, &size));
    } else {
      encoded.reset(PyUnicode_AsUTF8String(argument));
      if (encoded && PyBytes_AsStringAndSize(encoded.get(), &data, &size) < 0) data = nullptr;
    }
    if (data != nullptr) {
      text = std::string_view(data, static_cast<size_t>(size));
      return true;
    }
  }
  add_processing_note(parameter);
  return false;
}

PyObject* raise_panic(const char* message) {
  if (g_panic_exception == nullptr) {
    std::fputs("uncaught panic at ffi boundary\n", stderr);
    std::abort();
  }
  PyErr_SetString(g_panic_exception, message);
  return nullptr;
}

// Binds, converts and forwards one call. `call` receives the converted
// texts (the dial last, absent when None or not given).
template <class WireCall>
PyObject* call_wire(const Signature& signature, PyObject* args, PyObject* kwargs, WireCall call) {
  try {
    std::array<PyObject*, 4> bound{};
    if (!bind_arguments(signature, args, kwargs, bound)) return nullptr;
    const Py_ssize_t text_count = signature.parameter_count - 1;
    std::array<std::string_view, 4> texts{};
    std::array<PyRef, 4> encoded;
    for (Py_ssize_t i = 0; i < text_count; ++i) {
      const auto at = static_cast<size_t>(i);
      if (!text_argument(bound[at], signature.parameters[at], texts[at], encoded[at])) return nullptr;
    }
    std::optional<std::string_view> strictness_override;
    const auto override_at = static_cast<size_t>(text_count);
    if (bound[override_at] != nullptr && bound[override_at] != Py_None) {
      std::string_view override_text;
      if (!text_argument(bound[override_at], signature.parameters[override_at], override_text, encoded[override_at])) {
        return nullptr;
      }
      strictness_override = override_text;
    }
    return zorv::boundary::text_or_value_error(call(texts, strictness_override));
  } catch (const std::exception& fault) {
    return raise_panic(fault.what());
  } catch (...) {
    return raise_panic("unknown internal fault");
  }
}

PyObject* resolve(PyObject* /*module*/, PyObject* args, PyObject* kwargs) {
  return call_wire(kResolveSignature, args, kwargs, [](const auto& texts, auto strictness_override) {
    return zorv::wire::resolve_json(texts[0], texts[1], strictness_override);
  });
}

PyObject* resolve_with_receipts(PyObject* /*module*/, PyObject* args, PyObject* kwargs) {
  return call_wire(kResolveWithReceiptsSignature, args, kwargs, [](const auto& texts, auto strictness_override) {
    return zorv::wire::resolve_with_receipts_json(texts[0], texts[1], texts[2], strictness_override);
  });
}

// Appends `name` to the module's `__all__` (creating the list on first use)
// and sets the attribute. Steals nothing; returns -1 with an exception set.
int add_exported(PyObject* module, const char* name, PyObject* value) {
  if (value == nullptr) return -1;
  PyRef all(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    PyRef created(PyList_New(0));
    if (!created || PyObject_SetAttrString(module, "__all__", created.get()) < 0) return -1;
    Py_IncRef(created.get());
    all.reset(created.get());
  }
  PyRef name_object(PyUnicode_FromString(name));
  if (!name_object || PyList_Append(all.get(), name_object.get()) < 0) return -1;
  return PyObject_SetAttr(module, name_object.get(), value);
}

int add_function(PyObject* module, PyMethodDef* definition) {
  PyRef module_name(PyModule_GetNameObject(module));
  if (!module_name) return -1;
  PyRef function(PyCMethod_New(definition, module, module_name.get(), nullptr));
  if (!function) return -1;
  return add_exported(module, definition->ml_name, function.get());
}

int add_text(PyObject* module, const char* name, std::string_view text) {
  PyRef value(unicode_from_text(text));
  if (!value) return -1;
  return add_exported(module, name, value.get());
}

int create_process_wide_objects() {
  if (g_add_note_name == nullptr) {
    g_add_note_name = PyUnicode_InternFromString("add_note");
    if (g_add_note_name == nullptr) return -1;
  }
  if (g_qualname_name == nullptr) {
    g_qualname_name = PyUnicode_InternFromString("__qualname__");
    if (g_qualname_name == nullptr) return -1;
  }
  if (g_panic_exception == nullptr) {
    g_panic_exception = PyErr_NewExceptionWithDoc(
        "zorv.PanicException",
        "An internal fault of the resolver, never a usage error. Derived from BaseException so "
        "that `except Exception` does not swallow it.",
        PyExc_BaseException, nullptr);
    if (g_panic_exception == nullptr) return -1;
  }
  return 0;
}

PyDoc_STRVAR(resolve_doc,
             "resolve(packs_json, query_json, strictness_override=None)\n--\n\n"
             "resolve(packs_json, query_json, strictness_override=None) -> str\n\n"
             "Resolve required controls. `packs_json` maps\n"
             "`\"<profile>/<domain>.zorv.toml\"` to pack TOML text; `query_json` is the\n"
             "RegulatoryQuery; `strictness_override` is the optional global dial\n"
             "(`\"aggressive\"` / `\"as_configured\"` / `\"minimal\"`). Returns the decision as\n"
             "a JSON string.\n\n"
             "A missing or malformed *pack* is not an error \xE2\x80\x94 it resolves fail-closed to\n"
             "the caller's full universe with `provenance.fell_back = true`. `ValueError`\n"
             "always means the caller's JSON was unusable.");

PyDoc_STRVAR(
    resolve_with_receipts_doc,
    "resolve_with_receipts(packs_json, query_json, ctx_json, strictness_override=None)\n--\n\n"
    "resolve_with_receipts(packs_json, query_json, ctx_json, strictness_override=None) -> str\n\n"
    "Resolve AND serialize both receipt forms in one call (spec \xC2\xA7"
    "8) \xE2\x80\x94 the ISO/IEC\n"
    "TS 27560 + W3C DPV JSON-LD document and the Kantara CR v1.1 shim.\n"
    "`ctx_json` is the caller-supplied ReceiptContext. Returns\n"
    "`{\"decision\": \xE2\x80\xA6, \"receipt_dpv27560\": \xE2\x80\xA6, \"receipt_kantara_cr_v1_1\": \xE2\x80\xA6}`.");

PyMethodDef resolve_definition = {"resolve", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(resolve)),
                                  METH_VARARGS | METH_KEYWORDS, resolve_doc};
PyMethodDef resolve_with_receipts_definition = {
    "resolve_with_receipts", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(resolve_with_receipts)),
    METH_VARARGS | METH_KEYWORDS, resolve_with_receipts_doc};

int exec_module(PyObject* module) {
  try {
    if (!PyModule_Check(module)) {
      PyErr_SetString(PyExc_TypeError, "zorv can only be initialised into a module object");
      return -1;
    }
    if (create_process_wide_objects() < 0) return -1;
    if (add_function(module, &resolve_definition) < 0) return -1;
    if (add_function(module, &resolve_with_receipts_definition) < 0) return -1;
    if (add_text(module, "__version__", ZORV_VERSION) < 0) return -1;
    if (add_text(module, "KWDX_NS", zorv::wire::kVocabularyNamespace) < 0) return -1;
    if (add_text(module, "NOT_LEGAL_ADVICE", zorv::wire::kNotLegalAdviceText) < 0) return -1;
    return 0;
  } catch (const std::exception& fault) {
    raise_panic(fault.what());
    return -1;
  } catch (...) {
    raise_panic("unknown internal fault");
    return -1;
  }
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_module)},
    {0, nullptr},
};

PyDoc_STRVAR(module_doc,
             "The `zorv` Python module. `__version__` and `KWDX_NS` are module attributes\n"
             "so the common lookups need no function call.");

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "zorv", module_doc, 0, nullptr, module_slots, nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit_zorv(void) { return PyModuleDef_Init(&module_definition); }
