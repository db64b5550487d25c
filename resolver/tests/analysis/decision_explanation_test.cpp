#include "analysis/decision_explanation.h"

#include <gtest/gtest.h>

#include <map>

namespace zorv {
namespace {

const std::string kKey = "retail/payments.zorv.toml";
const std::vector<ControlKey> kUniverse = {"audit", "encrypt", "mfa", "retain", "mfa"};

constexpr const char* kPack = R"([meta]
strictness = "as_configured"
effective_from = "2025-01-01"
effective_until = "2025-12-31"

[subject.card]
controls = ["mfa", "retain",
            "encrypt", "mfa"]

[legally_required]
controls = ["audit"]

[prohibited]
controls = ["retain"]
)";

// What a row expects of the explanation; controls not named in `reasons`
// are not checked one by one, but every row checks that the required
// controls are exactly the decision's.
struct Expected {
  std::string effective;
  StrictnessFrom from;
  std::optional<FallBackKind> fall_back;
  std::string detail;  // of the fall-back
  std::optional<std::pair<size_t, size_t>> fault_at;
  std::map<std::string, std::pair<ControlReason, std::optional<std::pair<size_t, size_t>>>> reasons;
};

using P = std::pair<size_t, size_t>;

TEST(ExplainDecision, GivesEachControlItsReasonAndAgreesWithTheDecision) {
  const struct {
    const char* what;
    std::string pack;  // empty: no pack at all
    std::optional<std::string> dial;
    std::string subject;
    std::optional<std::string> as_of;
    Expected expected;
  } rows[] = {
      {"subject list, prohibited wins",
       kPack,
       {},
       "card",
       "2025-06-01",
       {"as_configured",
        StrictnessFrom::pack,
        {},
        "",
        {},
        {{"mfa", {ControlReason::subject_list, P{7, 13}}},
         {"encrypt", {ControlReason::subject_list, P{8, 13}}},
         {"retain", {ControlReason::prohibited, P{14, 13}}},
         {"audit", {ControlReason::not_in_subject_list, {}}}}}},
      {"unlisted subject keeps the universe",
       kPack,
       {},
       "staff",
       {},
       {"as_configured",
        StrictnessFrom::pack,
        {},
        "",
        {},
        {{"audit", {ControlReason::universe, {}}}, {"retain", {ControlReason::prohibited, P{14, 13}}}}}},
      {"minimal override uses the floor",
       kPack,
       "minimal",
       "card",
       {},
       {"minimal",
        StrictnessFrom::override_dial,
        {},
        "",
        {},
        {{"audit", {ControlReason::legal_floor, P{11, 13}}}, {"mfa", {ControlReason::not_in_legal_floor, {}}}}}},
      {"unrecognised override",
       kPack,
       "Minimal",
       "card",
       {},
       {"Minimal", StrictnessFrom::override_dial, {}, "", {}, {{"mfa", {ControlReason::universe, {}}}}}},
      {"default dial",
       "[meta]\n[prohibited]\ncontrols = [\"mfa\"]",
       {},
       "card",
       {},
       {"aggressive",
        StrictnessFrom::default_dial,
        {},
        "",
        {},
        {{"mfa", {ControlReason::prohibited, P{3, 13}}}, {"audit", {ControlReason::universe, {}}}}}},
      {"missing pack",
       "",
       {},
       "card",
       {},
       {"aggressive",
        StrictnessFrom::fall_back,
        FallBackKind::missing,
        "no pack under `retail/payments.zorv.toml` or `retail/payments.toml`",
        {},
        {{"mfa", {ControlReason::fall_back, {}}}}}},
      {"TOML fault",
       "[meta]\nstrictness = \n",
       {},
       "card",
       {},
       {"aggressive", StrictnessFrom::fall_back, FallBackKind::malformed, "expected a value", P{2, 14}, {}}},
      {"wrong type",
       "[meta]\nstrictness = 3\n",
       {},
       "card",
       {},
       {"aggressive",
        StrictnessFrom::fall_back,
        FallBackKind::malformed,
        "`meta.strictness` must be a string, found integer",
        P{2, 14},
        {}}},
      {"wrong element type",
       "[meta]\n[subject.\"a.b\"]\ncontrols = [\"x\", 2]\n",
       {},
       "card",
       {},
       {"aggressive",
        StrictnessFrom::fall_back,
        FallBackKind::malformed,
        "`subject.\"a.b\".controls[1]` must be a string, found integer",
        P{3, 18},
        {}}},
      {"no meta",
       "[subject.card]\n",
       {},
       "card",
       {},
       {"aggressive", StrictnessFrom::fall_back, FallBackKind::malformed, "the pack has no `meta` table", P{1, 1}, {}}},
      {"before the window",
       kPack,
       {},
       "card",
       "2024-12-31",
       {"aggressive",
        StrictnessFrom::fall_back,
        FallBackKind::outside_window,
        "as_of `2024-12-31` sorts before effective_from `2025-01-01`",
        {},
        {}}},
      {"after the window",
       kPack,
       {},
       "card",
       "2026-01-01",
       {"aggressive",
        StrictnessFrom::fall_back,
        FallBackKind::outside_window,
        "as_of `2026-01-01` sorts after effective_until `2025-12-31`",
        {},
        {}}},
      {"minimal without a floor table",
       "[meta]\nstrictness = \"minimal\"",
       {},
       "card",
       {},
       {"aggressive",
        StrictnessFrom::fall_back,
        FallBackKind::minimal_missing_floor,
        "the dial is minimal and the pack has no `legally_required` table",
        {},
        {}}},
      {"minimal with an empty floor",
       "[meta]\n[legally_required]\n",
       "minimal",
       "card",
       {},
       {"aggressive",
        StrictnessFrom::fall_back,
        FallBackKind::minimal_missing_floor,
        "the dial is minimal and `legally_required` lists no controls",
        {},
        {}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    PackMap packs;
    if (!row.pack.empty()) packs.emplace(kKey, row.pack);
    const PackMapLookup lookup(packs);
    const RegulatoryQuery query{"payments", "retail", "EU", row.subject, ControlUniverse::from_list(kUniverse),
                                row.as_of};
    std::optional<Strictness> dial;
    if (row.dial) dial = Strictness::parse(*row.dial);
    const DecisionExplanation explained = explain_decision(lookup, dial, query);
    const Expected& expected = row.expected;

    EXPECT_EQ(explained.tried[0], kKey);
    EXPECT_EQ(explained.tried[1], "retail/payments.toml");
    EXPECT_EQ(explained.source, row.pack.empty() ? std::nullopt : std::optional<std::string>(kKey));
    EXPECT_EQ(explained.effective.text_form(), expected.effective);
    EXPECT_EQ(explained.strictness_from, expected.from);
    ASSERT_EQ(explained.fall_back.has_value(), expected.fall_back.has_value());
    if (explained.fall_back) {
      EXPECT_EQ(explained.fall_back->kind, *expected.fall_back);
      EXPECT_EQ(explained.fall_back->detail, expected.detail);
      ASSERT_EQ(explained.fall_back->position.has_value(), expected.fault_at.has_value());
      if (expected.fault_at) {
        EXPECT_EQ(P(explained.fall_back->position->line, explained.fall_back->position->column), *expected.fault_at);
      }
    }
    std::vector<std::string_view> required, listed;
    for (const ControlExplanation& control : explained.controls) {
      listed.push_back(control.control);
      if (control.required) required.push_back(control.control);
      const auto reason = expected.reasons.find(control.control);
      if (reason == expected.reasons.end()) continue;
      SCOPED_TRACE(control.control);
      EXPECT_EQ(control.reason, reason->second.first);
      ASSERT_EQ(control.position.has_value(), reason->second.second.has_value());
      if (control.position) EXPECT_EQ(P(control.position->line, control.position->column), *reason->second.second);
    }
    EXPECT_EQ(listed, query.universe.sorted().keys());
    EXPECT_EQ(required, explained.decision.required.keys());
  }
}

}  // namespace
}  // namespace zorv
