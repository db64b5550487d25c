#include "analysis/decision_explanation.h"

#include <utility>

#include "core/in_memory_regulatory_policy_adapter.h"

namespace zorv {

DecisionExplanation explain_decision(const PackLookup& packs, const std::optional<Strictness>& strictness_override,
                                     const RegulatoryQuery& query) {
  DecisionTrace trace;
  DecisionExplanation out;
  out.decision = InMemoryRegulatoryPolicyAdapter(strictness_override, packs).traced_controls(query, trace);
  out.tried = std::move(trace.tried);
  out.source = std::move(trace.source);
  out.effective = std::move(trace.effective);
  out.strictness_from = trace.strictness_from;
  const text::TextPositions where(trace.pack_text);
  const auto position = [&](const std::optional<std::size_t>& offset) {
    return offset ? std::optional<text::TextPosition>(where.at(*offset)) : std::nullopt;
  };
  if (trace.fall_back) {
    out.fall_back = FallBackExplanation{trace.fall_back->kind, std::move(trace.fall_back->detail),
                                        position(trace.fall_back->offset)};
  }
  out.controls.reserve(trace.controls.size());
  for (TracedControl& control : trace.controls) {
    out.controls.push_back({std::move(control.control), control.required, control.reason, position(control.offset)});
  }
  return out;
}

}  // namespace zorv
