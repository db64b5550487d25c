// Reading the receipt context: defaults, optional members, the integer range
// of `issued_at_unix`, and the exact fault messages.
#include <gtest/gtest.h>

#include <string>

#include "support/fault_printing.h"
#include "json/json_reader.h"
#include "wire/wire_receipt_context.h"

namespace zorv::wire {
namespace {

// The nine required members; `extra` is spliced in before the closing brace.
std::string context_with(const std::string& extra) {
  return R"({"record_id":"r","issued_at":"t","issued_at_unix":7,"language":"en","pii_principal_id":"p",)"
         R"("pii_controller":"c","domain":"d","subject":"s","attribution_source":"a")" +
         extra + "}";
}

std::string context_error(const std::string& text) {
  auto result = WireReceiptContext::read(text);
  return result.ok() ? "<accepted>" : result.error().text.substr(kCtxJsonPrefix.size());
}

TEST(ReceiptContextReading, AppliesDefaultsToTheRequiredMembersAlone) {
  auto result = WireReceiptContext::read(context_with(""));
  ASSERT_TRUE(result.ok()) << result.error().text;
  const receipt::ReceiptContext context = std::move(result.value()).into_core();
  const receipt::ReceiptContext expected{"r", "t", 7,   "en",  "p",   "c",   std::nullopt, "d",          "s",
                                         {},  {},  "a", false, false, false, {},           std::nullopt, std::nullopt};
  EXPECT_EQ(context, expected);
}

TEST(ReceiptContextReading, ReadsEveryOptionalMemberAndKeepsArraysAsGiven) {
  auto result = WireReceiptContext::read(context_with(
      R"(,"policy_url":"","operations":["b","a","b"],"jurisdictions":["EU","DE"],"gpc_signal":true,)"
      R"("ieee7012_no_recording":true,"sensitive":true,"spi_cat":["health"],)"
      R"("ai_disclosure":{"method":"banner","disclosed_at":"t0","x":[]},"pack_sha256":"00","universe":[1])"));
  ASSERT_TRUE(result.ok()) << result.error().text;
  const receipt::ReceiptContext context = std::move(result.value()).into_core();
  const receipt::ReceiptContext expected{"r",
                                         "t",
                                         7,
                                         "en",
                                         "p",
                                         "c",
                                         "",
                                         "d",
                                         "s",
                                         {"b", "a", "b"},
                                         {"EU", "DE"},
                                         "a",
                                         true,
                                         true,
                                         true,
                                         {"health"},
                                         receipt::AiDisclosure{"t0", "banner"},
                                         "00"};
  EXPECT_EQ(context, expected);
}

TEST(ReceiptContextReading, NullMeansAbsentOnlyForTheOptionalMembers) {
  auto result = WireReceiptContext::read(context_with(R"(,"policy_url":null,"ai_disclosure":null,"pack_sha256":null)"));
  ASSERT_TRUE(result.ok()) << result.error().text;
  EXPECT_EQ(std::move(result.value()).into_core(),
            std::move(WireReceiptContext::read(context_with("")).value()).into_core());
}

struct U64Case {
  std::string literal;
  std::string outcome;                       // the value read, or the fault's message
  std::optional<text::FaultCode> code = {};  // the fault's code
};

// The code of the fault in reading `literal` on its own as a u64.
std::optional<text::FaultCode> u64_fault_code(std::string_view literal) {
  json::JsonReader reader(literal);
  std::uint64_t value = 0;
  if (reader.read_document([&] { return reader.read_u64(value); })) return std::nullopt;
  return reader.fault().code;
}

class IssuedAtUnix : public testing::TestWithParam<U64Case> {};

TEST_P(IssuedAtUnix, TakesEveryUnsignedSixtyFourBitIntegerAndNothingElse) {
  const std::string text =
      R"({"record_id":"r","issued_at":"t","issued_at_unix":)" + GetParam().literal +
      R"(,"language":"en","pii_principal_id":"p","pii_controller":"c","domain":"d","subject":"s","attribution_source":"a"})";
  auto result = WireReceiptContext::read(text);
  const std::string outcome =
      result.ok() ? std::to_string(result.value().issued_at_unix) : result.error().text.substr(kCtxJsonPrefix.size());
  EXPECT_EQ(outcome, GetParam().outcome);
  EXPECT_EQ(u64_fault_code(GetParam().literal), GetParam().code);
}

// The value starts at column 50; a scalar fault is reported after it, a
// sequence before its bracket.
INSTANTIATE_TEST_SUITE_P(
    Edges, IssuedAtUnix,
    testing::Values(
        U64Case{"0", "0"}, U64Case{"-0", "0"}, U64Case{"9007199254740992", "9007199254740992"},
        U64Case{"9223372036854775808", "9223372036854775808"}, U64Case{"18446744073709551615", "18446744073709551615"},
        U64Case{"-1", "invalid value: integer `-1`, expected u64 at line 1 column 52",
                text::FaultCode::json_invalid_value},
        U64Case{"-9223372036854775808",
                "invalid value: integer `-9223372036854775808`, expected u64 at line 1 column 70",
                text::FaultCode::json_invalid_value},
        U64Case{"18446744073709551616",
                "invalid type: floating point `18446744073709552000.0`, expected u64 at line 1 column 70",
                text::FaultCode::json_wrong_type},
        U64Case{"1.5", "invalid type: floating point `1.5`, expected u64 at line 1 column 53",
                text::FaultCode::json_wrong_type},
        U64Case{"1e3", "invalid type: floating point `1000.0`, expected u64 at line 1 column 53",
                text::FaultCode::json_wrong_type},
        U64Case{"1.0", "invalid type: floating point `1.0`, expected u64 at line 1 column 53",
                text::FaultCode::json_wrong_type},
        U64Case{"\"1\"", "invalid type: string \"1\", expected u64 at line 1 column 53",
                text::FaultCode::json_wrong_type},
        U64Case{"null", "invalid type: null, expected u64 at line 1 column 54", text::FaultCode::json_wrong_type},
        U64Case{"[]", "invalid type: sequence, expected u64 at line 1 column 50", text::FaultCode::json_wrong_type}));

struct FaultCase {
  std::string text;
  std::string expected;
};

class ReceiptContextFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(ReceiptContextFaults, NamesTheFirstFault) { EXPECT_EQ(context_error(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    All, ReceiptContextFaults,
    testing::Values(
        FaultCase{"{}", "missing field `record_id` at line 1 column 2"},
        FaultCase{"null", "invalid type: null, expected struct WireReceiptContext at line 1 column 4"},
        FaultCase{"[]", "invalid type: sequence, expected struct WireReceiptContext at line 1 column 0"},
        FaultCase{R"({"record_id":"","issued_at":"","issued_at_unix":0,"language":"","pii_principal_id":"",)"
                  R"("pii_controller":"","domain":"","subject":""})",
                  "missing field `attribution_source` at line 1 column 131"},
        FaultCase{context_with(R"(,"operations":null)"),
                  "invalid type: null, expected a sequence at line 1 column 181"},
        FaultCase{context_with(R"(,"spi_cat":[1])"),
                  "invalid type: integer `1`, expected a string at line 1 column 176"},
        FaultCase{context_with(R"(,"gpc_signal":null)"), "invalid type: null, expected a boolean at line 1 column 181"},
        FaultCase{context_with(R"(,"sensitive":"true")"),
                  "invalid type: string \"true\", expected a boolean at line 1 column 182"},
        FaultCase{context_with(R"(,"ai_disclosure":{"disclosed_at":"t"})"),
                  "missing field `method` at line 1 column 200"},
        FaultCase{context_with(R"(,"ai_disclosure":"now")"),
                  "invalid type: string \"now\", expected struct WireAiDisclosure at line 1 column 185"},
        FaultCase{context_with(R"(,"ai_disclosure":{"method":"a","method":"b"})"),
                  "duplicate field `method` at line 1 column 202"},
        FaultCase{context_with(R"(,"record_id":"again")"), "duplicate field `record_id` at line 1 column 175"},
        // A repeated field is reported at its key, before a fault after it.
        FaultCase{context_with(R"(,"record_id" "again")"), "duplicate field `record_id` at line 1 column 175"},
        FaultCase{context_with(R"(,"ai_disclosure":{"method":"a","method" 1})"),
                  "duplicate field `method` at line 1 column 202"},
        // Numbers no double holds are passed over under ignored keys.
        FaultCase{context_with(R"(,"extra":[1e400,-1e400,{"n":)" + std::string(400, '9') + "}]") + "x",
                  "trailing characters at line 1 column 595"},
        FaultCase{context_with(R"(,"policy_url":5)"),
                  "invalid type: integer `5`, expected a string at line 1 column 178"},
        FaultCase{context_with("") + " x", "trailing characters at line 1 column 166"}));

}  // namespace
}  // namespace zorv::wire
