#include "wire/resolve_many_json.h"

#include <gtest/gtest.h>

#include "wire/resolve_json.h"
#include "wire_tools/toml_json.h"

namespace zorv::wire {
namespace {

const std::string kPacks =
    R"({"retail/payments.zorv.toml":"[meta]\nstrictness = \"as_configured\"\n[subject.card]\ncontrols = [\"mfa\"]\n[subject.wallet]\ncontrols = [\"pin\"]",)"
    R"("retail/broken.toml":"[meta"})";

std::string query(const std::string& domain, const std::string& subject) {
  return R"({"domain":")" + domain + R"(","profile":"retail","jurisdiction":"EU","subject":")" + subject +
         R"(","universe":["pin","mfa","log"]})";
}

TEST(ResolveMany, GivesEachQueryTheDecisionResolveGives) {
  const std::vector<std::string> queries = {query("payments", "card"), query("payments", "wallet"),
                                            query("broken", "card"), query("absent", "card"),
                                            query("payments", "other")};
  for (const std::optional<std::string_view> dial :
       {std::optional<std::string_view>(), std::optional<std::string_view>("minimal")}) {
    std::string array = "[", expected = "[";
    for (const std::string& q : queries) {
      array += (array.size() > 1 ? ",\n" : "") + q;
      expected += (expected.size() > 1 ? "," : "") + resolve_json(kPacks, q, dial).value();
    }
    array += "]";
    const Result<std::string> many = resolve_many_json(kPacks, array, dial);
    ASSERT_TRUE(many.ok()) << many.error().text;
    EXPECT_EQ(many.value(), expected + "]");
  }
  EXPECT_EQ(resolve_many_json(kPacks, " [ ] ", std::nullopt).value(), "[]");
}

TEST(ResolveMany, NamesTheUnusableQueryWithItsPlaceInTheWholeText) {
  const struct {
    std::string packs, queries, message;
  } rows[] = {
      {kPacks, "[" + query("a", "b") + ",\n{\"domain\":1}]",
       "queries_json[1] is not a valid RegulatoryQuery: invalid type: integer `1`, expected a string at line 2 "
       "column 11"},
      {kPacks, "[" + query("a", "b") + ",\n" + query("a", "b") + ",{}]",
       "queries_json[2] is not a valid RegulatoryQuery: missing field `domain` at line 2 column 101"},
      {kPacks, "{}",
       "queries_json is not a valid sequence of RegulatoryQuery: invalid type: map, expected a "
       "sequence at line 1 column 0"},
      {kPacks, "[" + query("a", "b") + "",
       "queries_json is not a valid sequence of RegulatoryQuery: EOF while "
       "parsing a list at line 1 column 99"},
      {"[]", "[]", resolve_json("[]", query("a", "b"), std::nullopt).error().text},
  };
  for (const auto& row : rows) {
    const Result<std::string> many = resolve_many_json(row.packs, row.queries, std::nullopt);
    ASSERT_FALSE(many.ok()) << row.queries;
    EXPECT_EQ(many.error().text, row.message);
  }
}

TEST(TomlToJson, WritesPlainJsonOrPositionsOrTheFault) {
  const struct {
    std::string toml;
    bool positions;
    std::string expected;
    bool ok;
  } rows[] = {
      {"b = 1\na = [\"x\", 1.5, true, 1979-05-27, inf]\n[t.u]\nv = 'é'", false,
       R"({"b":1,"a":["x",1.5,true,"1979-05-27","inf"],"t":{"u":{"v":"é"}}})", true},
      {"[[case]]\nname = \"n\"\n", true,
       R"({"at":[1,1],"value":{"case":{"at":[1,1],"key_at":[1,3],"value":[{"at":[1,1],"value":{"name":{"at":[2,8],"key_at":[2,1],"value":"n"}}}]}}})",
       true},
      {"a = 1\na = 2\n", false, "duplicate key `a` at line 2 column 1", false},
  };
  for (const auto& row : rows) {
    const Result<std::string> json = toml_to_json(row.toml, row.positions);
    ASSERT_EQ(json.ok(), row.ok) << row.toml;
    EXPECT_EQ(row.ok ? json.value() : json.error().text, row.expected);
  }
}

}  // namespace
}  // namespace zorv::wire
