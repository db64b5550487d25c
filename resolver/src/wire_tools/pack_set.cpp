#include "wire_tools/pack_set.h"

#include "core/in_memory_regulatory_policy_adapter.h"
#include "core/pack_decision.h"
#include "wire_tools/explain_json.h"
#include "wire/resolve_with_receipts_json.h"
#include "wire/wire_decision.h"
#include "wire/wire_query.h"

namespace zorv::wire {
namespace {

std::optional<Strictness> parse_strictness(std::optional<std::string_view> strictness_override) {
  if (!strictness_override) return std::nullopt;
  return Strictness::parse(*strictness_override);
}

}  // namespace

Result<PackSet> PackSet::read(std::string_view packs_json) {
  Result<PackIndex> index = PackIndex::read(packs_json);
  if (!index.ok()) return std::move(index.error());
  PackSet set{PackTable(index.value())};
  set.packs_.reserve(set.size());
  std::string storage;
  for (const PackTable::Entry& entry : set.entries()) {
    set.packs_.push_back(read_policy_pack(PackTable::decoded(entry.text, storage)));
  }
  return set;
}

ControlDecision PackSet::decide(const RegulatoryQuery& query, const std::optional<Strictness>& strictness) const {
  const std::array<std::string, 2> keys = InMemoryRegulatoryPolicyAdapter::lookup_keys(query);
  for (const std::string& key : keys) {
    if (const std::optional<std::size_t> at = table_.position(key)) {
      const std::optional<PolicyPack>& pack = packs_[*at];
      return decide_from_pack(pack ? &*pack : nullptr, key, strictness, query);
    }
  }
  // As the adapter does: the marker names the first key tried.
  return fail_closed_decision(query, fall_back_marker(FallBackKind::missing, keys[0]));
}

Result<std::string> PackSet::resolve_json(std::string_view query_json,
                                          std::optional<std::string_view> strictness_override) const {
  Result<WireQuery> query = WireQuery::read(query_json);
  if (!query.ok()) return std::move(query.error());
  const ControlDecision decision = decide(std::move(query.value()).into_core(), parse_strictness(strictness_override));
  std::string text;
  WireDecision::from_core(decision).write(text);
  return text;
}

Result<std::string> PackSet::resolve_with_receipts_json(std::string_view query_json, std::string_view ctx_json,
                                                        std::optional<std::string_view> strictness_override) const {
  Result<WireQuery> query = WireQuery::read(query_json);
  if (!query.ok()) return std::move(query.error());
  const ControlDecision decision = decide(std::move(query.value()).into_core(), parse_strictness(strictness_override));
  return decision_with_receipts_json(decision, ctx_json);
}

Result<std::string> PackSet::explain_json(std::string_view query_json,
                                          std::optional<std::string_view> strictness_override) const {
  Result<WireQuery> query = WireQuery::read(query_json);
  if (!query.ok()) return std::move(query.error());
  // The explanation reads the pack's text again for the places it cites.
  return explanation_json(table_, parse_strictness(strictness_override), std::move(query.value()).into_core());
}

std::optional<std::string> PackSet::pack_text(std::string_view key) const {
  const PackTable::Entry* entry = table_.entry(key);
  if (entry == nullptr) return std::nullopt;
  if (!entry->text.has_escapes) return std::string(entry->text.content);
  return json::unescaped(entry->text);
}

}  // namespace zorv::wire
