#include "analysis/pack_answer.h"

#include "core/answer_model.h"
#include "core/in_memory_regulatory_policy_adapter.h"
#include "core/pack_decision.h"

namespace zorv {

PackAnswer pack_answer(const ReachedPack& reached, const std::optional<Strictness>& dial,
                       const RegulatoryQuery& query) {
  // The provenance is the decision's own, made over the query's (empty)
  // universe; the required set comes from the model the decision is made from.
  const ControlDecision decision =
      reached.key
          ? decide_from_pack(reached.pack, *reached.key, dial, query)
          : fail_closed_decision(
                query, fall_back_marker(FallBackKind::missing, InMemoryRegulatoryPolicyAdapter::lookup_keys(query)[0]));
  PackAnswer answer{.required = {.form = RequiredRule::Form::all_except, .keys = {}},
                    .strictness = decision.provenance.strictness,
                    .source = decision.provenance.source,
                    .legal_review_status = decision.provenance.legal_review_status,
                    .last_reviewed_against_guidance = decision.provenance.last_reviewed_against_guidance,
                    .fell_back = decision.provenance.fell_back};
  if (!answer.fell_back) {
    const AnswerModel model =
        answer_model(*reached.pack, dial, query.subject, as_of_place(reached.pack->meta, query.as_of));
    answer.required.form =
        model.form == AnswerModel::Form::universe_and ? RequiredRule::Form::controls : RequiredRule::Form::all_except;
    answer.required.keys = model.set();
  }
  return answer;
}

std::string unnamed_control(const ControlSet& named, std::string_view preferred) {
  std::string key(preferred);
  // Each try that is taken rules out one named key, so this ends.
  for (std::size_t n = 2; named.contains(key); ++n) key = std::string(preferred) + "_" + std::to_string(n);
  return key;
}

}  // namespace zorv
