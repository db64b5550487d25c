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

#include "arrow_capsules.h"
#include "pack_set_type.h"
#include "thread_count.h"
#include "utf8_text.h"
#include "wire_tools/arrow_c_data.h"
#include "wire_tools/arrow_decisions.h"
#include "wire_tools/arrow_query_columns.h"

namespace zorv::native {
namespace {

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
    if (!read_capsules(data, batches)) return nullptr;

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

    return buffers_tuple(
        decisions.rows(), wire::ArrowDecisions::kBuffers,
        [&](std::size_t i) { return decisions.size(static_cast<wire::ArrowDecisions::Buffer>(i)); },
        [&](std::size_t i, char* out) { decisions.write(static_cast<wire::ArrowDecisions::Buffer>(i), out); });
  });
}

}  // namespace zorv::native
