// The Arrow C data interface capsules handed to the companion's native half
// (an "arrow_array_stream" capsule, or a (schema, array) pair of
// "arrow_schema" and "arrow_array" capsules), read into the batches they
// hold; and the tuple of raw column buffers a native Arrow call returns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "native_results.h"
#include "wire_tools/arrow_c_data.h"

namespace zorv::native {

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

// Reads every batch of `data`, with the interpreter lock held (a stream's
// producer may need it). False with a Python error set when `data` is not
// such capsules or the stream fails.
bool read_capsules(PyObject* data, Batches& batches);

// (rows, buffer, ...): `count` bytes objects, buffer i of size(i) bytes
// filled by write(i, bytes) with the interpreter lock released.
PyObject* buffers_tuple(std::int64_t rows, std::size_t count, const std::function<std::size_t(std::size_t)>& size,
                        const std::function<void(std::size_t, char*)>& write);

}  // namespace zorv::native
