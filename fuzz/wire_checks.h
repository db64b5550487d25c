// Invariants of the wire layer's answers, checked on the text it returns and
// read back with simdjson, a parser independent of the resolver's own.
//
// An answer is either a JSON decision whose `required` is a subset of the
// query's universe (all of it when the decision fell back), or an error
// message that starts with the prefix of the first unusable argument and
// ends with the position of the fault.
#pragma once

#include <simdjson.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "wire/pack_index.h"
#include "wire/resolve_json.h"
#include "wire/wire_query.h"
#include "wire/wire_receipt_context.h"

namespace zorv::fuzz {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;

// What the resolver itself read from the query: the ordered universe and the
// two texts the provenance must echo.
struct QueryFacts {
  std::vector<std::string> universe;  // ascending bytes, no repeats
  std::string profile;
  std::string domain;
};

inline std::string_view string_of(element value, const char* what, std::string_view text) {
  std::string_view out;
  require(!value.get_string().get(out), what, text);
  return out;
}

inline bool is_json_reading_prefix(std::string_view message) {
  for (const std::string_view prefix : {wire::kPacksJsonPrefix, wire::kQueryJsonPrefix, wire::kCtxJsonPrefix}) {
    if (message.starts_with(prefix)) return true;
  }
  return false;
}

// " at line L column C" with L >= 1 and C >= 0, at the very end.
inline bool ends_with_position(std::string_view message) {
  const std::size_t at = message.rfind(" at line ");
  if (at == std::string_view::npos) return false;
  std::string_view rest = message.substr(at + 9);
  const std::size_t column = rest.find(" column ");
  if (column == std::string_view::npos || column == 0) return false;
  const std::string_view line = rest.substr(0, column);
  const std::string_view col = rest.substr(column + 8);
  const auto all_digits = [](std::string_view digits) {
    return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  return all_digits(line) && line != "0" && all_digits(col);
}

// The query as the resolver reads it, cross-checked against simdjson: a text
// the strict reader accepts is JSON, and both parsers see the same universe.
inline QueryFacts query_facts(std::string_view query_json) {
  wire::Result<wire::WireQuery> read = wire::WireQuery::read(query_json);
  require(read.ok(), "a query that resolved reads on its own", query_json);
  QueryFacts facts{.universe = {}, .profile = read.value().profile, .domain = read.value().domain};
  const RegulatoryQuery core = std::move(read.value()).into_core();
  const ControlSet sorted_universe = core.universe.sorted();
  for (const auto& key : sorted_universe.keys()) facts.universe.emplace_back(key);

  simdjson::dom::parser parser;
  element document;
  const simdjson::error_code error = parser.parse(query_json.data(), query_json.size()).get(document);
  if (error == simdjson::NUMBER_ERROR || error == simdjson::NUMBER_OUT_OF_RANGE) {
    return facts;  // simdjson refuses integers past 64 bits that the reader skips as floats
  }
  require(!error, "simdjson parses every query the resolver accepts", query_json);
  array universe;
  require(!document["universe"].get_array().get(universe), "the accepted query has a universe array", query_json);
  std::vector<std::string> other;
  for (element key : universe) other.emplace_back(string_of(key, "universe elements are strings", query_json));
  std::sort(other.begin(), other.end());
  other.erase(std::unique(other.begin(), other.end()), other.end());
  require(other == facts.universe, "both parsers read the same universe", query_json);
  return facts;
}

// The members of `record` in text order; each must be one of `keys`, in that
// order, all present.
template <std::size_t N>
std::array<element, N> members_in_order(object record, const std::array<std::string_view, N>& keys,
                                        std::string_view text) {
  std::array<element, N> values;
  std::size_t index = 0;
  for (auto field : record) {
    require(index < N && field.key == keys[index], "decision members and their order", text);
    values[index++] = field.value;
  }
  require(index == N, "every decision member is written", text);
  return values;
}

inline bool is_fall_back_marker(std::string_view source) {
  for (const std::string_view kind :
       {"<missing:", "<malformed:", "<outside-effective-envelope:", "<minimal-missing-floor:"}) {
    if (source.starts_with(kind) && source.ends_with(">")) return true;
  }
  return false;
}

// `decision` is the decision object of either operation; `sorted` says its
// keys are in byte order (the combined result) rather than declaration order.
inline void check_decision(element decision, const QueryFacts& query, bool sorted, std::string_view text) {
  object record;
  require(!decision.get_object().get(record), "the decision is an object", text);
  element verdict, required, provenance_value, disclaimer;
  if (sorted) {
    const auto m = members_in_order<4>(record, {"disclaimer", "provenance", "required", "verdict"}, text);
    disclaimer = m[0], provenance_value = m[1], required = m[2], verdict = m[3];
  } else {
    const auto m = members_in_order<4>(record, {"verdict", "required", "provenance", "disclaimer"}, text);
    verdict = m[0], required = m[1], provenance_value = m[2], disclaimer = m[3];
  }
  const std::string_view verdict_text = string_of(verdict, "verdict is a string", text);
  require(verdict_text == "permit" || verdict_text == "block", "verdict is permit or block", text);
  require(string_of(disclaimer, "disclaimer is a string", text) == wire::kNotLegalAdviceText,
          "the disclaimer is the fixed text", text);

  array required_array;
  require(!required.get_array().get(required_array), "required is an array", text);
  std::vector<std::string_view> controls;
  for (element key : required_array) controls.push_back(string_of(key, "required holds strings", text));
  require(std::adjacent_find(controls.begin(), controls.end(), std::greater_equal<>()) == controls.end(),
          "required is strictly ascending", text);
  for (std::string_view key : controls) {
    require(std::binary_search(query.universe.begin(), query.universe.end(), key),
            "required is a subset of the universe", text);
  }

  object provenance;
  require(!provenance_value.get_object().get(provenance), "provenance is an object", text);
  element profile, strictness, source, review_status, reviewed_against, fell_back_value;
  if (sorted) {
    const auto m = members_in_order<6>(
        provenance,
        {"fell_back", "last_reviewed_against_guidance", "legal_review_status", "profile", "source", "strictness"},
        text);
    fell_back_value = m[0], reviewed_against = m[1], review_status = m[2], profile = m[3], source = m[4],
    strictness = m[5];
  } else {
    const auto m = members_in_order<6>(
        provenance,
        {"profile", "strictness", "source", "legal_review_status", "last_reviewed_against_guidance", "fell_back"},
        text);
    profile = m[0], strictness = m[1], source = m[2], review_status = m[3], reviewed_against = m[4],
    fell_back_value = m[5];
  }
  require(string_of(profile, "profile is a string", text) == query.profile, "provenance echoes the profile", text);
  const std::string_view strictness_text = string_of(strictness, "strictness is a string", text);
  const std::string_view source_text = string_of(source, "source is a string", text);
  require(review_status.is_null() || review_status.is_string(), "review status is a string or null", text);
  require(reviewed_against.is_null() || reviewed_against.is_string(), "guidance is a string or null", text);
  bool fell_back = false;
  require(!fell_back_value.get_bool().get(fell_back), "fell_back is a boolean", text);

  if (fell_back) {
    require(controls.size() == query.universe.size(), "a fall-back requires the whole universe", text);
    require(strictness_text == "aggressive", "a fall-back is aggressive", text);
    require(review_status.is_null() && reviewed_against.is_null(), "a fall-back has no review record", text);
    require(is_fall_back_marker(source_text), "a fall-back names its cause", text);
  } else {
    const std::string stem = query.profile + "/" + query.domain;
    require(source_text == stem + ".zorv.toml" || source_text == stem + ".toml",
            "a pack decision names the pack it read", text);
  }
}

// An error message: one of the fixed prefixes, and a fault position after
// any of the JSON-reading ones.
inline void check_error(std::string_view message) {
  if (is_json_reading_prefix(message)) {
    require(ends_with_position(message), "a reading fault ends with its line and column", message);
    return;
  }
  require(
      message.starts_with("decision serialization failed: ") || message.starts_with("receipt serialization failed: "),
      "every error starts with a fixed prefix", message);
}

}  // namespace zorv::fuzz
