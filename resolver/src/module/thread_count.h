// How many native threads a call of the companion's native half runs on:
// the cores this process may use, or the caller's `threads` argument.
#pragma once

#include <cstddef>

#include "native_results.h"

namespace zorv::native {

// The cores this process may run on (its affinity mask), at least 1.
std::size_t usable_cores();

// A `threads` argument: None (or not given) for the usable cores, else an
// int of at least 1. False with TypeError or ValueError set otherwise.
bool threads_of(PyObject* threads_object, std::size_t& threads);

}  // namespace zorv::native
