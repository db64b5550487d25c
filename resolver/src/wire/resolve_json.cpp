#include "wire/resolve_json.h"

#include "core/in_memory_regulatory_policy_adapter.h"
#include "wire/wire_call.h"
#include "wire/wire_decision.h"

namespace zorv::wire {

Result<ControlDecision> decide(std::string_view packs_json, std::string_view query_json,
                               std::optional<std::string_view> strictness_override) {
  Result<WireCall> call = WireCall::read(packs_json, query_json, strictness_override);
  if (!call.ok()) return std::move(call.error());
  // The adapter asks the index for the keys the query is looked up under;
  // only the text it finds is decoded.
  const InMemoryRegulatoryPolicyAdapter adapter(std::move(call.value().strictness_override), call.value().packs);
  const RegulatoryPolicyPort& port = adapter;
  return port.required_controls(call.value().query);
}

Result<std::string> resolve_json(std::string_view packs_json, std::string_view query_json,
                                 std::optional<std::string_view> strictness_override) {
  Result<ControlDecision> decision = decide(packs_json, query_json, strictness_override);
  if (!decision.ok()) return std::move(decision.error());
  std::string text;
  WireDecision::from_core(decision.value()).write(text);
  return text;
}

}  // namespace zorv::wire
