// WireDecision and WireProvenance: the JSON form of a decision, the text
// `resolve` returns. Output only: written straight into compact text with
// the members in declaration order, or turned into a generic JSON value
// (keys then in byte order) for the combined result with receipts. The
// required controls are views into the core decision it was made from, which
// must outlive it: a large universe is then never copied on its way out.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/control_decision.h"
#include "core/disclaimer.h"
#include "json/json_value.h"

namespace zorv::wire {

struct WireProvenance {
  std::string profile;
  std::string strictness;
  std::string source;
  std::optional<std::string> legal_review_status;
  std::optional<std::string> last_reviewed_against_guidance;
  bool fell_back = false;
};

struct WireDecision {
  std::string verdict;
  std::vector<std::string_view> required;
  WireProvenance provenance;
  std::string_view disclaimer = kNotLegalAdvice;

  static WireDecision from_core(const ControlDecision& decision);

  // Appends the compact text, members in declaration order, absent optional
  // values as null.
  void write(std::string& out) const;

  // Borrows the required keys, like the record itself.
  json::JsonValue to_json_value() const;
};

}  // namespace zorv::wire
