#include "core/in_memory_regulatory_policy_adapter.h"

#include "core/pack_decision.h"

namespace zorv {

const PolicyPackToml* PackCache::pack(std::string_view key, std::string_view text) {
  auto found = packs_.find(key);
  if (found == packs_.end()) found = packs_.emplace(std::string(key), read_policy_pack(text)).first;
  return found->second ? &*found->second : nullptr;
}

std::array<std::string, 2> InMemoryRegulatoryPolicyAdapter::lookup_keys(
    const RegulatoryQuery& query) {
  // Profile and domain go in verbatim: a "/" inside either is not escaped,
  // so profile "a/b" and domain "c" look up "a/b/c.zorv.toml".
  std::string stem;
  stem.reserve(query.profile.size() + 1 + query.domain.size());
  stem.append(query.profile).append("/").append(query.domain);
  return {stem + ".zorv.toml", stem + ".toml"};
}

ControlDecision InMemoryRegulatoryPolicyAdapter::required_controls(
    const RegulatoryQuery& query) const {
  const std::array<std::string, 2> keys = lookup_keys(query);
  std::string storage;
  for (const std::string& key : keys) {
    if (const std::optional<std::string_view> text = packs_.find(key, storage)) {
      if (cache_ != nullptr) return decide_from_pack(cache_->pack(key, *text), key, strictness_override_, query);
      return decide_from_pack_text(*text, key, strictness_override_, query);
    }
  }
  // Both forms were tried, but the marker names the first, and the caller's
  // dial plays no part in a fall-back.
  return fail_closed_decision(query, fall_back_marker(FallBackKind::missing, keys[0]));
}

}  // namespace zorv
