// Doubles as decimal text: read correctly rounded, written as the shortest
// text that reads back to the same double. The same results as
// std::from_chars and std::to_chars, which Apple's C++ library offers for
// double only from macOS 13.3 on; there the C library does the work instead
// (the *_by_c_library functions), under the "C" locale whatever locale the
// process has chosen, so a decimal comma never leaks in. Elsewhere the
// std calls are used, and the C library path is built only so the tests can
// hold it to them.
//
// Pure and safe from many threads at once (the locale is switched for the
// calling thread only). No allocation except in the string appended to.
#pragma once

#include <charconv>
#include <string>

namespace zorv::text {

// Reads the longest prefix of [first, last) that is a decimal number: an
// optional '-', digits with an optional '.', then an optional exponent, as
// std::from_chars in its general format. On a value beyond the double range
// (or a nonzero one that rounds to zero) returns errc::result_out_of_range
// and leaves `value` as it was. Callers pass decimal text only: "inf", "nan"
// and hexadecimal are not read by the C library path.
std::from_chars_result read_double(const char* first, const char* last, double& value);

// Appends the shortest text that reads back to `value` (the nearest to it
// among several of that length), fixed or scientific, whichever is shorter,
// fixed on a tie: std::to_chars(value). Whole numbers written fixed show
// every digit of the double: 2^64 is 18446744073709551616.
void append_double(std::string& out, double value);

// The same digits always in scientific form, one digit before the point and
// at least two in the exponent (1e+03, 1.5e-07):
// std::to_chars(value, std::chars_format::scientific).
void append_double_scientific(std::string& out, double value);

// The C library path, which the three above take on Apple platforms; not
// available on Windows, whose C++ library has the std calls.
#if !defined(_WIN32)
std::from_chars_result read_double_by_c_library(const char* first, const char* last, double& value);
void append_double_by_c_library(std::string& out, double value);
void append_double_scientific_by_c_library(std::string& out, double value);
#endif

}  // namespace zorv::text
