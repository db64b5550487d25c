// `_native.resolve_arrow`, the native half of zorv_tools.arrow.resolve_batch:
// the decisions of a PackSet for every row of Arrow data handed over as
// Arrow C data interface capsules, returned as the raw buffers of the
// result's columns (wire/arrow_decisions.h), which the Python half wraps
// into Arrow arrays without a Python object per row.
#pragma once

#include "native_results.h"

namespace zorv::native {

// resolve_arrow(packset, data, strictness_override=None, threads=None)
//   -> (rows, buffer, ...)
// `data` is an "arrow_array_stream" capsule, or a (schema, array) pair of
// "arrow_schema" and "arrow_array" capsules. The buffers are bytes, in the
// order of wire::ArrowDecisions::Buffer.
PyObject* resolve_arrow(PyObject* module, PyObject* args, PyObject* kwargs);

}  // namespace zorv::native
