// JSON numbers: the RFC 8259 number grammar, the three kinds the reader
// tells apart (an unsigned integer, a negative one, anything else as a
// double), and how a type fault writes a double. Pure functions over a
// borrowed text; safe from many threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/fault.h"

namespace zorv::json {

// A number as the reader classifies it after validating its syntax.
struct JsonNumber {
  enum class Kind { unsigned_integer, negative_integer, floating };
  Kind kind = Kind::unsigned_integer;
  std::uint64_t magnitude = 0;  // integers: the absolute value
  double floating = 0;
};

// Scans the number that starts at `text[start]` (a minus sign or a digit).
// On success sets `end` just past it, classifies it into `out` and returns
// true; otherwise fills `fault`. An integer that no 64-bit magnitude holds
// is read as a double; a number beyond a double's range is a fault, one
// below it reads as zero. With `syntax_only` the number is only validated,
// never converted, so a number beyond a double's range passes.
bool scan_number(std::string_view text, std::size_t start, JsonNumber& out, std::size_t& end, text::Fault& fault,
                 bool syntax_only = false);

// Shortest round-trip digits, written out without an exponent and always
// with a fractional part: 1e3 reads 1000.0, 2^64 reads 18446744073709552000.0.
std::string float_for_fault(double value);

}  // namespace zorv::json
