#include "replay_function.h"

#include <optional>
#include <string>
#include <string_view>

#include "pack_set_type.h"
#include "wire_tools/decision_replay.h"

namespace zorv::native {
namespace {

bool size_argument(PyObject* object, const char* name, std::size_t least, std::size_t& out) {
  const unsigned long long value = PyLong_AsUnsignedLongLong(object);
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
  if (value < least) {
    PyErr_Format(PyExc_ValueError, "%s must be at least %zu", name, least);
    return false;
  }
  out = static_cast<std::size_t>(value);
  return true;
}

PyObject* replay_lines(PyObject*, PyObject* args) {
  PyObject* set_object = nullptr;
  PyObject* block_object = nullptr;
  PyObject* first_line = nullptr;
  PyObject* examples = nullptr;
  PyObject* threads = nullptr;
  if (!PyArg_ParseTuple(args, "OO!O!O!O!:replay_lines", &set_object, &PyBytes_Type, &block_object, &PyLong_Type,
                        &first_line, &PyLong_Type, &examples, &PyLong_Type, &threads)) {
    return nullptr;
  }
  const wire::PackSet* set = pack_set_of(set_object);
  if (set == nullptr) return nullptr;
  wire::ReplayOptions options;
  if (!size_argument(first_line, "first_line", 1, options.first_line) ||
      !size_argument(examples, "examples", 0, options.examples) ||
      !size_argument(threads, "threads", 1, options.threads)) {
    return nullptr;
  }
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(block_object, &data, &size) < 0) return nullptr;
  const std::string_view block(data, static_cast<std::size_t>(size));
  return guarded_object([&]() -> PyObject* {
    // The bytes object is immutable and held by the caller's frame, so the
    // block stays put while the lock is released.
    std::optional<std::string> summary;
    std::exception_ptr fault;
    Py_BEGIN_ALLOW_THREADS try { summary.emplace(wire::replay_lines(*set, block, options)); } catch (...) {
      fault = std::current_exception();
    }
    Py_END_ALLOW_THREADS if (fault) std::rethrow_exception(fault);
    return PyUnicode_DecodeUTF8(summary->data(), static_cast<Py_ssize_t>(summary->size()), "replace");
  });
}

PyMethodDef kFunctions[] = {
    {"replay_lines", replay_lines, METH_VARARGS,
     "replay_lines(packset, block, first_line, examples, threads) -> str\n\n"
     "One block of a decision log (bytes, lines split on LF) decided again under `packset` and\n"
     "compared with the recorded decisions: the block's summary as JSON."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

int add_replay_function(PyObject* module) { return PyModule_AddFunctions(module, kFunctions); }

}  // namespace zorv::native
