// Fuzzes decide_from_pack_text with arbitrary pack text.
// Input: one flags byte (bit 0: the dial is given, bit 1: the query has a
// date), then pack_text 0xFF subject 0xFF dial 0xFF as_of 0xFF control ...
// The decision is checked against the pack as read_policy_pack reads it.
#include <simdjson.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/decision_explanation.h"
#include "analysis/pack_lint.h"
#include "core/pack_decision.h"
#include "pack/policy_pack.h"
#include "text/utf8_validation.h"
#include "fuzz_input.h"

using namespace zorv;
using namespace zorv::fuzz;

namespace {

constexpr std::string_view kSource = "retail/payments.zorv.toml";

// Our UTF-8 check, held to simdjson's and to our portable one on every text.
bool utf8(std::string_view text) {
  const bool valid = text::is_valid_utf8(text);
  require(valid == simdjson::validate_utf8(text.data(), text.size()), "UTF-8 check agrees with simdjson", text);
  require(valid == text::is_valid_utf8_portably(text), "UTF-8 vector and portable checks agree", text);
  return valid;
}

bool subset(const ControlSet& inner, const ControlSet& outer) {
  return std::includes(outer.keys().begin(), outer.keys().end(), inner.keys().begin(), inner.keys().end());
}

// What the texts a pack carries must be: TOML text is UTF-8 throughout.
void require_utf8_pack(const PolicyPack& pack) {
  const auto check = [](const std::optional<std::string>& text) {
    require(!text || utf8(*text), "pack texts are UTF-8", text.value_or(""));
  };
  check(pack.meta.strictness);
  check(pack.meta.last_reviewed_against_guidance);
  check(pack.meta.effective_from);
  check(pack.meta.effective_until);
  if (pack.meta.legal_review) check(pack.meta.legal_review->status);
  const auto check_list = [](const ControlSet& controls) {
    for (const auto& key : controls.keys()) require(utf8(key), "pack controls are UTF-8", key);
  };
  for (const auto& [name, list] : pack.subject) {
    require(utf8(name), "subject names are UTF-8", name);
    check_list(list.controls);
  }
  if (pack.legally_required) check_list(pack.legally_required->controls);
  if (pack.prohibited) check_list(pack.prohibited->controls);
}

void check_fall_back(const ControlDecision& decision, const RegulatoryQuery& query, FallBackKind kind) {
  const ControlDecision expected = fail_closed_decision(query, fall_back_marker(kind, kSource));
  require(decision == expected, "the fall-back has its one shape", decision.provenance.source);
}

// The explanation of the same query marks exactly the decision's controls
// required, lists the whole universe, and falls back exactly when it does.
void check_explanation(std::string_view pack_text, const std::optional<Strictness>& dial, const RegulatoryQuery& query,
                       const ControlDecision& decision) {
  const PackMapLookup packs(PackMap{{std::string(kSource), std::string(pack_text)}});
  const DecisionExplanation explained = explain_decision(packs, dial, query);
  require(explained.decision == decision, "the explanation carries the decision");
  std::vector<std::string_view> required, listed;
  for (const ControlExplanation& control : explained.controls) {
    listed.push_back(control.control);
    if (control.required) required.push_back(control.control);
    require(control.required ==
                (control.reason == ControlReason::universe || control.reason == ControlReason::subject_list ||
                 control.reason == ControlReason::legal_floor || control.reason == ControlReason::fall_back),
            "a reason says whether the control is required", control.control);
  }
  require(required == decision.required.keys(), "the explanation agrees with the decision", pack_text);
  require(listed == query.universe.sorted().keys(), "the explanation lists the universe", pack_text);
  require(explained.fall_back.has_value() == decision.provenance.fell_back, "both fall back together", pack_text);
  if (explained.fall_back) {
    require(decision.provenance.source == fall_back_marker(explained.fall_back->kind, kSource),
            "the explanation names the decision's fall-back", pack_text);
  }
}

bool decision_pack_is_malformed(std::string_view pack_text) { return !read_policy_pack(pack_text).has_value(); }

// Lint has an error exactly when the resolver reads the pack as malformed or
// its window is empty, and every finding's range lies inside the text.
void check_lint(std::string_view pack_text, bool malformed) {
  const std::vector<LintFinding> findings = lint_pack(pack_text);
  bool error = false;
  for (const LintFinding& finding : findings) {
    require(finding.offset <= finding.end && finding.end <= pack_text.size(), "a finding lies in the text", pack_text);
    error |= finding.severity == LintSeverity::error;
  }
  bool empty_window = false;
  if (const std::optional<PolicyPack> pack = read_policy_pack(pack_text)) {
    empty_window = pack->meta.effective_from && pack->meta.effective_until &&
                   *pack->meta.effective_from > *pack->meta.effective_until;
  }
  require(error == (malformed || empty_window), "lint errors exactly when the pack falls back for every query",
          pack_text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return -1;
  const std::uint8_t flags = data[0];
  const auto parts = split_input(data + 1, size - 1);
  const std::string_view pack_text = part(parts, 0);

  std::optional<Strictness> dial;
  if (flags & 1) dial = Strictness::parse(part(parts, 2));
  std::vector<ControlKey> universe;
  for (std::size_t i = 4; i < parts.size(); ++i) universe.emplace_back(parts[i]);
  RegulatoryQuery query{.domain = "payments",
                        .profile = "retail",
                        .jurisdiction = "EU",
                        .subject = std::string(part(parts, 1)),
                        .universe = ControlUniverse::from_list(std::move(universe)),
                        .as_of = std::nullopt};
  if (flags & 2) query.as_of = std::string(part(parts, 3));

  utf8(pack_text);
  const ControlDecision decision = decide_from_pack_text(pack_text, kSource, dial, query);
  const std::optional<PolicyPack> pack = read_policy_pack(pack_text);

  require(decision.verdict == Verdict::permit, "a pack never blocks");
  require(decision.provenance.profile == query.profile, "provenance echoes the profile");
  require(subset(decision.required, query.universe.sorted()), "required is a subset of the universe");
  check_explanation(pack_text, dial, query, decision);
  check_lint(pack_text, decision_pack_is_malformed(pack_text));
  if (!pack) {
    check_fall_back(decision, query, FallBackKind::malformed);
    return 0;
  }
  require(is_toml_document(pack_text), "a readable pack is a TOML document");
  require(utf8(pack_text), "a readable pack is UTF-8");
  require_utf8_pack(*pack);
  {
    // Reading for one subject is reading everything, less the other subjects.
    std::optional<PolicyPack> for_subject = read_policy_pack_for_subject(pack_text, query.subject);
    PolicyPack expected = *pack;
    std::erase_if(expected.subject, [&](const auto& entry) { return entry.first != query.subject; });
    require(for_subject == expected, "reading for a subject keeps that subject only");
  }

  const Strictness effective = dial                    ? *dial
                               : pack->meta.strictness ? Strictness::parse(*pack->meta.strictness)
                                                       : Strictness::aggressive();
  if (decision.provenance.fell_back) {
    const bool outside = query.as_of && ((pack->meta.effective_from && *query.as_of < *pack->meta.effective_from) ||
                                         (pack->meta.effective_until && *query.as_of > *pack->meta.effective_until));
    if (outside) {
      check_fall_back(decision, query, FallBackKind::outside_window);
    } else {
      require(effective.level() == Strictness::Level::minimal &&
                  (!pack->legally_required || pack->legally_required->controls.empty()),
              "only a missing floor under minimal is left to fall back for");
      check_fall_back(decision, query, FallBackKind::minimal_missing_floor);
    }
    return 0;
  }

  require(decision.provenance.source == kSource, "a pack decision names its pack");
  require(decision.provenance.strictness == effective, "the dial beats the pack's own");
  require(decision.provenance.legal_review_status ==
              (pack->meta.legal_review ? pack->meta.legal_review->status : std::nullopt),
          "the review status is the pack's");
  require(decision.provenance.last_reviewed_against_guidance == pack->meta.last_reviewed_against_guidance,
          "the guidance is the pack's");
  const ControlSet prohibited = pack->prohibited ? pack->prohibited->controls : ControlSet();
  require(decision.required.intersection(prohibited).empty(), "nothing prohibited is required");

  const ControlSet sorted_universe = query.universe.sorted();
  ControlSet selectable = sorted_universe;
  switch (effective.level()) {
    case Strictness::Level::as_configured:
      if (const auto entry = pack->subject.find(query.subject); entry != pack->subject.end()) {
        selectable = entry->second.controls.intersection(sorted_universe);
      }
      break;
    case Strictness::Level::minimal:
      selectable = pack->legally_required->controls.intersection(sorted_universe);
      break;
    case Strictness::Level::aggressive:
    case Strictness::Level::unrecognised:
      break;
  }
  require(decision.required == selectable.difference(prohibited), "required is the dial's selection");
  return 0;
}
