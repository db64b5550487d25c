#include "pack/policy_pack.h"

#include <gtest/gtest.h>

#include <string>

#include "support/fault_printing.h"
#include "toml/toml_document.h"

namespace zorv {
namespace {

using namespace std::string_literals;
using text::FaultCode;

ControlList list(std::vector<ControlKey> keys) { return ControlList{ControlSet::from_list(std::move(keys))}; }

PolicyPack with_strictness(std::string text) {
  PolicyPack pack;
  pack.meta.strictness = std::move(text);
  return pack;
}

PolicyPack with_guidance(std::string text) {
  PolicyPack pack;
  pack.meta.last_reviewed_against_guidance = std::move(text);
  return pack;
}

PolicyPack full_pack() {
  PolicyPack pack;
  pack.meta = {.strictness = "minimal",
               .legal_review = LegalReview{.status = "approved"},
               .last_reviewed_against_guidance = "line one\nline two",
               .effective_from = "",
               .effective_until = "2025-12-31"};
  pack.subject = {{"customer", list({"a", "b"})}, {"pii", list({})}, {"pii.health", list({"h"})}};
  pack.legally_required = list({"a"});
  pack.prohibited = list({});
  return pack;
}

// Every vocabulary key in use, written in mixed TOML forms, with keys outside
// the vocabulary of odd types at every level.
constexpr const char* kFullPackText = R"(
extra = 2025-01-01T00:00:00Z
[meta]
strictness = 'minimal'
last_reviewed_against_guidance = """
line one
line two"""
effective_from = ""
effective_until = "2025-12-31"
owner = [1, { a = 2 }]
legal_review = { status = "approved", reviewer = 3 }
[subject.customer]
controls = ["b", "a", "b"]
note = true
[subject.pii.health]
controls = [1]
[subject."pii.health"]
controls = ["h"]
[legally_required]
controls = ["a"]
[prohibited]
)";

// Valid TOML whose strings hold more brackets, braces and dots than any
// document may nest: a scan that lost track of a string would refuse it.
const std::string kQuotedNesting =
    "[meta]\nx = [\n[\n1 ],\n { a = \"[\" } ]\n"
    "a = [ \"\"\"x\"\"\"\", \"" +
    std::string(2000, '[') +
    "\" ]\n"
    "b = \"\\\"" +
    std::string(2000, '[') +
    "\"\n"
    "c = [ '''y''''', '" +
    std::string(2000, '{') +
    "' ]\n"
    "e = \"\"\"\n[.]\\\"\"\"" +
    std::string(2000, '[') +
    "\"\"\"\n"
    "\"" +
    std::string(2000, '.') + "\" = 1\n";

std::string deep(const std::string& open, const std::string& inner, const std::string& close, int levels) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += open;
  text += inner;
  for (int i = 0; i < levels; ++i) text += close;
  return text;
}

// The code of the first fault in reading `text` as a located pack, if any.
std::optional<FaultCode> fault_code(std::string_view text) {
  text::Fault fault;
  const std::optional<toml::TomlDocument> document = toml::TomlDocument::read(text, fault);
  if (document && read_policy_pack(*document, fault)) return std::nullopt;
  return fault.code;
}

