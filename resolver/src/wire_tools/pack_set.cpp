#include "wire_tools/pack_set.h"

#include <utility>

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
  return PackSet{PackTable(index.value())};
}

PackSet::LazyPacks::LazyPacks(std::size_t size)
    : size_(size), slots_(std::make_unique<std::atomic<std::optional<PolicyPack>*>[]>(size)) {}

PackSet::LazyPacks::LazyPacks(LazyPacks&& other) noexcept
    : size_(std::exchange(other.size_, 0)), slots_(std::move(other.slots_)) {}

PackSet::LazyPacks& PackSet::LazyPacks::operator=(LazyPacks&& other) noexcept {
  if (this != &other) {
    drop();
    size_ = std::exchange(other.size_, 0);
    slots_ = std::move(other.slots_);
  }
  return *this;
}

void PackSet::LazyPacks::drop() {
  for (std::size_t i = 0; i < size_; ++i) delete slots_[i].load(std::memory_order_acquire);
  size_ = 0;
  slots_.reset();
}

const std::optional<PolicyPack>& PackSet::LazyPacks::at(std::size_t at, json::RawJsonString text) const {
  std::atomic<std::optional<PolicyPack>*>& slot = slots_[at];
  if (const std::optional<PolicyPack>* filed = slot.load(std::memory_order_acquire)) return *filed;
  std::string storage;
  auto read = std::make_unique<std::optional<PolicyPack>>(read_policy_pack(PackTable::decoded(text, storage)));
  std::optional<PolicyPack>* expected = nullptr;
  if (slot.compare_exchange_strong(expected, read.get(), std::memory_order_acq_rel, std::memory_order_acquire)) {
    return *read.release();
  }
  // Another thread filed the same pack first.
  return *expected;
}

ControlDecision PackSet::decide(const RegulatoryQuery& query, const std::optional<Strictness>& strictness) const {
  const std::array<std::string, 2> keys = InMemoryRegulatoryPolicyAdapter::lookup_keys(query);
  for (const std::string& key : keys) {
    if (const std::optional<std::size_t> at = table_.position(key)) {
      const std::optional<PolicyPack>& pack = packs_.at(*at, table_.entries()[*at].text);
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
