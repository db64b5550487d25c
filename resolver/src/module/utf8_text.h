// The UTF-8 form of a `str` argument for the companion's native half.
//
// PyUnicode_AsUTF8AndSize hands out the string's own UTF-8 form (its storage
// when ASCII, else a form the interpreter computes once and keeps with it),
// so nothing is copied; but it is in the stable ABI only from 3.10, and this
// module is built for 3.9. So it is looked up in the running interpreter,
// and where it is not there (3.9) the text is encoded into a bytes object
// that a `Kept` holds for as long as the view is used. Call with the
// interpreter lock held. Include after <Python.h>.
#pragma once

#include <cstddef>
#include <string_view>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zorv::native {

// A reference released when it goes out of scope (or handed on by release()).
class Kept {
 public:
  Kept() = default;
  Kept(const Kept&) = delete;
  Kept& operator=(const Kept&) = delete;
  ~Kept() { Py_XDECREF(object_); }
  void reset(PyObject* object) {
    Py_XDECREF(object_);
    object_ = object;
  }
  PyObject* get() const { return object_; }
  PyObject* release() {
    PyObject* object = object_;
    object_ = nullptr;
    return object;
  }

 private:
  PyObject* object_ = nullptr;
};

using Utf8AndSize = const char* (*)(PyObject*, Py_ssize_t*);

// The interpreter's PyUnicode_AsUTF8AndSize from 3.10 on, else null; looked
// up once.
inline Utf8AndSize utf8_and_size() {
  static const Utf8AndSize found = []() -> Utf8AndSize {
    PyObject* version = PySys_GetObject("version_info");  // borrowed
    PyObject* minor = version != nullptr ? PySequence_GetItem(version, 1) : nullptr;
    const long minor_version = minor != nullptr ? PyLong_AsLong(minor) : -1;
    Py_XDECREF(minor);
    PyErr_Clear();
    if (minor_version < 10) return nullptr;
#if defined(_WIN32)
    HMODULE stable_abi = GetModuleHandleW(L"python3.dll");
    if (stable_abi == nullptr) return nullptr;
    return reinterpret_cast<Utf8AndSize>(
        reinterpret_cast<void*>(GetProcAddress(stable_abi, "PyUnicode_AsUTF8AndSize")));
#else
    return reinterpret_cast<Utf8AndSize>(dlsym(RTLD_DEFAULT, "PyUnicode_AsUTF8AndSize"));
#endif
  }();
  return found;
}

// The UTF-8 text of `text` (a `str`), valid while `text` and `kept` live;
// false with an exception set when it cannot be encoded.
inline bool utf8_of(PyObject* text, std::string_view& out, Kept& kept) {
  Py_ssize_t size = 0;
  const char* data = nullptr;
  if (const Utf8AndSize borrow = utf8_and_size()) {
    data = borrow(text, &size);
  } else {
    kept.reset(PyUnicode_AsUTF8String(text));
    char* bytes = nullptr;
    if (kept.get() != nullptr && PyBytes_AsStringAndSize(kept.get(), &bytes, &size) == 0) data = bytes;
  }
  if (data == nullptr) return false;
  out = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

}  // namespace zorv::native
