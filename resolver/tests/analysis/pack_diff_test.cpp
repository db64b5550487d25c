#include "analysis/pack_diff.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

TEST(PackStem, IsTheKeyWithoutItsPackEnding) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> rows = {
      {"retail/payments.zorv.toml", "retail/payments"},
      {"retail/payments.toml", "retail/payments"},
      {"a/b/c.toml", "a/b/c"},
      {"/.toml", "/"},
      {"payments.zorv.toml", std::nullopt},
      {"retail/payments.json", std::nullopt},
      {"retail/payments.zorv.toml.bak", std::nullopt},
  };
  for (const auto& [key, stem] : rows) EXPECT_EQ(pack_stem(key), stem) << key;
}

TEST(UnnamedControl, IsNeverANamedKey) {
  const ControlSet named = ControlSet::from_list({"", "_2", "other", "other_2"});
  const std::vector<std::pair<std::string, std::string>> rows = {{"", "_3"}, {"other", "other_3"}, {"fresh", "fresh"}};
  for (const auto& [preferred, expected] : rows) EXPECT_EQ(unnamed_control(named, preferred), expected) << preferred;
}

}  // namespace
}  // namespace zorv
