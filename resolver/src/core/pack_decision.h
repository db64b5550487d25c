// The decision over one policy pack, and the fail-closed decision that every
// pack problem turns into. Pure functions: no I/O, no state, never fail, safe
// to call from many threads at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/answer_model.h"
#include "core/control_decision.h"
#include "core/decision_trace.h"
#include "pack/policy_pack.h"
#include "core/regulatory_query.h"
#include "core/strictness.h"

namespace zorv {

// Reads `pack_text` (TOML), chooses the effective dial (the override beats
// the pack's own `meta.strictness`), checks the validity window and the legal
// floor, selects the controls, keeps only those in the universe and removes
// the prohibited ones. Every problem with the pack yields fail_closed_decision
// with a marker naming the cause and `source`.
ControlDecision decide_from_pack_text(std::string_view pack_text, std::string_view source,
                                      const std::optional<Strictness>& strictness_override,
                                      const RegulatoryQuery& query);

// The same over a pack already read: `pack` null means the text was not a
// pack (the malformed fall-back). The decision is made from the pack's
// answer model; with `trace` it also records how (see decision_trace.h),
// with the offsets of the entries when the pack was read with locations.
ControlDecision decide_from_pack(const PolicyPack* pack, std::string_view source,
                                 const std::optional<Strictness>& strictness_override, const RegulatoryQuery& query,
                                 DecisionTrace* trace = nullptr);

// Records in `trace` a fall-back of `fall_back.kind`: the dial is
// aggressive and every control of the universe is required.
void trace_fall_back(DecisionTrace& trace, const RegulatoryQuery& query, TracedFallBack fall_back);

// The one shape of every fall-back: the whole universe, `aggressive`,
// `fell_back` true, no review fields, `source` set to the given marker.
ControlDecision fail_closed_decision(const RegulatoryQuery& query, std::string marker);

// "missing", "malformed", "outside-effective-envelope" or "minimal-missing-floor".
std::string_view fall_back_kind_name(FallBackKind kind);

// The `source` of a fall-back: "<kind:pack_key>", e.g.
// "<malformed:retail/payments.zorv.toml>". A missing pack is named by the
// first key it was looked up under.
std::string fall_back_marker(FallBackKind kind, std::string_view pack_key);

}  // namespace zorv
