// Reads the capsules with the interpreter lock held, then reads and replays
// every row with the lock released, on the set's threads; the producer's
// arrays are released with the lock held again, after the last row.
#include "arrow_replay_function.h"

#include <exception>
#include <optional>
#include <vector>

#include "arrow_capsules.h"
#include "pack_set_type.h"
#include "thread_count.h"
#include "wire_tools/arrow_replay.h"

namespace zorv::native {

PyObject* replay_arrow(PyObject*, PyObject* args, PyObject* kwargs) {
  PyObject* packset = nullptr;
  PyObject* data = nullptr;
  PyObject* threads_object = Py_None;
  const char* names[] = {"packset", "data", "threads", nullptr};
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO|O:replay_arrow", const_cast<char**>(names), &packset, &data,
                                   &threads_object)) {
    return nullptr;
  }
  const wire::PackSet* set = pack_set_of(packset);
  if (set == nullptr) return nullptr;
  std::size_t threads = 0;
  if (!threads_of(threads_object, threads)) return nullptr;

  return guarded_object([&]() -> PyObject* {
    Batches batches;
    if (!read_capsules(data, batches)) return nullptr;

    std::optional<wire::Result<wire::ArrowReplay>> replayed;
    std::exception_ptr fault;
    Py_BEGIN_ALLOW_THREADS try {
      std::vector<wire::ArrowRecordColumn> columns;
      std::int64_t first_row = 0;
      for (std::size_t i = 0; i < batches.arrays.size(); ++i) {
        wire::Result<wire::ArrowRecordColumn> read =
            wire::ArrowRecordColumn::read(*batches.schemas[i], *batches.arrays[i], first_row);
        if (!read.ok()) {
          replayed.emplace(std::move(read.error()));
          break;
        }
        first_row += read.value().length;
        columns.push_back(std::move(read.value()));
      }
      if (!replayed) replayed.emplace(wire::ArrowReplay::replay(*set, columns, threads));
    } catch (...) {
      fault = std::current_exception();
    }
    Py_END_ALLOW_THREADS if (fault) std::rethrow_exception(fault);
    if (!replayed->ok()) return text_or_value_error(wire::Result<std::string>(replayed->error()));
    const wire::ArrowReplay& replay = replayed->value();
    return buffers_tuple(
        replay.rows(), wire::ArrowReplay::kBuffers,
        [&](std::size_t i) { return replay.size(static_cast<wire::ArrowReplay::Buffer>(i)); },
        [&](std::size_t i, char* out) { replay.write(static_cast<wire::ArrowReplay::Buffer>(i), out); });
  });
}

}  // namespace zorv::native
