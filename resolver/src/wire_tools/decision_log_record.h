// DecisionLogRecord: one line of a decision log, as a replay reads it.
// A line is the JSON object {"query", "strictness", "decision",
// "pack_sha256"}: the query as the caller sent it, the dial override it was
// decided under (or null), the decision text it got and the hash of the
// pack it was decided with. Members may come in any order and other members
// are skipped; `query` and `decision` are required, `strictness` and
// `pack_sha256` may be absent (null).
//
// The record borrows the line: `query` and `decision` are views into it.
// Reading is pure and never throws; a line that is not a record gives a
// fault with the byte offset, in the line, where it was found.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text/fault.h"

namespace zorv::wire {

struct DecisionLogRecord {
  std::string_view query;        // the query's text as written
  std::size_t query_offset = 0;  // where that text begins in the line
  std::optional<std::string> strictness;
  std::string_view decision;  // the recorded decision's text as written
  std::size_t decision_offset = 0;

  // Reads `line`; false with `fault` set when it is not a record.
  static bool read(std::string_view line, DecisionLogRecord& record, text::Fault& fault);
};

// Whether `text`, a valid JSON text, is `compact` once the whitespace
// outside its strings is taken out: a recorded decision that was
// reformatted still reads as the text the resolver wrote. Stops at the
// first difference and copies nothing.
bool same_without_whitespace(std::string_view text, std::string_view compact);

}  // namespace zorv::wire
