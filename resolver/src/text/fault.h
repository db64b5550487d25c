// Fault: the first problem a reader met, as what kind of problem it is, the
// byte offset at which it was found and a one-line detail. The one fault type
// of every reader (JSON, TOML, the pack reader): a plain value, turned into a
// caller-facing message with a line and column only when reported, so the
// success path never counts lines.
//
// The code is what a caller branches on; the detail is text for people and
// is never compared. A fault is meaningful only once a reader has returned
// false.
#pragma once

#include <cstddef>
#include <string>

namespace zorv::text {

// One code per kind of problem a reader reports. Each place a reader fails
// names exactly one.
enum class FaultCode {
  not_utf8,  // bytes that are not UTF-8 where text is read

  json_syntax,               // not JSON: a misplaced token, a bad escape or number, an early end
  json_too_deep,             // arrays and objects nested beyond the reader's limit
  json_number_out_of_range,  // a number no double holds
  json_wrong_type,           // a value of another type than the record asks for
  json_invalid_value,        // a value of the right type the record does not take
  json_duplicate_field,      // a record's member given twice
  json_missing_field,        // a record's required member absent

  toml_syntax,        // not TOML 1.0: a misplaced token, a bad string or literal, an early end
  toml_redefinition,  // a key or table defined twice, or extended where TOML forbids it

  pack_missing_meta,  // TOML, but with no `meta` table
  pack_wrong_type,    // a key of the pack's vocabulary holding a value of another kind
};

struct Fault {
  FaultCode code{};
  std::size_t offset = 0;  // bytes into the text read
  std::string detail;      // e.g. "expected value"
};

}  // namespace zorv::text
