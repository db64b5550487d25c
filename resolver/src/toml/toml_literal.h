// The TOML 1.0 literal grammar: integers (decimal, hexadecimal, octal and
// binary, with underscores), floats, and the four date and time kinds.
// What the document reader calls once it has cut a bare literal out of the
// text; it knows nothing of keys, tables or strings.
//
// Pure; safe to call from many threads at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "toml/toml_document.h"

namespace zorv::toml {

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// An integer literal, with or without a sign or a 0x, 0o or 0b prefix;
// false when the literal is none or does not fit in 64 bits.
bool read_integer(std::string_view literal, std::int64_t& value);

// A decimal float: an integer part, then a fraction, an exponent or both,
// or inf and nan with an optional sign.
bool read_float(std::string_view literal, double& value);

// Whether `s` is a valid YYYY-MM-DD date (leap years counted).
bool read_date(std::string_view s);

// The kind of a date or time literal, or nullopt when it is none.
std::optional<Kind> date_time_kind(std::string_view s);

}  // namespace zorv::toml
