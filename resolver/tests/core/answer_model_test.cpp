#include "core/answer_model.h"

#include <gtest/gtest.h>

#include "support/decision_printing.h"

namespace zorv {
namespace {

constexpr const char* kPack = R"(
[meta]
strictness = "as_configured"
effective_from = "2025-01-01"
effective_until = "2025-12-31"

[subject.customer]
controls = ["mfa", "encrypt", "retain"]

[legally_required]
controls = ["encrypt", "audit", "retain"]

[prohibited]
controls = ["retain"]
)";

constexpr const char* kEmptyFloor = "[meta]\nstrictness = \"minimal\"\n[legally_required]\n";

struct Row {
  const char* what;
  const char* pack;
  std::optional<std::string> dial;  // the override, read with Strictness::parse
  std::string subject;
  AsOfPlace place;
  // The whole expected model: dial and its origin, fall-back, form and S.
  std::string expected_dial;
  StrictnessFrom expected_from;
  std::optional<FallBackKind> expected_fall_back;
  AnswerModel::Form expected_form;
  std::vector<ControlKey> expected_set;
};

TEST(AnswerModel, IsTheUniverseWithOrWithoutOneSetByDialSubjectAndWindow) {
  using enum AnswerModel::Form;
  const Row rows[] = {
      {"the pack's dial keeps the subject's list less prohibited",
       kPack,
       std::nullopt,
       "customer",
       AsOfPlace::within,
       "as_configured",
       StrictnessFrom::pack,
       std::nullopt,
       universe_and,
       {"encrypt", "mfa"}},
      {"no as_of is never outside the window",
       kPack,
       std::nullopt,
       "customer",
       AsOfPlace::no_as_of,
       "as_configured",
       StrictnessFrom::pack,
       std::nullopt,
       universe_and,
       {"encrypt", "mfa"}},
      {"a subject the pack does not list keeps the universe less prohibited",
       kPack,
       std::nullopt,
       "staff",
       AsOfPlace::within,
       "as_configured",
       StrictnessFrom::pack,
       std::nullopt,
       universe_minus,
       {"retain"}},
      {"minimal keeps the floor less prohibited",
       kPack,
       "minimal",
       "staff",
       AsOfPlace::within,
       "minimal",
       StrictnessFrom::override_dial,
       std::nullopt,
       universe_and,
       {"audit", "encrypt"}},
      {"aggressive keeps the universe less prohibited",
       kPack,
       "aggressive",
       "customer",
       AsOfPlace::within,
       "aggressive",
       StrictnessFrom::override_dial,
       std::nullopt,
       universe_minus,
       {"retain"}},
      {"an unrecognised dial acts as aggressive",
       kPack,
       "Minimal",
       "customer",
       AsOfPlace::within,
       "Minimal",
       StrictnessFrom::override_dial,
       std::nullopt,
       universe_minus,
       {"retain"}},
      {"before effective_from falls back",
       kPack,
       std::nullopt,
       "customer",
       AsOfPlace::before_from,
       "as_configured",
       StrictnessFrom::pack,
       FallBackKind::outside_window,
       universe_minus,
       {}},
      {"after effective_until falls back, whatever the dial",
       kPack,
       "minimal",
       "customer",
       AsOfPlace::after_until,
       "minimal",
       StrictnessFrom::override_dial,
       FallBackKind::outside_window,
       universe_minus,
       {}},
      {"minimal over an empty floor falls back",
       kEmptyFloor,
       std::nullopt,
       "customer",
       AsOfPlace::within,
       "minimal",
       StrictnessFrom::pack,
       FallBackKind::minimal_missing_floor,
       universe_minus,
       {}},
      {"no dial anywhere is aggressive by default",
       "[meta]",
       std::nullopt,
       "customer",
       AsOfPlace::no_as_of,
       "aggressive",
       StrictnessFrom::default_dial,
       std::nullopt,
       universe_minus,
       {}},
  };
  for (const Row& row : rows) {
    const std::optional<PolicyPack> pack = read_policy_pack(row.pack);
    ASSERT_TRUE(pack) << row.what;
    std::optional<Strictness> dial;
    if (row.dial) dial = Strictness::parse(*row.dial);
    const AnswerModel model = answer_model(*pack, dial, row.subject, row.place);
    EXPECT_EQ(model.strictness.text_form(), row.expected_dial) << row.what;
    EXPECT_EQ(model.strictness_from, row.expected_from) << row.what;
    EXPECT_EQ(model.fall_back, row.expected_fall_back) << row.what;
    EXPECT_EQ(model.form, row.expected_form) << row.what;
    EXPECT_EQ(model.set(), ControlSet::from_list(row.expected_set)) << row.what;
  }
}

TEST(AnswerModel, PlacesAsOfAmongTheInclusiveBoundsAsBytes) {
  PackMeta meta;
  meta.effective_from = "2025-01-01";
  meta.effective_until = "2025-12-31";
  const std::pair<std::optional<std::string_view>, AsOfPlace> rows[] = {
      {std::nullopt, AsOfPlace::no_as_of},
      {"2024-12-31", AsOfPlace::before_from},
      {"2025-01-01", AsOfPlace::within},
      {"2025-12-31", AsOfPlace::within},
      {"2025-12-31T09:00:00Z", AsOfPlace::after_until},
      {"", AsOfPlace::before_from},
  };
  for (const auto& [as_of, expected] : rows) {
    EXPECT_EQ(as_of_place(meta, as_of), expected) << as_of.value_or("(none)");
  }
}

}  // namespace
}  // namespace zorv
