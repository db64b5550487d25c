// What both Python boundaries (`zorv` and `zorv_tools._native`) do with a
// wire result: a text becomes a `str`, an error message a ValueError. The
// message is decoded with replacement, so a message quoting bytes that are
// not UTF-8 still reaches the caller. Include after <Python.h>, with the
// limited API already chosen.
#pragma once

#include <string>

#include "wire/result.h"

namespace zorv::boundary {

// A new `str`, or nullptr with ValueError set.
inline PyObject* text_or_value_error(const wire::Result<std::string>& result) {
  if (result.ok()) {
    const std::string& text = result.value();
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  }
  const std::string& message = result.error().text;
  PyObject* value = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
  if (value != nullptr) {
    PyErr_SetObject(PyExc_ValueError, value);
    Py_DECREF(value);
  }
  return nullptr;
}

}  // namespace zorv::boundary
