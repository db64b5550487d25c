// How the companion's native half runs a call: a wire result becomes a
// `str` or ValueError (boundary.h), and an escaped C++ exception
// RuntimeError rather than crossing into the interpreter. Call with the
// interpreter lock held.
#pragma once

#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x03090000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <exception>
#include <string>

#include "boundary.h"
#include "wire/result.h"

namespace zorv::native {

using boundary::text_or_value_error;

// Runs `call`, which returns a PyObject* (nullptr with an exception set),
// turning an escaped C++ exception into RuntimeError.
template <class Call>
PyObject* guarded_object(Call call) {
  try {
    return call();
  } catch (const std::exception& fault) {
    PyErr_SetString(PyExc_RuntimeError, fault.what());
  } catch (...) {
    PyErr_SetString(PyExc_RuntimeError, "unknown internal fault");
  }
  return nullptr;
}

// Runs `call`, which returns a Result<std::string>, as text_or_value_error.
template <class Call>
PyObject* guarded(Call call) {
  return guarded_object([&] { return text_or_value_error(call()); });
}

}  // namespace zorv::native
