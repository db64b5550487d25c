#include "core/pack_answer.h"

#include <vector>

namespace zorv {

ControlSet controls_named_for(const PolicyPackToml& pack, std::string_view subject) {
  std::vector<std::string_view> keys;
  const auto add = [&keys](const ControlSet& list) { keys.insert(keys.end(), list.keys().begin(), list.keys().end()); };
  if (const auto entry = pack.subject.find(subject); entry != pack.subject.end()) add(entry->second.controls);
  if (pack.legally_required) add(pack.legally_required->controls);
  if (pack.prohibited) add(pack.prohibited->controls);
  return ControlSet::from_views(std::move(keys));
}

std::string unnamed_control(const ControlSet& named, std::string_view preferred) {
  std::string key(preferred);
  // Each try that is taken rules out one named key, so this ends.
  for (std::size_t n = 2; named.contains(key); ++n) key = std::string(preferred) + "_" + std::to_string(n);
  return key;
}

// The decision treats alike every key that no pack list holds, so one such
// key answers for all of them: required means "all except", not required
// means "only these".
SymbolicQuery::SymbolicQuery(RegulatoryQuery symbolic, ControlSet keys)
    : query(std::move(symbolic)), named(std::move(keys)), stand_in(unnamed_control(named, "")) {
  std::vector<std::string_view> universe(named.keys().begin(), named.keys().end());
  universe.push_back(stand_in);
  query.universe = ControlUniverse::from_views(universe);
}

PackAnswer SymbolicQuery::answer(const RegulatoryPolicyPort& port) const {
  ControlDecision decision = port.required_controls(query);
  RequiredRule required;
  if (decision.required.contains(stand_in)) {
    required.form = RequiredRule::Form::all_except;
    required.keys = named.difference(decision.required);
  } else {
    required.form = RequiredRule::Form::controls;
    required.keys = std::move(decision.required);
  }
  PolicyProvenance& provenance = decision.provenance;
  return PackAnswer{.required = std::move(required),
                    .strictness = std::move(provenance.strictness),
                    .source = std::move(provenance.source),
                    .legal_review_status = std::move(provenance.legal_review_status),
                    .last_reviewed_against_guidance = std::move(provenance.last_reviewed_against_guidance),
                    .fell_back = provenance.fell_back};
}

}  // namespace zorv
