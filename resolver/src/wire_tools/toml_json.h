// A TOML document as plain JSON, for tools that read TOML files of their own
// (test case files) with the resolver's reader. Tables become objects with
// their keys in the order written, arrays arrays, strings strings, integers
// and floats numbers (floats that JSON cannot write, inf and nan, as their
// TOML text), booleans booleans, and date-times their text as written.
#pragma once

#include <string>
#include <string_view>

#include "wire/result.h"

namespace zorv::wire {

// The JSON text, or "<detail> at line L column C" (columns in
// characters) for text that is not TOML 1.0. With `positions`, every value
// is written as {"at":[line,column],"value":<the value>}, and a table's
// member also with "key_at", where its key is written, so a tool can say
// where a key or value it refuses was written.
Result<std::string> toml_to_json(std::string_view toml_text, bool positions = false);

}  // namespace zorv::wire
