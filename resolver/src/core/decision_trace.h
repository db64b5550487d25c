// DecisionTrace: how a decision was reached, recorded by the decision
// itself while it decides: the effective dial and where it came from, why it
// fell back (with the byte offset of the fault when the pack is malformed),
// and for each control of the universe whether it is required and which
// entry of the pack made it so or removed it. What explanations are made
// from, so they never restate the rules.
//
// A plain value: it owns its texts. Offsets are into the pack text that was
// decided on.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/answer_model.h"
#include "core/strictness.h"

namespace zorv {

enum class ControlReason {
  universe,      // required: the dial keeps the whole universe
  subject_list,  // required: the subject's list names it
  not_in_subject_list,
  legal_floor,  // required: the floor names it under minimal
  not_in_legal_floor,
  prohibited,  // removed by the prohibited list
  fall_back,   // required: the decision fell back
};

struct TracedFallBack {
  FallBackKind kind = FallBackKind::missing;
  std::string detail;                 // e.g. "as_of `2020-01-01` sorts before effective_from `2024-01-01`"
  std::optional<std::size_t> offset;  // for a malformed pack: where the fault is
};

struct TracedControl {
  std::string control;
  bool required = false;
  ControlReason reason = ControlReason::universe;
  // Where the pack writes the entry behind the reason, for the three reasons
  // that come from a list (subject_list, legal_floor, prohibited) when the
  // pack was read with locations.
  std::optional<std::size_t> offset;
};

struct DecisionTrace {
  std::array<std::string, 2> tried;   // the pack keys looked up, in lookup order
  std::optional<std::string> source;  // the one that answered
  std::string pack_text;              // its text, which the offsets point into
  Strictness effective = Strictness::aggressive();
  StrictnessFrom strictness_from = StrictnessFrom::default_dial;
  std::optional<TracedFallBack> fall_back;
  std::vector<TracedControl> controls;  // the universe, ascending byte order
};

}  // namespace zorv
