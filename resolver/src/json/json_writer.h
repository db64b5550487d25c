// Compact JSON text writing: no whitespace, "," between members and
// elements, ":" after keys. Strings are written as UTF-8 with three kinds of
// escape only: \" and \\; \b \t \n \f \r; every other character below U+0020
// as \u00xx with lowercase hex digits. "/", DEL and non-ASCII are written as
// they are. Writing appends to a caller-owned buffer and never fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "json/json_value.h"

namespace zorv::json {

// Appends `text` as a quoted, escaped JSON string.
void append_string(std::string& out, std::string_view text);

// Appends an unsigned integer in plain decimal digits.
void append_uint(std::string& out, std::uint64_t number);

// Appends `value` as compact JSON; object members in their (sorted) order.
void append_value(std::string& out, const JsonValue& value);

// An upper bound on the bytes append_string writes for `text`, for reserving.
inline size_t max_string_size(std::string_view text) { return 6 * text.size() + 2; }

}  // namespace zorv::json
