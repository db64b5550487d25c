// InMemoryRegulatoryPolicyAdapter: answers queries from packs held in memory,
// keyed "<profile>/<domain>.zorv.toml" (first choice) or
// "<profile>/<domain>.toml" (second choice). The rule lives here alone: the
// packs are reached through a PackLookup, asked for each key once, and only
// the pack a query asks for is ever parsed; a query with no pack gets the
// missing fall-back. Read-only after construction, so one adapter may serve
// several threads.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "pack/pack_lookup.h"
#include "pack/policy_pack.h"
#include "core/decision_trace.h"
#include "core/regulatory_policy_port.h"
#include "core/strictness.h"

namespace zorv {

// Lookups and packs read in full, by pack key, kept across the queries of
// one batch, so that each key is looked up and each pack read once however
// many queries ask for it. Not for use from several threads at once.
class PackCache {
 public:
  struct Entry {
    bool found = false;
    std::optional<PolicyPack> pack;  // absent when found but not a pack
  };
  // The entry for `key`, looked up in `packs` and read on first use.
  const Entry& entry(const PackLookup& packs, std::string_view key);

 private:
  std::map<std::string, Entry, std::less<>> entries_;
};

class InMemoryRegulatoryPolicyAdapter final : public RegulatoryPolicyPort {
 public:
  // Over packs it owns.
  InMemoryRegulatoryPolicyAdapter(std::optional<Strictness> strictness_override, PackMap packs)
      : strictness_override_(std::move(strictness_override)),
        owned_(std::make_unique<PackMapLookup>(std::move(packs))),
        packs_(*owned_) {}
  // Over packs it borrows; `packs` must outlive the adapter.
  InMemoryRegulatoryPolicyAdapter(std::optional<Strictness> strictness_override, const PackLookup& packs)
      : strictness_override_(std::move(strictness_override)), packs_(packs) {}
  // Over packs it borrows, keeping what it reads in `cache`; both must
  // outlive the adapter.
  InMemoryRegulatoryPolicyAdapter(std::optional<Strictness> strictness_override, const PackLookup& packs,
                                  PackCache& cache)
      : strictness_override_(std::move(strictness_override)), packs_(packs), cache_(&cache) {}

  ControlDecision required_controls(const RegulatoryQuery& query) const override;

  // The same decision, recorded in `trace` as it is made: the keys looked
  // up, the pack's text, and the pack read with the place of every entry and
  // of any fault, so that an explanation can point into it. Slower than
  // required_controls; for tools, not for serving.
  ControlDecision traced_controls(const RegulatoryQuery& query, DecisionTrace& trace) const;

  // The keys a query is looked up under, in lookup order; no other key is
  // ever read.
  static std::array<std::string, 2> lookup_keys(const RegulatoryQuery& query);

 private:
  std::optional<Strictness> strictness_override_;
  std::unique_ptr<PackMapLookup> owned_;
  const PackLookup& packs_;
  PackCache* cache_ = nullptr;
};

}  // namespace zorv
