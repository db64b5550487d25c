// ControlDecision and PolicyProvenance: the resolver's answer and the record
// of how it was reached. Plain values that own their texts and sets.
//
// Invariants of every decision: `required` is a subset of the query's
// universe; when `fell_back` is true, `required` is the whole universe, the
// strictness is `aggressive` and both review fields are absent.
#pragma once

#include <optional>
#include <string>

#include "pack/control_set.h"
#include "core/strictness.h"

namespace zorv {

enum class Verdict { permit, block };

struct PolicyProvenance {
  std::string profile;
  Strictness strictness = Strictness::aggressive();
  std::string source;  // the pack key used, or a bracketed fall-back marker
  std::optional<std::string> legal_review_status;
  std::optional<std::string> last_reviewed_against_guidance;
  bool fell_back = false;

  bool operator==(const PolicyProvenance&) const = default;
};

struct ControlDecision {
  Verdict verdict = Verdict::permit;
  ControlSet required;
  PolicyProvenance provenance;

  bool operator==(const ControlDecision&) const = default;
};

}  // namespace zorv
