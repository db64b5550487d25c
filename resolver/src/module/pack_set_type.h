// The native `PackSet` type of `zorv_tools._native`: a prepared pack set
// (wire/pack_set.h) behind the interpreter. zorv_tools.PackSet derives
// from it and adds what is easier said in Python.
#pragma once

#include "native_results.h"
#include "wire_tools/pack_set.h"

namespace zorv::native {

// Creates the type and adds it to `module` as "PackSet"; -1 with an
// exception set on failure.
int add_pack_set_type(PyObject* module);

// The set inside `object`, an instance of that type (or of a subclass);
// nullptr with TypeError set for anything else.
const wire::PackSet* pack_set_of(PyObject* object);

}  // namespace zorv::native
