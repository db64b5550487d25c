// AnswerModel: what a pack answers for one subject under one dial, before
// any universe is known. Every answer that is not a fall-back is one of two
// shapes over the caller's universe U:
//   U ∩ S   the dial keeps a pack list L (the subject's list under
//           as_configured, the legal floor under minimal): S = L ∖ prohibited
//   U ∖ S   the dial keeps the whole universe (aggressive, an unrecognised
//           dial, or as_configured for a subject the pack does not list):
//           S = prohibited
// and a fall-back is U itself. Which one is chosen by the subject, the
// effective dial and where the query's as_of falls among the pack's bounds:
// nothing else about a query matters. The decision is made from this model,
// and anything that compares packs (two versions of one pack, say) can
// compare models without running queries.
//
// A model borrows the pack's sets and must not outlive the pack. Pure; safe
// to use from many threads at once.
#pragma once

#include <optional>
#include <string_view>

#include "core/control_universe.h"
#include "core/strictness.h"
#include "pack/control_set.h"
#include "pack/policy_pack.h"

namespace zorv {

// Why a decision fell back.
enum class FallBackKind { missing, malformed, outside_window, minimal_missing_floor };

// Where a query's as_of falls among a pack's inclusive bounds, compared as
// bytes.
enum class AsOfPlace { no_as_of, before_from, within, after_until };

AsOfPlace as_of_place(const PackMeta& meta, const std::optional<std::string_view>& as_of);

// Where the effective dial came from.
enum class StrictnessFrom { override_dial, pack, default_dial, fall_back };

struct AnswerModel {
  enum class Form { universe_and, universe_minus };

  Strictness strictness = Strictness::aggressive();
  StrictnessFrom strictness_from = StrictnessFrom::default_dial;
  // Set when the answer is the fall-back (the whole universe); then `form`
  // is universe_minus and nothing is removed.
  std::optional<FallBackKind> fall_back;
  Form form = Form::universe_minus;
  const ControlList* list = nullptr;        // universe_and: the list the dial keeps
  const ControlList* prohibited = nullptr;  // removed from a non-fall-back answer, or null

  // S: for universe_and the list less the prohibited controls, for
  // universe_minus the prohibited controls (empty for a fall-back).
  ControlSet set() const;

  // The answer for `universe`: U ∩ S or U ∖ S, ascending; a fall-back
  // gives the universe. A pack list is kept to the universe by looking each
  // universe key up in it, so a large universe is sorted only when it is
  // itself the answer.
  ControlSet apply(const ControlUniverse& universe) const;
};

// The model of `pack` for `subject` with the dial `strictness_override`
// (when given) or the pack's own, and as_of at `place`.
AnswerModel answer_model(const PolicyPack& pack, const std::optional<Strictness>& strictness_override,
                         std::string_view subject, AsOfPlace place);

}  // namespace zorv
