// Scanning and decoding of JSON string literals, shared by the JSON reader
// and the pack map's block scan. Scanning validates a literal completely
// (escapes, surrogate pairs, control characters, UTF-8) without copying it;
// decoding is done later, and only for the strings that are actually used.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "json/json_fault.h"

namespace zorv::json {

// The bytes between a string literal's quotes, escapes not yet decoded.
struct RawJsonString {
  std::string_view content;
  bool has_escapes = false;
};

// Scans the literal whose opening quote is at `text[open_quote]`. On success
// fills `raw`, sets `end` to the offset just past the closing quote and
// returns true; otherwise fills `fault` with the first problem in text order.
// `text_is_utf8` says the whole text is known to be valid UTF-8, so the
// literal's UTF-8 needs no check of its own.
bool scan_string(std::string_view text, std::size_t open_quote, RawJsonString& raw, std::size_t& end,
                 text::Fault& fault, bool text_is_utf8 = false);

// The same scan done byte by byte, which scan_string falls back to for any
// literal its block scan declines; also the reference it is tested against.
bool scan_string_precisely(std::string_view text, std::size_t open_quote, RawJsonString& raw, std::size_t& end,
                           text::Fault& fault);

// Decodes a literal that scan_string accepted.
void append_unescaped(std::string& out, RawJsonString raw);
std::string unescaped(RawJsonString raw);

}  // namespace zorv::json
