// `_native.replay_arrow`, the native half of zorv_tools.arrow.replay_batch:
// the replay under a PackSet of every row of the column `record` of Arrow
// data handed over as Arrow C data interface capsules, returned as the raw
// buffers of the result's columns (wire_tools/arrow_replay.h), which the
// Python half wraps into Arrow arrays without a Python object per row.
#pragma once

#include "native_results.h"

namespace zorv::native {

// replay_arrow(packset, data, threads=None) -> (rows, buffer, ...)
// `data` as for resolve_arrow; the buffers are bytes, in the order of
// wire::ArrowReplay::Buffer.
PyObject* replay_arrow(PyObject* module, PyObject* args, PyObject* kwargs);

}  // namespace zorv::native
