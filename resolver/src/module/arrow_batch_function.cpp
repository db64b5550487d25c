// Reads the capsules with the interpreter lock held (a stream's producer may
// need it to hand over its next batch), then reads, checks and decides every
// row with the lock released, on the set's threads. The producer's arrays
// are released with the lock held again, after the last row is decided.
#include "arrow_batch_function.h"

#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack_set_type.h"
#include "thread_count.h"
#include "utf8_text.h"
#include "wire_tools/arrow_c_data.h"
#include "wire_tools/arrow_decisions.h"
#include "wire_tools/arrow_query_columns.h"

namespace zorv::native {
namespace {

// An Arrow structure this call received and must release.
template <class Structure>
struct Owned {
  Structure value{};
  Owned() = default;
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (value.release != nullptr) value.release(&value);
  }
};

// The batches handed over: each schema and array, whether borrowed from a
// capsule or received from a stream.
struct Batches {
  std::vector<const ArrowSchema*> schemas;
  std::vector<const ArrowArray*> arrays;
  std::vector<std::unique_ptr<Owned<ArrowArray>>> received;
  Owned<ArrowSchema> stream_schema;
};

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

// What the lock-free part makes: the decisions, or the first error.
struct Decided {
  std::optional<wire::Result<wire::ArrowDecisions>> decisions;
  std::exception_ptr fault;
};

PyObject* as_value_error(const wire::ErrorMessage& error) {
  return text_or_value_error(wire::Result<std::string>(error));
}

}  // namespace

PyObject* resolve_arrow(PyObject*, PyObject* args, PyObject* kwargs) {
  PyObject* packset = nullptr;
  PyObject* data = nullptr;
  PyObject* override_object = Py_None;
  PyObject* threads_object = Py_None;
  const char* names[] = {"packset", "data", "strictness_override", "threads", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO|OO:resolve_arrow", const_cast<char**>(names), &packset, &data,
                                   &override_object, &threads_object)) {
    return nullptr;
  }
  const wire::PackSet* set = pack_set_of(packset);
  if (set == nullptr) return nullptr;
  std::size_t threads = 0;
  if (!threads_of(threads_object, threads)) return nullptr;
  std::optional<std::string_view> strictness_override;
  Kept kept_override;
  if (override_object != Py_None) {
    std::string_view text;
    if (!PyUnicode_Check(override_object) || !utf8_of(override_object, text, kept_override)) {
      if (!PyErr_Occurred()) PyErr_SetString(PyExc_TypeError, "strictness_override must be a str or None");
      return nullptr;
    }
    strictness_override = text;
  }

  return guarded_object([&]() -> PyObject* {
    Batches batches;
    if (!(PyCapsule_CheckExact(data) ? read_stream(data, batches) : read_pair(data, batches))) return nullptr;

    Decided decided;
    Py_BEGIN_ALLOW_THREADS try {
      std::vector<wire::ArrowQueryColumns> columns;
      std::int64_t first_row = 0;
      for (std::size_t i = 0; i < batches.arrays.size(); ++i) {
        wire::Result<wire::ArrowQueryColumns> read =
            wire::ArrowQueryColumns::read(*batches.schemas[i], *batches.arrays[i], first_row);
        if (!read.ok()) {
          decided.decisions.emplace(std::move(read.error()));
          break;
        }
        first_row += read.value().length();
        columns.push_back(std::move(read.value()));
      }
      if (!decided.decisions)
        decided.decisions.emplace(wire::ArrowDecisions::decide(*set, columns, strictness_override, threads));
    } catch (...) {
      decided.fault = std::current_exception();
    }
    Py_END_ALLOW_THREADS if (decided.fault) std::rethrow_exception(decided.fault);
    if (!decided.decisions->ok()) return as_value_error(decided.decisions->error());
    const wire::ArrowDecisions& decisions = decided.decisions->value();

    PyObject* result = PyTuple_New(1 + wire::ArrowDecisions::kBuffers);
    if (result == nullptr) return nullptr;
    PyObject* rows = PyLong_FromLongLong(decisions.rows());
    if (rows == nullptr) {
      Py_DECREF(result);
      return nullptr;
    }
    PyTuple_SetItem(result, 0, rows);
    std::vector<char*> targets;
    for (std::size_t i = 0; i < wire::ArrowDecisions::kBuffers; ++i) {
      const auto buffer = static_cast<wire::ArrowDecisions::Buffer>(i);
      PyObject* bytes = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(decisions.size(buffer)));
      if (bytes == nullptr) {
        Py_DECREF(result);
        return nullptr;
      }
      PyTuple_SetItem(result, static_cast<Py_ssize_t>(i + 1), bytes);
      targets.push_back(PyBytes_AsString(bytes));
    }
    // The bytes are this call's alone until it returns them.
    Py_BEGIN_ALLOW_THREADS for (std::size_t i = 0; i < targets.size(); ++i) {
      decisions.write(static_cast<wire::ArrowDecisions::Buffer>(i), targets[i]);
    }
    Py_END_ALLOW_THREADS return result;
  });
}

}  // namespace zorv::native
