#include "core/pack_decision.h"

#include <gtest/gtest.h>

#include "support/decision_printing.h"

namespace zorv {
namespace {

constexpr const char* kKey = "retail/payments.zorv.toml";
const std::vector<ControlKey> kUniverse = {"audit", "encrypt", "mfa", "retain"};
const std::vector<ControlKey> kAllButProhibited = {"audit", "encrypt", "mfa"};

constexpr const char* kFullPack = R"(
[meta]
strictness = "as_configured"
effective_from = "2025-01-01"
effective_until = "2025-12-31"
last_reviewed_against_guidance = "guidance of 2024-06"
legal_review = { status = "approved" }

[subject.customer]
controls = ["mfa", "encrypt", "not-in-universe", "mfa"]

[subject.staff]

[legally_required]
controls = ["encrypt", "audit", "outside"]

[prohibited]
controls = ["retain", "never-a-candidate"]
)";

// Expected values: an answer from kFullPack (which carries both review
// fields), an answer from a pack without them, and a fall-back.
ControlDecision reviewed(std::vector<ControlKey> required, Strictness dial) {
  return answer(std::move(required), std::move(dial), "retail", kKey, "approved", "guidance of 2024-06");
}
ControlDecision unreviewed(std::vector<ControlKey> required, Strictness dial) {
  return answer(std::move(required), std::move(dial), "retail", kKey);
}
ControlDecision falls(std::string kind, std::vector<ControlKey> universe = kUniverse) {
  return fall_back(std::move(universe), "retail", "<" + kind + ":" + kKey + ">");
}

struct Row {
  const char* what;
  std::string pack;
  std::optional<std::string> dial;  // the override, read with Strictness::parse
  std::string subject;
  std::optional<std::string> as_of;
  ControlDecision expected;
  std::vector<ControlKey> universe = kUniverse;
};

TEST(DecideFromPackText, FollowsTheDialTheWindowAndTheFloor) {
  const std::string full = kFullPack;
  const std::string no_floor = "[meta]\neffective_until = \"2025-12-31\"\n[prohibited]\ncontrols = [\"mfa\"]";
  const std::string floor_of_b = "legally_required.controls = [\"\", \"b\", \"b\", \"c\"]\n[meta]";
  const Strictness aggressive = Strictness::aggressive();
  const Strictness configured = Strictness::as_configured();
  const Strictness minimal = Strictness::minimal();
  const std::string outside = "outside-effective-envelope";
  const std::string no_floor_kind = "minimal-missing-floor";
  const Row rows[] = {
      {"empty text lacks meta", "", {}, "customer", {}, falls("malformed")},
      {"bare meta", "[meta]", {}, "customer", {}, unreviewed(kUniverse, aggressive)},
      {"listed subject", full, {}, "customer", {}, reviewed({"encrypt", "mfa"}, configured)},
      {"subject listed without controls", full, {}, "staff", {}, reviewed({}, configured)},
      {"unlisted subject", full, {}, "visitor", {}, reviewed(kAllButProhibited, configured)},
      {"subject names match exactly", full, {}, "Customer", {}, reviewed(kAllButProhibited, configured)},
      {"override minimal beats the pack", full, "minimal", "customer", {}, reviewed({"audit", "encrypt"}, minimal)},
      {"override aggressive", full, "aggressive", "customer", {}, reviewed(kAllButProhibited, aggressive)},
      {"unrecognised override",
       full,
       "AGGRESSIVE",
       "customer",
       {},
       reviewed(kAllButProhibited, Strictness::parse("AGGRESSIVE"))},
      {"empty override is present", full, "", "customer", {}, reviewed(kAllButProhibited, Strictness::parse(""))},
      {"pack dial Minimal is unrecognised",
       "[meta]\nstrictness = \"Minimal\"",
       {},
       "x",
       {},
       unreviewed(kUniverse, Strictness::parse("Minimal"))},
      {"as_of on effective_from", full, {}, "customer", "2025-01-01", reviewed({"encrypt", "mfa"}, configured)},
      {"as_of on effective_until", full, {}, "customer", "2025-12-31", reviewed({"encrypt", "mfa"}, configured)},
      {"longer as_of after from",
       full,
       {},
       "customer",
       "2025-01-01T09:00:00Z",
       reviewed({"encrypt", "mfa"}, configured)},
      {"longer as_of after until", full, {}, "customer", "2025-12-31T09:00:00Z", falls(outside)},
      {"as_of before from", full, {}, "customer", "2024-12-31", falls(outside)},
      {"bytes compare unsigned", "[meta]\neffective_until = \"z\"", {}, "x", "\xC3\xA9", falls(outside)},
      {"no bounds, any as_of", "[meta]", {}, "x", "\xFF", unreviewed(kUniverse, aggressive)},
      {"minimal without a floor", no_floor, "minimal", "x", {}, falls(no_floor_kind)},
      {"floor without controls", "[meta]\n[legally_required]", "minimal", "x", {}, falls(no_floor_kind)},
      {"pack's own minimal, empty floor",
       "legally_required.controls = []\n[meta]\nstrictness = \"minimal\"",
       {},
       "x",
       {},
       falls(no_floor_kind)},
      {"floor wholly outside the universe",
       "[meta]\n[legally_required]\ncontrols = [\"zz\"]",
       "minimal",
       "x",
       {},
       unreviewed({}, minimal)},
      {"window before floor", no_floor, "minimal", "x", "2026-01-01", falls(outside)},
      {"malformed before window", "[meta]\neffective_until = 2025-12-31", "minimal", "x", "2026-01-01",
       falls("malformed")},
      {"fall-back ignores prohibited", no_floor, {}, "x", "2026-01-01", falls(outside)},
      {"repeats and the empty key", floor_of_b, "minimal", "x", {}, unreviewed({"", "b"}, minimal), {"", "a", "b"}},
      {"empty universe, answer", full, {}, "customer", {}, reviewed({}, configured), {}},
      {"empty universe, fall-back", "meta = 1", "minimal", "customer", {}, falls("malformed", {}), {}},
  };
  for (const Row& row : rows) {
    const RegulatoryQuery query{.domain = "payments",
                                .profile = "retail",
                                .jurisdiction = "EU",
                                .subject = row.subject,
                                .universe = ControlUniverse::from_list(row.universe),
                                .as_of = row.as_of};
    std::optional<Strictness> dial;
    if (row.dial) dial = Strictness::parse(*row.dial);
    EXPECT_EQ(decide_from_pack_text(row.pack, kKey, dial, query), row.expected) << row.what;
  }
}

// The pack key goes into the marker verbatim, whatever it holds.
TEST(DecideFromPackText, MarkerCarriesTheSourceVerbatim) {
  RegulatoryQuery query;
  query.profile = "p";
  query.universe = ControlUniverse::from_list({"a"});
  const std::string source = " odd/<key>:\xE2\x9C\x93.toml";
  EXPECT_EQ(decide_from_pack_text("[", source, std::nullopt, query),
            fall_back({"a"}, "p", "<malformed:" + source + ">"));
}

}  // namespace
}  // namespace zorv
