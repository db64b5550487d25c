// The guard in front of the TOML parser: a byte scan that turns away
// documents nested deeper than kMaxTomlNesting levels, dotted key parts
// included, before the parser sees them. The parser limits how deeply values
// nest but not how many parts a dotted key or table header has, and it walks
// (and frees) the finished tree recursively, so one key of 100,000 dotted
// parts exhausts the stack. This is the one place where valid TOML is
// refused; no pack comes near the limit.
//
// Reads only its argument, never fails, safe to call from many threads.
#pragma once

#include <cstddef>
#include <string_view>

namespace zorv {

// Deeper than any pack needs by far, shallow enough for any thread's stack.
inline constexpr std::size_t kMaxTomlNesting = 1024;

// False when `text` may nest deeper than kMaxTomlNesting; such a text counts
// as not TOML. True says only that the parser's recursion stays bounded.
bool within_toml_nesting_limit(std::string_view text);

}  // namespace zorv
