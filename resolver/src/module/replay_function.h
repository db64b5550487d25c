// `_native.replay_lines`: one block of a decision log replayed against a
// PackSet (wire/decision_replay.h), for zorv_tools.replay, which reads the
// log block by block and adds the summaries up.
#pragma once

#include "native_results.h"

namespace zorv::native {

// Adds the function to `module`; -1 with an exception set on failure.
int add_replay_function(PyObject* module);

}  // namespace zorv::native
