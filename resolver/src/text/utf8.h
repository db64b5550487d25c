// UTF-8 sequences one at a time: how long the well-formed sequence at a
// position is, and the encoding of one code point. Shared by the JSON and
// TOML readers, which both read and decode UTF-8 text.
//
// Pure; safe to call from many threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorv::text {

// Length of the well-formed UTF-8 sequence starting at text[pos] (RFC 3629:
// no overlong form, no surrogate, nothing above U+10FFFF), or 0 when the
// bytes there are none. An ASCII byte is a sequence of length 1.
std::size_t utf8_sequence_length(std::string_view text, std::size_t pos);

// Appends the UTF-8 encoding of `code_point` (a Unicode scalar value).
void append_utf8(std::string& out, std::uint32_t code_point);

}  // namespace zorv::text
