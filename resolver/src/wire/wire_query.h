// WireQuery: the JSON form of a regulatory query (`query_json`), and its
// reading. Read as a record: unknown keys skipped, a defined key given twice
// or a required key missing is an error naming the key.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/regulatory_query.h"
#include "json/json_reader.h"
#include "wire/result.h"

namespace zorv::wire {

inline constexpr std::string_view kQueryJsonPrefix = "query_json is not a valid RegulatoryQuery: ";

struct WireQuery {
  std::string domain;
  std::string profile;
  std::string jurisdiction;
  std::string subject;
  // Views into the query text, or into `decoded` for strings that carried
  // escapes: the universe can be large, and is copied once, in one block.
  std::vector<std::string_view> universe;
  std::optional<std::string> as_of;
  std::deque<std::string> decoded;

  // The query borrows `query_json`, which must outlive it.
  static Result<WireQuery> read(std::string_view query_json);
  // Reads the query value at the reader's place; false on a fault, which
  // the reader then holds.
  static bool read_from(json::JsonReader& reader, WireQuery& query);

  // Moves the fields into a RegulatoryQuery; the universe keeps the
  // caller's order and repeats.
  RegulatoryQuery into_core() &&;
};

}  // namespace zorv::wire
