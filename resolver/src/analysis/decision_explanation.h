// DecisionExplanation: why a query got the answer it got. For each control
// of the universe, whether it is required and what made it so, with the
// place in the pack that lists it; which pack keys were looked up and which
// one answered; where the effective dial came from; and, for a fall-back,
// what exactly was wrong with the pack and where.
//
// It is the decision's own trace (decision_trace.h) with its byte offsets
// turned into lines and columns: nothing here restates the rules, so the
// controls marked required are exactly the decision's.
//
// Pure: no I/O, no state; safe to call from many threads at once.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/control_decision.h"
#include "core/decision_trace.h"
#include "core/pack_decision.h"
#include "pack/pack_lookup.h"
#include "core/regulatory_query.h"
#include "core/strictness.h"
#include "text/text_position.h"

namespace zorv {

struct ControlExplanation {
  std::string control;
  bool required = false;
  ControlReason reason = ControlReason::universe;
  // Where the pack lists the control, for the three reasons that come from a
  // list: subject_list, legal_floor and prohibited.
  std::optional<text::TextPosition> position;
};

struct FallBackExplanation {
  FallBackKind kind = FallBackKind::missing;
  std::string detail;
  std::optional<text::TextPosition> position;  // for a malformed pack
};

struct DecisionExplanation {
  ControlDecision decision;
  std::optional<std::string> source;  // the pack key that answered
  std::array<std::string, 2> tried;   // the keys looked up, in lookup order
  Strictness effective = Strictness::aggressive();
  StrictnessFrom strictness_from = StrictnessFrom::default_dial;
  std::optional<FallBackExplanation> fall_back;
  std::vector<ControlExplanation> controls;  // the universe, ascending byte order
};

DecisionExplanation explain_decision(const PackLookup& packs, const std::optional<Strictness>& strictness_override,
                                     const RegulatoryQuery& query);

}  // namespace zorv
