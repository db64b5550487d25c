// The native `PackSet` type of `zorv_tools._native`: a prepared pack set
// (wire/pack_set.h) behind the interpreter. zorv_tools.PackSet derives
// from it and adds what is easier said in Python.
#pragma once

#include <cstddef>

#include "native_results.h"
#include "wire_tools/pack_set.h"

namespace zorv::native {

// Creates the type and adds it to `module` as "PackSet"; -1 with an
// exception set on failure.
int add_pack_set_type(PyObject* module);

// The set held by `object`, a PackSet or an instance of a subclass; nullptr
// with TypeError set for any other object. Lives as long as `object`.
const wire::PackSet* pack_set_of(PyObject* object);

// The cores this process may run on.
std::size_t usable_cores();

// A `threads` argument: None (or not given) for the usable cores, else an
// int of at least 1. False with an exception set otherwise.
bool threads_of(PyObject* threads_object, std::size_t& threads);

}  // namespace zorv::native
