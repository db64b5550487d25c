// The combined operation behind `resolve_with_receipts`: the same decision as
// resolve_json, then the receipt context, then both receipts, written as one
// object {"decision", "receipt_dpv27560", "receipt_kantara_cr_v1_1"} whose
// objects have their keys in ascending byte order at every depth. Pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/control_decision.h"
#include "wire/result.h"

namespace zorv::wire {

// The context is read only after the decision, so an unusable pack map or
// query is reported before an unusable context.
Result<std::string> resolve_with_receipts_json(std::string_view packs_json, std::string_view query_json,
                                               std::string_view ctx_json,
                                               std::optional<std::string_view> strictness_override);

// The second half: `decision` already made, then the context and receipts.
Result<std::string> decision_with_receipts_json(const ControlDecision& decision, std::string_view ctx_json);

}  // namespace zorv::wire
