#include "core/pack_decision.h"

#include <utility>

#include "pack/policy_pack.h"

namespace zorv {
namespace {

Strictness effective_strictness(const std::optional<Strictness>& strictness_override,
                                const PackMeta& meta) {
  if (strictness_override) return *strictness_override;
  if (meta.strictness) return Strictness::parse(*meta.strictness);
  return Strictness::aggressive();
}

// Both bounds are inclusive. The texts are compared as plain bytes, never
// parsed as dates (string_view orders by unsigned byte value), so
// "2025-01-01T09:00:00Z" sorts after "2025-01-01".
bool outside_envelope(const PackMeta& meta, std::string_view as_of) {
  return (meta.effective_from && as_of < std::string_view(*meta.effective_from)) ||
         (meta.effective_until && as_of > std::string_view(*meta.effective_until));
}

// The pack list the dial selects from, or nullptr when the dial keeps the
// whole universe (`aggressive`, an unrecognised dial, or a subject the pack
// does not list).
const ControlSet* selected_list(const PolicyPackToml& pack, const Strictness& dial,
                                const RegulatoryQuery& query) {
  switch (dial.level()) {
    case Strictness::Level::as_configured: {
      const auto entry = pack.subject.find(query.subject);
      return entry == pack.subject.end() ? nullptr : &entry->second.controls;
    }
    case Strictness::Level::minimal: return &pack.legally_required->controls;
    case Strictness::Level::aggressive:
    case Strictness::Level::unrecognised: break;
  }
  return nullptr;
}

// Candidates kept to the universe, then cleared of prohibited controls. The
// universe is sorted only when it is itself the candidate list; a pack list
// is kept to it by looking each universe key up in the list.
ControlSet required_set(const PolicyPackToml& pack, const Strictness& dial,
                        const RegulatoryQuery& query) {
  const ControlSet* list = selected_list(pack, dial, query);
  ControlSet candidates = list != nullptr ? query.universe.members_of(*list) : query.universe.sorted();
  if (pack.prohibited && !pack.prohibited->controls.empty()) {
    return candidates.difference(pack.prohibited->controls);
  }
  return candidates;
}

}  // namespace

std::string_view fall_back_kind_name(FallBackKind kind) {
  switch (kind) {
    case FallBackKind::missing: return "missing";
    case FallBackKind::malformed: return "malformed";
    case FallBackKind::outside_effective_envelope: return "outside-effective-envelope";
    case FallBackKind::minimal_missing_floor: break;
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

ControlDecision decide_from_pack_text(std::string_view pack_text, std::string_view source,
                                      const std::optional<Strictness>& strictness_override,
                                      const RegulatoryQuery& query) {
  const std::optional<PolicyPackToml> pack = read_policy_pack_for_subject(pack_text, query.subject);
  return decide_from_pack(pack ? &*pack : nullptr, source, strictness_override, query);
}

ControlDecision decide_from_pack(const PolicyPackToml* pack, std::string_view source,
                                 const std::optional<Strictness>& strictness_override, const RegulatoryQuery& query) {
  if (pack == nullptr) return fail_closed_decision(query, fall_back_marker(FallBackKind::malformed, source));

  Strictness dial = effective_strictness(strictness_override, pack->meta);

  if (query.as_of && outside_envelope(pack->meta, *query.as_of)) {
    return fail_closed_decision(query,
                                fall_back_marker(FallBackKind::outside_effective_envelope, source));
  }
  if (dial.level() == Strictness::Level::minimal &&
      (!pack->legally_required || pack->legally_required->controls.empty())) {
    return fail_closed_decision(query,
                                fall_back_marker(FallBackKind::minimal_missing_floor, source));
  }

  ControlSet required = required_set(*pack, dial, query);
  std::optional<std::string> review_status;
  if (pack->meta.legal_review) review_status = pack->meta.legal_review->status;
  return ControlDecision{
      .verdict = Verdict::permit,
      .required = std::move(required),
      .provenance = {.profile = query.profile,
                     .strictness = std::move(dial),
                     .source = std::string(source),
                     .legal_review_status = std::move(review_status),
                     .last_reviewed_against_guidance = pack->meta.last_reviewed_against_guidance,
                     .fell_back = false},
  };
}

}  // namespace zorv
