#include "core/in_memory_regulatory_policy_adapter.h"

#include "core/pack_decision.h"
#include "toml/toml_document.h"

namespace zorv {

const PackCache::Entry& PackCache::entry(const PackLookup& packs, std::string_view key) {
  auto found = entries_.find(key);
  if (found != entries_.end()) return found->second;
  Entry entry;
  std::string storage;
  if (const std::optional<std::string_view> text = packs.find(key, storage)) {
    entry.found = true;
    entry.pack = read_policy_pack(*text);
  }
  return entries_.emplace(std::string(key), std::move(entry)).first->second;
}

std::array<std::string, 2> InMemoryRegulatoryPolicyAdapter::lookup_keys(const RegulatoryQuery& query) {
  // Profile and domain go in verbatim: a "/" inside either is not escaped,
  // so profile "a/b" and domain "c" look up "a/b/c.zorv.toml".
  std::string stem;
  stem.reserve(query.profile.size() + 1 + query.domain.size());
  stem.append(query.profile).append("/").append(query.domain);
  return {stem + ".zorv.toml", stem + ".toml"};
}

ControlDecision InMemoryRegulatoryPolicyAdapter::required_controls(const RegulatoryQuery& query) const {
  const std::array<std::string, 2> keys = lookup_keys(query);
  std::string storage;
  for (const std::string& key : keys) {
    if (cache_ != nullptr) {
      const PackCache::Entry& entry = cache_->entry(packs_, key);
      if (entry.found) return decide_from_pack(entry.pack ? &*entry.pack : nullptr, key, strictness_override_, query);
    } else if (const std::optional<std::string_view> text = packs_.find(key, storage)) {
      return decide_from_pack_text(*text, key, strictness_override_, query);
    }
  }
  // Both forms were tried, but the marker names the first, and the caller's
  // dial plays no part in a fall-back.
  return fail_closed_decision(query, fall_back_marker(FallBackKind::missing, keys[0]));
}

ControlDecision InMemoryRegulatoryPolicyAdapter::traced_controls(const RegulatoryQuery& query,
                                                                 DecisionTrace& trace) const {
  trace.tried = lookup_keys(query);
  std::string storage;
  std::optional<std::string_view> text;
  for (const std::string& key : trace.tried) {
    if ((text = packs_.find(key, storage))) {
      trace.source = key;
      break;
    }
  }
  if (!text) {
    trace_fall_back(
        trace, query,
        {FallBackKind::missing, "no pack under `" + trace.tried[0] + "` or `" + trace.tried[1] + "`", std::nullopt});
    return fail_closed_decision(query, fall_back_marker(FallBackKind::missing, trace.tried[0]));
  }
  trace.pack_text = std::string(*text);
  // Whichever reader fails, the TOML one or the pack one, says why in the
  // same fault.
  text::Fault fault;
  const std::optional<toml::TomlDocument> document = toml::TomlDocument::read(trace.pack_text, fault);
  std::optional<PolicyPack> pack;
  if (document) pack = read_policy_pack(*document, fault);
  const ControlDecision decision =
      decide_from_pack(pack ? &*pack : nullptr, *trace.source, strictness_override_, query, &trace);
  if (!pack) {
    trace.fall_back->detail = std::move(fault.detail);
    trace.fall_back->offset = fault.offset;
  }
  return decision;
}

}  // namespace zorv
