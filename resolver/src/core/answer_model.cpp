#include "core/answer_model.h"

namespace zorv {
namespace {

bool removes_any(const ControlList* prohibited) { return prohibited != nullptr && !prohibited->controls.empty(); }

}  // namespace

// Both bounds are inclusive. The texts are compared as plain bytes, never
// parsed as dates (string_view orders by unsigned byte value), so
// "2025-01-01T09:00:00Z" sorts after "2025-01-01".
AsOfPlace as_of_place(const PackMeta& meta, const std::optional<std::string_view>& as_of) {
  if (!as_of) return AsOfPlace::no_as_of;
  if (meta.effective_from && *as_of < std::string_view(*meta.effective_from)) return AsOfPlace::before_from;
  if (meta.effective_until && *as_of > std::string_view(*meta.effective_until)) return AsOfPlace::after_until;
  return AsOfPlace::within;
}

ControlSet AnswerModel::set() const {
  if (fall_back) return {};
  if (form == Form::universe_minus) return prohibited != nullptr ? prohibited->controls : ControlSet();
  return removes_any(prohibited) ? list->controls.difference(prohibited->controls) : list->controls;
}

ControlSet AnswerModel::apply(const ControlUniverse& universe) const {
  if (fall_back) return universe.sorted();
  if (form != Form::universe_and) {
    return removes_any(prohibited) ? universe.sorted_without(prohibited->controls) : universe.sorted();
  }
  ControlSet candidates = universe.members_of(list->controls);
  return removes_any(prohibited) ? candidates.difference(prohibited->controls) : candidates;
}

AnswerModel answer_model(const PolicyPack& pack, const std::optional<Strictness>& strictness_override,
                         std::string_view subject, AsOfPlace place) {
  AnswerModel model;
  if (strictness_override) {
    model.strictness = *strictness_override;
    model.strictness_from = StrictnessFrom::override_dial;
  } else if (pack.meta.strictness) {
    model.strictness = Strictness::parse(*pack.meta.strictness);
    model.strictness_from = StrictnessFrom::pack;
  }
  if (place == AsOfPlace::before_from || place == AsOfPlace::after_until) {
    model.fall_back = FallBackKind::outside_window;
  } else if (model.strictness.level() == Strictness::Level::minimal &&
             (!pack.legally_required || pack.legally_required->controls.empty())) {
    model.fall_back = FallBackKind::minimal_missing_floor;
  }
  if (model.fall_back) return model;
  if (pack.prohibited) model.prohibited = &*pack.prohibited;
  switch (model.strictness.level()) {
    case Strictness::Level::as_configured:
      if (const auto entry = pack.subject.find(subject); entry != pack.subject.end()) {
        model.form = AnswerModel::Form::universe_and;
        model.list = &entry->second;
      }
      break;
    case Strictness::Level::minimal:
      model.form = AnswerModel::Form::universe_and;
      model.list = &*pack.legally_required;
      break;
    case Strictness::Level::aggressive:
    case Strictness::Level::unrecognised:
      break;
  }
  return model;
}

}  // namespace zorv
