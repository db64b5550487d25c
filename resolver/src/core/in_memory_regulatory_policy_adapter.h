// InMemoryRegulatoryPolicyAdapter: answers queries from packs held in memory,
// keyed "<profile>/<domain>.zorv.toml" (first choice) or
// "<profile>/<domain>.toml" (second choice). Only the pack a query asks for is
// ever parsed; a query with no pack gets the missing fall-back. Read-only
// after construction, so one adapter may serve several threads.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>

#include "core/regulatory_policy_port.h"
#include "core/strictness.h"

namespace zorv {

// Pack key to pack TOML text; keys compared byte for byte.
using PackMap = std::map<std::string, std::string, std::less<>>;

class InMemoryRegulatoryPolicyAdapter final : public RegulatoryPolicyPort {
 public:
  InMemoryRegulatoryPolicyAdapter(std::optional<Strictness> strictness_override, PackMap packs)
      : strictness_override_(std::move(strictness_override)), packs_(std::move(packs)) {}

  ControlDecision required_controls(const RegulatoryQuery& query) const override;

  // The keys a query is looked up under, in lookup order. A caller holding
  // many packs may keep just the entries under these keys: no other key is
  // ever read.
  static std::array<std::string, 2> lookup_keys(const RegulatoryQuery& query);

 private:
  std::optional<Strictness> strictness_override_;
  PackMap packs_;
};

}  // namespace zorv
