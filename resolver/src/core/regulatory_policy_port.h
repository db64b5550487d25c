// RegulatoryPolicyPort: the one way the wire layer asks the core for a
// decision. It hides where packs come from. Implementations never fail:
// every problem with packs is expressed inside the decision.
#pragma once

#include "core/control_decision.h"
#include "core/regulatory_query.h"

namespace zorv {

class RegulatoryPolicyPort {
 public:
  virtual ~RegulatoryPolicyPort() = default;
  virtual ControlDecision required_controls(const RegulatoryQuery& query) const = 0;
};

}  // namespace zorv
