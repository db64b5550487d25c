// Readable GoogleTest failure output for decisions, and the builders the
// decision tables use for their expected values.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "core/control_decision.h"

namespace zorv {

inline void PrintTo(const ControlSet& set, std::ostream* out) {
  *out << "{";
  for (const std::string_view key : set.keys()) *out << " \"" << key << "\"";
  *out << " }";
}

inline void PrintTo(const ControlDecision& decision, std::ostream* out) {
  const PolicyProvenance& p = decision.provenance;
  *out << (decision.verdict == Verdict::permit ? "permit " : "block ");
  PrintTo(decision.required, out);
  *out << " profile=" << p.profile << " strictness=\"" << p.strictness.text_form() << "\" source=" << p.source
       << " review=" << p.legal_review_status.value_or("<absent>")
       << " guidance=" << p.last_reviewed_against_guidance.value_or("<absent>") << " fell_back=" << p.fell_back;
}

// A pack answer, as the tables spell it out.
inline ControlDecision answer(std::vector<ControlKey> required, Strictness dial, std::string profile,
                              std::string source, std::optional<std::string> review = std::nullopt,
                              std::optional<std::string> guidance = std::nullopt) {
  ControlDecision decision;
  decision.required = ControlSet::from_list(std::move(required));
  decision.provenance = {std::move(profile), std::move(dial),     std::move(source),
                         std::move(review),  std::move(guidance), false};
  return decision;
}

// The fall-back every pack problem must give: the whole universe, aggressive.
inline ControlDecision fall_back(std::vector<ControlKey> universe, std::string profile, std::string marker) {
  ControlDecision decision;
  decision.required = ControlSet::from_list(std::move(universe));
  decision.provenance = {
      std::move(profile), Strictness::aggressive(), std::move(marker), std::nullopt, std::nullopt, true};
  return decision;
}

}  // namespace zorv
