#include "arrow_capsules.h"

#include <cstring>
#include <string>

namespace zorv::native {
namespace {

bool stream_error(ArrowArrayStream* stream, int code) {
  const char* detail = stream->get_last_error == nullptr ? nullptr : stream->get_last_error(stream);
  const std::string message =
      std::string("the Arrow stream failed: ") + (detail != nullptr ? detail : std::strerror(code));
  PyErr_SetString(PyExc_ValueError, message.c_str());
  return false;
}

bool read_stream(PyObject* capsule, Batches& batches) {
  auto* stream = static_cast<ArrowArrayStream*>(PyCapsule_GetPointer(capsule, "arrow_array_stream"));
  if (stream == nullptr) return false;
  if (stream->release == nullptr) {
    PyErr_SetString(PyExc_ValueError, "the Arrow stream was already consumed");
    return false;
  }
  if (const int code = stream->get_schema(stream, &batches.stream_schema.value); code != 0) {
    return stream_error(stream, code);
  }
  for (;;) {
    auto array = std::make_unique<Owned<ArrowArray>>();
    if (const int code = stream->get_next(stream, &array->value); code != 0) return stream_error(stream, code);
    if (array->value.release == nullptr) return true;  // the end of the stream
    batches.schemas.push_back(&batches.stream_schema.value);
    batches.arrays.push_back(&array->value);
    batches.received.push_back(std::move(array));
  }
}

bool read_pair(PyObject* pair, Batches& batches) {
  if (!PyTuple_Check(pair) || PyTuple_Size(pair) != 2) {
    PyErr_SetString(PyExc_TypeError, "data must be an Arrow stream capsule or a (schema, array) pair of capsules");
    return false;
  }
  auto* schema = static_cast<ArrowSchema*>(PyCapsule_GetPointer(PyTuple_GetItem(pair, 0), "arrow_schema"));
  if (schema == nullptr) return false;
  auto* array = static_cast<ArrowArray*>(PyCapsule_GetPointer(PyTuple_GetItem(pair, 1), "arrow_array"));
  if (array == nullptr) return false;
  if (schema->release == nullptr || array->release == nullptr) {
    PyErr_SetString(PyExc_ValueError, "the Arrow array was already consumed");
    return false;
  }
  batches.schemas.push_back(schema);
  batches.arrays.push_back(array);
  return true;
}

}  // namespace

bool read_capsules(PyObject* data, Batches& batches) {
  return PyCapsule_CheckExact(data) ? read_stream(data, batches) : read_pair(data, batches);
}

PyObject* buffers_tuple(std::int64_t rows, std::size_t count, const std::function<std::size_t(std::size_t)>& size,
                        const std::function<void(std::size_t, char*)>& write) {
  PyObject* result = PyTuple_New(static_cast<Py_ssize_t>(1 + count));
  if (result == nullptr) return nullptr;
  PyObject* rows_object = PyLong_FromLongLong(rows);
  if (rows_object == nullptr) {
    Py_DECREF(result);
    return nullptr;
  }
  PyTuple_SetItem(result, 0, rows_object);
  std::vector<char*> targets;
  for (std::size_t i = 0; i < count; ++i) {
    PyObject* bytes = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size(i)));
    if (bytes == nullptr) {
      Py_DECREF(result);
      return nullptr;
    }
    PyTuple_SetItem(result, static_cast<Py_ssize_t>(i + 1), bytes);
    targets.push_back(PyBytes_AsString(bytes));
  }
  // The bytes are this call's alone until it returns them.
  Py_BEGIN_ALLOW_THREADS for (std::size_t i = 0; i < targets.size(); ++i) write(i, targets[i]);
  Py_END_ALLOW_THREADS return result;
}

}  // namespace zorv::native
