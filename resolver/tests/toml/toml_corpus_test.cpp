// The TOML 1.0 cases of the toml-test suite, run through the pack reader.
// Invalid documents must give the malformed fall-back even with a `meta`
// table in place; valid ones must parse, and the reader must accept exactly
// those whose typed JSON has the pack's shape.
#include <gtest/gtest.h>
#include <simdjson.h>

#include <cctype>
#include <fstream>
#include <sstream>

#include "core/pack_decision.h"
#include "pack/policy_pack.h"
#include "support/decision_printing.h"

namespace zorv {
namespace {

using simdjson::dom::element;
using simdjson::dom::object;

const std::string kCorpus = std::string(ZORV_TESTDATA_DIR) + "/toml-test/tests/";

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> corpus_cases(std::string_view folder) {
  std::istringstream list(read_file(kCorpus + "files-toml-1.0.0"));
  std::vector<std::string> cases;
  for (std::string line; std::getline(list, line);) {
    if (line.starts_with(folder) && line.ends_with(".toml")) cases.push_back(line.substr(0, line.size() - 5));
  }
  return cases;
}

// The same document with `meta = {}` as its first statement (after a byte
// order mark, which must stay first), so that its own shape decides.
std::string with_empty_meta(std::string_view text) {
  const std::string_view bom = "\xEF\xBB\xBF";
  const size_t at = text.starts_with(bom) ? bom.size() : 0;
  return std::string(text.substr(0, at)) + "meta = {}\n" + std::string(text.substr(at));
}

// The typed JSON of toml-test: a leaf is {"type": ..., "value": "..."}, a
// table any other object, an array a JSON array.
bool is_leaf(element e, std::string_view type) {
  object leaf;
  std::string_view leaf_type, value;
  return !e.get_object().get(leaf) && leaf.size() == 2 && !leaf["type"].get_string().get(leaf_type) &&
         !leaf["value"].get_string().get(value) && (type.empty() || leaf_type == type);
}
bool is_table(element e) { return e.is_object() && !is_leaf(e, ""); }

// Absent members pass every check.
bool member_is(object record, std::string_view key, bool (*check)(element)) {
  element value;
  return record[key].get(value) || check(value);
}
bool is_string(element e) { return is_leaf(e, "string"); }
bool is_control_list(element e) {
  object list;
  return is_table(e) && !e.get_object().get(list) && member_is(list, "controls", [](element controls) {
           simdjson::dom::array keys;
           if (controls.get_array().get(keys)) return false;
           for (element key : keys) {
             if (!is_string(key)) return false;
           }
           return true;
         });
}
bool is_subject_table(element e) {
  object subjects;
  if (!is_table(e) || e.get_object().get(subjects)) return false;
  for (auto entry : subjects) {
    if (!is_control_list(entry.value)) return false;
  }
  return true;
}
bool is_legal_review(element e) {
  object review;
  return is_table(e) && !e.get_object().get(review) && member_is(review, "status", is_string);
}
bool is_meta(element e) {
  object meta;
  return is_table(e) && !e.get_object().get(meta) && member_is(meta, "strictness", is_string) &&
         member_is(meta, "last_reviewed_against_guidance", is_string) && member_is(meta, "effective_from", is_string) &&
         member_is(meta, "effective_until", is_string) && member_is(meta, "legal_review", is_legal_review);
}
bool has_pack_shape(object document, bool meta_given) {
  element meta;
  const bool meta_ok = meta_given || (!document["meta"].get(meta) && is_meta(meta));
  return meta_ok && member_is(document, "subject", is_subject_table) &&
         member_is(document, "legally_required", is_control_list) && member_is(document, "prohibited", is_control_list);
}

std::string test_name(const testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

class InvalidToml : public testing::TestWithParam<std::string> {};
class ValidToml : public testing::TestWithParam<std::string> {};

TEST_P(InvalidToml, FallsBackAsMalformed) {
  const std::string text = read_file(kCorpus + GetParam() + ".toml");
  RegulatoryQuery query;
  query.profile = "p";
  query.universe = ControlUniverse::from_list({"a", "b"});
  EXPECT_FALSE(is_toml_document(text));
  EXPECT_EQ(decide_from_pack_text(with_empty_meta(text), "k.toml", Strictness::minimal(), query),
            fall_back({"a", "b"}, "p", "<malformed:k.toml>"));
}

TEST_P(ValidToml, ParsesAndReadsAsItsShape) {
  const std::string text = read_file(kCorpus + GetParam() + ".toml");
  simdjson::dom::parser parser;
  object typed;
  ASSERT_FALSE(parser.load(kCorpus + GetParam() + ".json").get(typed));

  EXPECT_TRUE(is_toml_document(text));
  EXPECT_EQ(read_policy_pack(text).has_value(), has_pack_shape(typed, false));
  element own_meta;
  if (typed["meta"].get(own_meta)) {
    EXPECT_EQ(read_policy_pack(with_empty_meta(text)).has_value(), has_pack_shape(typed, true));
  }
}

INSTANTIATE_TEST_SUITE_P(TomlTest, InvalidToml, testing::ValuesIn(corpus_cases("invalid/")), test_name);
INSTANTIATE_TEST_SUITE_P(TomlTest, ValidToml, testing::ValuesIn(corpus_cases("valid/")), test_name);

TEST(TomlTest, CorpusIsPresent) {
  EXPECT_FALSE(corpus_cases("invalid/").empty());
  EXPECT_FALSE(corpus_cases("valid/").empty());
}

}  // namespace
}  // namespace zorv
