#include "wire/resolve_json.h"

#include "core/in_memory_regulatory_policy_adapter.h"
#include "wire/pack_index.h"
#include "wire/wire_decision.h"
#include "wire/wire_query.h"

namespace zorv::wire {

Result<ControlDecision> decide(std::string_view packs_json, std::string_view query_json,
                               std::optional<std::string_view> strictness_override) {
  Result<PackIndex> packs = PackIndex::read(packs_json);
  if (!packs.ok()) return std::move(packs.error());
  Result<WireQuery> wire_query = WireQuery::read(query_json);
  if (!wire_query.ok()) return std::move(wire_query.error());

  std::optional<Strictness> dial;
  if (strictness_override) dial = Strictness::parse(*strictness_override);
  const RegulatoryQuery query = std::move(wire_query.value()).into_core();
  // The adapter asks the index for the keys the query is looked up under;
  // only the text it finds is decoded.
  const InMemoryRegulatoryPolicyAdapter adapter(std::move(dial), packs.value());
  const RegulatoryPolicyPort& port = adapter;
  return port.required_controls(query);
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