TEST(ReadPolicyPack, ReadsThePackShapeAndNothingElse) {
  const std::optional<PolicyPack> empty_pack = PolicyPack{};
  const std::optional<PolicyPack> malformed;
  const struct {
    const char* what;
    bool toml;  // whether the text is TOML at all, whatever its shape
    std::string text;
    std::optional<PolicyPack> expected;
    std::optional<FaultCode> fault = {};  // why it is no pack: the TOML reader's fault, or the pack reader's
  } rows[] = {
      {"empty meta", true, "[meta]", empty_pack},
      {"inline meta", true, "meta = {}", empty_pack},
      {"dotted meta", true, "meta.strictness = \"x\"", with_strictness("x")},
      {"every key, mixed forms", true, kFullPackText, full_pack()},
      {"empty document", true, "", malformed, FaultCode::pack_missing_meta},
      {"meta as string", true, "meta = \"x\"", malformed, FaultCode::pack_wrong_type},
      {"meta as array", true, "meta = []", malformed, FaultCode::pack_wrong_type},
      {"meta as array of tables", true, "[[meta]]", malformed, FaultCode::pack_wrong_type},
      {"meta as date-time", true, "meta = 2025-01-01T00:00:00", malformed, FaultCode::pack_wrong_type},
      {"strictness as integer", true, "[meta]\nstrictness = 1", malformed, FaultCode::pack_wrong_type},
      {"bound as bare date", true, "[meta]\neffective_from = 2025-01-01", malformed, FaultCode::pack_wrong_type},
      {"bound as boolean", true, "[meta]\neffective_until = true", malformed, FaultCode::pack_wrong_type},
      {"guidance as float", true, "[meta]\nlast_reviewed_against_guidance = 1.5", malformed,
       FaultCode::pack_wrong_type},
      {"legal_review as string", true, "[meta]\nlegal_review = \"ok\"", malformed, FaultCode::pack_wrong_type},
      {"status as integer", true, "[meta]\nlegal_review.status = 1", malformed, FaultCode::pack_wrong_type},
      {"subject as string", true, "subject = \"x\"\n[meta]", malformed, FaultCode::pack_wrong_type},
      {"subject as date-time", true, "subject = 2025-01-01T00:00:00Z\n[meta]", malformed, FaultCode::pack_wrong_type},
      {"subject entry as string", true, "subject = { a = \"x\" }\n[meta]", malformed, FaultCode::pack_wrong_type},
      {"subject entry as array of tables", true, "[meta]\n[[subject.a]]", malformed, FaultCode::pack_wrong_type},
      {"floor as array", true, "legally_required = []\n[meta]", malformed, FaultCode::pack_wrong_type},
      {"prohibited as date", true, "prohibited = 2025-01-01\n[meta]", malformed, FaultCode::pack_wrong_type},
      {"controls as string", true, "[meta]\n[prohibited]\ncontrols = \"a\"", malformed, FaultCode::pack_wrong_type},
      {"controls holding an integer", true, "[meta]\n[prohibited]\ncontrols = [\"a\", 1]", malformed,
       FaultCode::pack_wrong_type},
      {"controls holding an array", true, "[meta]\n[prohibited]\ncontrols = [[\"a\"]]", malformed,
       FaultCode::pack_wrong_type},
      {"controls holding a table", true, "[meta]\n[prohibited]\ncontrols = [{ a = \"b\" }]", malformed,
       FaultCode::pack_wrong_type},
      {"controls as table", true, "[meta]\n[prohibited.controls]", malformed, FaultCode::pack_wrong_type},
      {"key defined twice", false, "[meta]\nstrictness = \"a\"\nstrictness = \"b\"", malformed,
       FaultCode::toml_redefinition},
      {"table defined twice", false, "[meta]\n[meta]", malformed, FaultCode::toml_redefinition},
      // Texts the TOML library itself once aborted on.
      {"header of a dot", false, "[meta]\n[.]", malformed, FaultCode::toml_syntax},
      {"header of a line break", false, "[meta]\n[\n", malformed, FaultCode::toml_syntax},
      {"header of three brackets", false, "[meta]\n[[[a]]]", malformed, FaultCode::toml_syntax},
      {"date-time missing its hour", false, "[meta]\na = 1979-05-27T:", malformed, FaultCode::toml_syntax},
      {"time after a blank", false, "[meta]\na = 1979-05-27 0 :32:00Z", malformed, FaultCode::toml_syntax},
      {"brace closing an array", false, "[meta]\na = [ { x = 1 },\n }", malformed, FaultCode::toml_syntax},
      // Nesting: any depth is read, and nothing recurses once per level.
      {"brackets, braces and dots in strings", true, kQuotedNesting, empty_pack},
      {"100,000 nested arrays", true, "[meta]\nx = " + deep("[", "", "]", 100'000), empty_pack},
      {"100,000 nested inline tables", true, "[meta]\nx = " + deep("{a=", "1", "}", 100'000), empty_pack},
      {"100,000 dotted key parts", true, "[meta]\n" + deep("a.", "a = 1", "", 100'000), empty_pack},
      {"100,000 header key parts", true, "[meta]\n[" + deep("a.", "a]", "", 100'000), empty_pack},
      {"100,000 inline key parts", true, "[meta]\nx = {" + deep("a.", "a = 1}", "", 100'000), empty_pack},
      {"500 dotted key parts", true, "[meta]\n" + deep("a.", "a = 1", "", 499), empty_pack},
      {"NUL in a string", false, "[meta]\nstrictness = \"a\0b\""s, malformed, FaultCode::toml_syntax},
      {"NUL after meta", false, "[meta]\n\0"s, malformed, FaultCode::toml_syntax},
      {"BOM at the start", true, "\xEF\xBB\xBF[meta]", empty_pack},
      {"BOM after the start", false, "[meta]\n\xEF\xBB\xBF", malformed, FaultCode::toml_syntax},
      {"BOM inside a string", true, "[meta]\nstrictness = \"\xEF\xBB\xBFminimal\"",
       with_strictness("\xEF\xBB\xBFminimal")},
      {"accent after a line-ending backslash", true,
       "[meta]\nlast_reviewed_against_guidance = \"\"\"\\\n  \xC3\x89t\xC3\xA9\"\"\"",
       with_guidance("\xC3\x89t\xC3\xA9")},
      {"accent in a bare key", false, "[meta]\n\xC3\xA9 = 1", malformed, FaultCode::toml_syntax},
      {"UTF-16 text", false, "\xFF\xFE[\0m\0e\0t\0a\0]\0"s, malformed, FaultCode::toml_syntax},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(is_toml_document(row.text), row.toml) << row.what;
    EXPECT_EQ(read_policy_pack(row.text), row.expected) << row.what;
    EXPECT_EQ(fault_code(row.text), row.fault) << row.what;
  }
}

// Why a TOML document is no pack, as the located reader says it: the first
// fault in the reader's own order (meta, subjects, floor, prohibited), at the
// value at fault.
TEST(ReadPolicyPack, TheLocatedReaderSaysWhyADocumentIsNoPack) {
  const struct {
    std::string_view text;
    FaultCode code;
    std::size_t offset;
    std::string_view detail;
  } rows[] = {
      {"meta = []", FaultCode::pack_wrong_type, 7, "`meta` must be a table, found array"},
      {"[meta]\nlegal_review.status = 1", FaultCode::pack_wrong_type, 29,
       "`meta.legal_review.status` must be a string, found integer"},
      {"subject = { a = \"x\" }\n[meta]", FaultCode::pack_wrong_type, 16, "`subject.a` must be a table, found string"},
      {"[meta]\n[legally_required]\ncontrols = [\"a\", 2.5]", FaultCode::pack_wrong_type, 43,
       "`legally_required.controls[1]` must be a string, found float"},
      {"[meta]\n[prohibited.controls]", FaultCode::pack_wrong_type, 7,
       "`prohibited.controls` must be an array, found table"},
      {"subject = 1\n[meta]\nstrictness = 2", FaultCode::pack_wrong_type, 32,
       "`meta.strictness` must be a string, found integer"},
      {"legally_required = { controls = [] }", FaultCode::pack_missing_meta, 0, "the pack has no `meta` table"},
  };
  for (const auto& row : rows) {
    text::Fault fault;
    const std::optional<toml::TomlDocument> document = toml::TomlDocument::read(row.text, fault);
    ASSERT_TRUE(document.has_value()) << row.text;
    EXPECT_FALSE(read_policy_pack(*document, fault).has_value()) << row.text;
    EXPECT_EQ(fault.code, row.code) << row.text;
    EXPECT_EQ(fault.offset, row.offset) << row.text;
    EXPECT_EQ(fault.detail, row.detail) << row.text;
  }
}

}  // namespace
}  // namespace zorv
