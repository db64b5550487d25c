#include "wire_tools/decision_log_record.h"

#include <gtest/gtest.h>

#include "support/fault_printing.h"

namespace zorv::wire {
namespace {

TEST(DecisionLogRecord, ReadsTheMembersAsWrittenOrSaysWhereTheLineIsNoRecord) {
  const struct {
    std::string_view line;
    // On success: the query and decision texts and the dial; else the fault.
    std::string_view query, decision;
    std::optional<std::string> strictness;
    std::string_view fault;
    std::size_t offset;
    text::FaultCode code = {};
  } rows[] = {
      {R"({"query":{"a" : 1},"strictness":null,"decision":{"v":[ ]},"pack_sha256":"ab"})", R"({"a" : 1})",
       R"({"v":[ ]})", std::nullopt, "", 0},
      {R"( {"decision": {}, "x": [1], "strictness": "min\u0069mal", "query": [ "q" ] } )", R"([ "q" ])", "{}",
       "minimal", "", 0},
      {R"({"query":{},"decision":{},"pack_sha256":5})", "", "", std::nullopt,
       "invalid type: integer `5`, expected a string", 41, text::FaultCode::json_wrong_type},
      {R"({"query":{},"decision":[]})", "", "", std::nullopt, "`decision` is not an object", 24,
       text::FaultCode::json_wrong_type},
      {R"({"query":{}})", "", "", std::nullopt, "missing field `decision`", 12, text::FaultCode::json_missing_field},
      {R"({"query":{},"query":{},"decision":{}})", "", "", std::nullopt, "duplicate field `query`", 19,
       text::FaultCode::json_duplicate_field},
      {R"( [{}, null, {}])", "", "", std::nullopt, "invalid type: sequence, expected struct DecisionLogRecord", 2,
       text::FaultCode::json_wrong_type},
      {R"({"query":{},"decision":{}} x)", "", "", std::nullopt, "trailing characters", 28,
       text::FaultCode::json_syntax},
  };
  for (const auto& row : rows) {
    DecisionLogRecord record;
    text::Fault fault;
    const bool ok = DecisionLogRecord::read(row.line, record, fault);
    EXPECT_EQ(ok, row.fault.empty()) << row.line;
    if (ok) {
      EXPECT_EQ(record.query, row.query) << row.line;
      EXPECT_EQ(record.decision, row.decision) << row.line;
      EXPECT_EQ(record.strictness, row.strictness) << row.line;
      EXPECT_EQ(row.line.substr(record.query_offset, record.query.size()), record.query) << row.line;
    } else {
      EXPECT_EQ(fault.detail, row.fault) << row.line;
      EXPECT_EQ(fault.offset, row.offset) << row.line;
      EXPECT_EQ(fault.code, row.code) << row.line;
    }
  }
}

TEST(DecisionLogRecord, WhitespaceCountsBetweenTokensOnly) {
  const struct {
    std::string_view text, compact;
    bool same;
  } rows[] = {
      {"{ \"a b\" :\t[ 1 ,\r\n 2 ] }", "{\"a b\":[1,2]}", true},
      {"{ \"a b\" : 1 }", "{\"ab\":1}", false},
      {R"([ "q\" x", "\\", " " ])", R"(["q\" x","\\"," "])", true},
      {R"([ "q\" x" ])", R"(["q\"x"])", false},
      {R"({"k\\":" \\\" "})", R"({"k\\":" \\\" "})", true},
      {"\"\xe2\x80\xa8 \"", "\"\xe2\x80\xa8 \"", true},
      {"[1, 2]", "[1,2,3]", false},
      {"[1, 2, 3]", "[1,2]", false},
      {" ", "", true},
  };
  for (const auto& row : rows) EXPECT_EQ(same_without_whitespace(row.text, row.compact), row.same) << row.text;
}

}  // namespace
}  // namespace zorv::wire
