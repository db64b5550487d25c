#include "core/pack_decision.h"

#include <algorithm>
#include <utility>

#include "pack/policy_pack.h"

namespace zorv {
namespace {

// Why the model fell back, in words, for a trace.
std::string fall_back_detail(const AnswerModel& model, const PolicyPack& pack, const RegulatoryQuery& query) {
  const PackMeta& meta = pack.meta;
  if (*model.fall_back == FallBackKind::outside_window) {
    if (as_of_place(meta, query.as_of) == AsOfPlace::before_from) {
      return "as_of `" + *query.as_of + "` sorts before effective_from `" + *meta.effective_from + "`";
    }
    return "as_of `" + *query.as_of + "` sorts after effective_until `" + *meta.effective_until + "`";
  }
  return pack.legally_required ? "the dial is minimal and `legally_required` lists no controls"
                               : "the dial is minimal and the pack has no `legally_required` table";
}

// Where `list` writes `control`, when the pack was read with locations.
std::optional<std::size_t> written_at(const ControlList& list, std::string_view control) {
  if (list.written_at.empty()) return std::nullopt;
  const std::vector<std::string_view>& keys = list.controls.keys();
  const auto found = std::lower_bound(keys.begin(), keys.end(), control);
  if (found == keys.end() || *found != control) return std::nullopt;
  return list.written_at[static_cast<std::size_t>(found - keys.begin())];
}

// For each control of the universe, the entry that made it required or
// removed it.
void trace_controls(DecisionTrace& trace, const AnswerModel& model, const ControlSet& universe) {
  const bool floor = model.strictness.level() == Strictness::Level::minimal;
  const ControlReason listed = floor ? ControlReason::legal_floor : ControlReason::subject_list;
  const ControlReason unlisted = floor ? ControlReason::not_in_legal_floor : ControlReason::not_in_subject_list;
  for (const std::string_view control : universe.keys()) {
    TracedControl traced{std::string(control), true, ControlReason::universe, std::nullopt};
    if (model.list != nullptr) {
      if (model.list->controls.contains(control)) {
        traced.reason = listed;
        traced.offset = written_at(*model.list, control);
      } else {
        traced.required = false;
        traced.reason = unlisted;
      }
    }
    if (traced.required && model.prohibited != nullptr && model.prohibited->controls.contains(control)) {
      traced.required = false;
      traced.reason = ControlReason::prohibited;
      traced.offset = written_at(*model.prohibited, control);
    }
    trace.controls.push_back(std::move(traced));
  }
}

}  // namespace

std::string_view fall_back_kind_name(FallBackKind kind) {
  switch (kind) {
    case FallBackKind::missing:
      return "missing";
    case FallBackKind::malformed:
      return "malformed";
    case FallBackKind::outside_window:
      return "outside-effective-envelope";
    case FallBackKind::minimal_missing_floor:
      break;
  }
  return "minimal-missing-floor";
}

std::string fall_back_marker(FallBackKind kind, std::string_view pack_key) {
  const std::string_view name = fall_back_kind_name(kind);
  std::string marker;
  marker.reserve(name.size() + pack_key.size() + 3);
  marker.append("<").append(name).append(":").append(pack_key).append(">");
  return marker;
}

ControlDecision fail_closed_decision(const RegulatoryQuery& query, std::string marker) {
  return ControlDecision{
      .verdict = Verdict::permit,
      .required = query.universe.sorted(),
      .provenance = {.profile = query.profile,
                     .strictness = Strictness::aggressive(),
                     .source = std::move(marker),
                     .legal_review_status = std::nullopt,
                     .last_reviewed_against_guidance = std::nullopt,
                     .fell_back = true},
  };
}

void trace_fall_back(DecisionTrace& trace, const RegulatoryQuery& query, TracedFallBack fall_back) {
  trace.effective = Strictness::aggressive();
  trace.strictness_from = StrictnessFrom::fall_back;
  trace.fall_back = std::move(fall_back);
  trace.controls.clear();
  const ControlSet universe = query.universe.sorted();
  for (const std::string_view control : universe.keys()) {
    trace.controls.push_back({std::string(control), true, ControlReason::fall_back, std::nullopt});
  }
}

ControlDecision decide_from_pack_text(std::string_view pack_text, std::string_view source,
                                      const std::optional<Strictness>& strictness_override,
                                      const RegulatoryQuery& query) {
  const std::optional<PolicyPack> pack = read_policy_pack_for_subject(pack_text, query.subject);
  return decide_from_pack(pack ? &*pack : nullptr, source, strictness_override, query);
}

ControlDecision decide_from_pack(const PolicyPack* pack, std::string_view source,
                                 const std::optional<Strictness>& strictness_override, const RegulatoryQuery& query,
                                 DecisionTrace* trace) {
  if (pack == nullptr) {
    if (trace != nullptr) trace_fall_back(*trace, query, {FallBackKind::malformed, "", std::nullopt});
    return fail_closed_decision(query, fall_back_marker(FallBackKind::malformed, source));
  }
  const AnswerModel model =
      answer_model(*pack, strictness_override, query.subject, as_of_place(pack->meta, query.as_of));
  if (model.fall_back) {
    if (trace != nullptr) {
      trace_fall_back(*trace, query, {*model.fall_back, fall_back_detail(model, *pack, query), std::nullopt});
    }
    return fail_closed_decision(query, fall_back_marker(*model.fall_back, source));
  }
  ControlSet required = model.apply(query.universe);
  if (trace != nullptr) {
    trace->effective = model.strictness;
    trace->strictness_from = model.strictness_from;
    trace->fall_back.reset();
    trace->controls.clear();
    trace_controls(*trace, model, query.universe.sorted());
  }
  std::optional<std::string> review_status;
  if (pack->meta.legal_review) review_status = pack->meta.legal_review->status;
  return ControlDecision{
      .verdict = Verdict::permit,
      .required = std::move(required),
      .provenance = {.profile = query.profile,
                     .strictness = model.strictness,
                     .source = std::string(source),
                     .legal_review_status = std::move(review_status),
                     .last_reviewed_against_guidance = pack->meta.last_reviewed_against_guidance,
                     .fell_back = false},
  };
}

}  // namespace zorv
