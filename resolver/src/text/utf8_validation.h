// UTF-8 validation: whether a byte string is well-formed UTF-8 in the strict
// sense of RFC 3629 (no overlong forms, no encoded surrogates, nothing above
// U+10FFFF, no truncated sequence).
//
// On x86-64 processors with AVX2 the check runs 32 bytes at a time with the
// lookup-table method of Keiser and Lemire, chosen once at run time; every
// other machine gets a 16-byte ASCII skip with a sequence-by-sequence check
// of the rest. Both answer exactly alike.
//
// Pure; reads only its argument; safe to call from many threads at once.
#pragma once

#include <cstddef>
#include <string_view>

namespace zorv::text {

bool is_valid_utf8(std::string_view text);

// Offset of the first byte that does not belong to a well-formed UTF-8
// sequence, or text.size() when the whole text is well formed.
std::size_t first_invalid_utf8(std::string_view text);

// The portable check on its own, whatever the processor: the reference the
// vector check is tested against.
bool is_valid_utf8_portably(std::string_view text);

}  // namespace zorv::text
