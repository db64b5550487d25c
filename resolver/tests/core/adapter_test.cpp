#include "core/in_memory_regulatory_policy_adapter.h"

#include <gtest/gtest.h>

#include "support/decision_printing.h"

namespace zorv {
namespace {

const std::vector<ControlKey> kUniverse = {"a", "b"};
// Two packs that answer differently, so a row shows which one was read.
constexpr const char* kFloorPack = "[meta]\nstrictness = \"minimal\"\n[legally_required]\ncontrols = [\"a\"]";
constexpr const char* kBarePack = "[meta]";
const std::string kPrimary = "retail/payments.zorv.toml";
const std::string kSecondary = "retail/payments.toml";
const std::string kMissing = "<missing:" + kPrimary + ">";

TEST(InMemoryRegulatoryPolicyAdapter, FindsThePackByItsKeyOrFallsBack) {
  const struct {
    const char* what;
    PackMap packs;
    std::string profile;
    std::optional<Strictness> dial;
    ControlDecision expected;
  } rows[] = {
      {"primary wins",
       {{kPrimary, kFloorPack}, {kSecondary, "not toml ["}},
       "retail",
       {},
       answer({"a"}, Strictness::minimal(), "retail", kPrimary)},
      {"secondary alone",
       {{kSecondary, kFloorPack}},
       "retail",
       {},
       answer({"a"}, Strictness::minimal(), "retail", kSecondary)},
      {"override reaches the pack",
       {{kSecondary, kFloorPack}},
       "retail",
       Strictness::aggressive(),
       answer(kUniverse, Strictness::aggressive(), "retail", kSecondary)},
      {"malformed primary hides the secondary",
       {{kPrimary, "["}, {kSecondary, kBarePack}},
       "retail",
       {},
       fall_back(kUniverse, "retail", "<malformed:" + kPrimary + ">")},
      {"neither key, override ignored",
       {{"retail/other.zorv.toml", kBarePack}},
       "retail",
       Strictness::minimal(),
       fall_back(kUniverse, "retail", kMissing)},
      {"empty map", {}, "retail", {}, fall_back(kUniverse, "retail", kMissing)},
      {"case differs",
       {{"Retail/payments.zorv.toml", kBarePack}},
       "retail",
       {},
       fall_back(kUniverse, "retail", kMissing)},
      {"surrounding space",
       {{" " + kPrimary, kBarePack}, {kSecondary + " ", kBarePack}},
       "retail",
       {},
       fall_back(kUniverse, "retail", kMissing)},
      {"slash in the profile",
       {{"a/b/payments.zorv.toml", kBarePack}},
       "a/b",
       {},
       answer(kUniverse, Strictness::aggressive(), "a/b", "a/b/payments.zorv.toml")},
      {"broken pack elsewhere",
       {{kSecondary, kBarePack}, {"retail/x.zorv.toml", "["}},
       "retail",
       {},
       answer(kUniverse, Strictness::aggressive(), "retail", kSecondary)},
  };
  for (const auto& row : rows) {
    const InMemoryRegulatoryPolicyAdapter adapter(row.dial, row.packs);
    const RegulatoryPolicyPort& port = adapter;
    const RegulatoryQuery query{.domain = "payments",
                                .profile = row.profile,
                                .jurisdiction = "EU",
                                .subject = "s",
                                .universe = ControlUniverse::from_list(kUniverse),
                                .as_of = std::nullopt};
    EXPECT_EQ(port.required_controls(query), row.expected) << row.what;
  }
}

TEST(InMemoryRegulatoryPolicyAdapter, LookupKeysInsertProfileAndDomainVerbatim) {
  RegulatoryQuery query;
  query.domain = " D.x";
  query.profile = "P/q";
  const std::array<std::string, 2> expected = {"P/q/ D.x.zorv.toml", "P/q/ D.x.toml"};
  EXPECT_EQ(InMemoryRegulatoryPolicyAdapter::lookup_keys(query), expected);
}

// The adapter asks its lookup for each key once, in lookup order, and stops
// at the first it finds.
class RecordingLookup final : public PackLookup {
 public:
  explicit RecordingLookup(PackMap packs) : packs_(std::move(packs)) {}
  std::optional<std::string_view> find(std::string_view key, std::string& storage) const override {
    asked.emplace_back(key);
    return packs_.find(key, storage);
  }
  mutable std::vector<std::string> asked;

 private:
  PackMapLookup packs_;
};

TEST(InMemoryRegulatoryPolicyAdapter, AsksForEachKeyOnceInLookupOrder) {
  const struct {
    PackMap packs;
    std::vector<std::string> asked;
  } rows[] = {
      {{{kPrimary, kBarePack}, {kSecondary, kBarePack}}, {kPrimary}},
      {{{kSecondary, kBarePack}}, {kPrimary, kSecondary}},
      {{{"retail/other.toml", kBarePack}}, {kPrimary, kSecondary}},
  };
  const RegulatoryQuery query{"payments", "retail", "EU", "card", ControlUniverse::from_list(kUniverse), std::nullopt};
  for (const auto& row : rows) {
    const RecordingLookup lookup(row.packs);
    InMemoryRegulatoryPolicyAdapter(std::nullopt, lookup).required_controls(query);
    EXPECT_EQ(lookup.asked, row.asked);
  }
}

}  // namespace
}  // namespace zorv
