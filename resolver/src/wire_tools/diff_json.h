// The JSON form of the difference between two pack maps (`zorv diff`).
#pragma once

#include <string>
#include <string_view>

#include "wire/result.h"

namespace zorv::wire {

// Reads both pack maps and writes {"changes": [...], "summary": {...}}:
// one change per stem, subject class, dial and pair of differing answers,
// with the `as_of` ranges where the pair holds, the keys added and removed,
// whether it loosens, and a witness query. A pack map that is not an object
// of strings is an error whose message starts with "old_packs_json" or
// "new_packs_json" and goes on as the resolver's own.
Result<std::string> diff_json(std::string_view old_packs_json, std::string_view new_packs_json);

}  // namespace zorv::wire
