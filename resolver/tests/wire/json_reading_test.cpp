// Reading of the caller's JSON texts: the exact fault messages (detail, line
// and column of the first fault in text order), the code of each fault and
// the values read.
#include <gtest/gtest.h>

#include <string>

#include "support/fault_printing.h"
#include "json/json_reader.h"
#include "wire/pack_index.h"
#include "wire/wire_query.h"

namespace zorv::wire {
namespace {

constexpr std::string_view kValidQuery =
    R"({"domain":"payments","profile":"retail","jurisdiction":"EU","subject":"card","universe":["b","a","b"]})";

std::string query_error(std::string_view text) {
  auto result = WireQuery::read(text);
  return result.ok() ? "<accepted>" : result.error().text;
}

std::string packs_error(std::string_view text) {
  auto result = PackIndex::read(text);
  return result.ok() ? "<accepted>" : result.error().text;
}

// The code of the fault WireQuery::read reports: the same read, with the
// fault itself in hand.
std::optional<text::FaultCode> query_fault_code(std::string_view text) {
  json::JsonReader reader(text);
  WireQuery query;
  if (reader.read_document([&] { return WireQuery::read_from(reader, query); })) return std::nullopt;
  return reader.fault().code;
}

// The same for PackIndex::read, which reads the map as a map of strings.
std::optional<text::FaultCode> packs_fault_code(std::string_view text) {
  json::JsonReader reader(text);
  if (reader.read_document([&] { return reader.read_string_map([](json::RawJsonString, json::RawJsonString) {}); })) {
    return std::nullopt;
  }
  return reader.fault().code;
}

struct FaultCase {
  std::string text;
  text::FaultCode code;
  std::string expected;  // the message after the argument's prefix
};

class QueryFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(QueryFaults, ReportsFirstFaultWithPosition) {
  EXPECT_EQ(query_error(GetParam().text), std::string(kQueryJsonPrefix) + GetParam().expected);
  EXPECT_EQ(query_fault_code(GetParam().text), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Shape, QueryFaults,
    testing::Values(
        FaultCase{R"({"domain":5})", text::FaultCode::json_wrong_type,
                  "invalid type: integer `5`, expected a string at line 1 column 11"},
        FaultCase{R"({"domain":-5})", text::FaultCode::json_wrong_type,
                  "invalid type: integer `-5`, expected a string at line 1 column 12"},
        FaultCase{R"({"domain":1.5})", text::FaultCode::json_wrong_type,
                  "invalid type: floating point `1.5`, expected a string at line 1 column 13"},
        FaultCase{R"({"domain":1e3})", text::FaultCode::json_wrong_type,
                  "invalid type: floating point `1000.0`, expected a string at line 1 column 13"},
        FaultCase{R"({"domain":18446744073709551616})", text::FaultCode::json_wrong_type,
                  "invalid type: floating point `18446744073709552000.0`, expected a string at line 1 column 30"},
        FaultCase{R"({"domain":true})", text::FaultCode::json_wrong_type,
                  "invalid type: boolean `true`, expected a string at line 1 column 14"},
        FaultCase{R"({"domain":null})", text::FaultCode::json_wrong_type,
                  "invalid type: null, expected a string at line 1 column 14"},
        FaultCase{R"({"domain":[1]})", text::FaultCode::json_wrong_type,
                  "invalid type: sequence, expected a string at line 1 column 10"},
        FaultCase{R"({"domain":{}})", text::FaultCode::json_wrong_type,
                  "invalid type: map, expected a string at line 1 column 10"},
        FaultCase{R"({"dom\u0061in":5})", text::FaultCode::json_wrong_type,
                  "invalid type: integer `5`, expected a string at line 1 column 16"},
        FaultCase{"{\n  \"domain\": 5\n}", text::FaultCode::json_wrong_type,
                  "invalid type: integer `5`, expected a string at line 2 column 13"},
        FaultCase{R"({})", text::FaultCode::json_missing_field, "missing field `domain` at line 1 column 2"},
        FaultCase{R"({"profile":"r","universe":[]})", text::FaultCode::json_missing_field,
                  "missing field `domain` at line 1 column 29"},
        FaultCase{R"({"domain":"d","jurisdiction":"j"})", text::FaultCode::json_missing_field,
                  "missing field `profile` at line 1 column 33"},
        FaultCase{R"({"domain":"a","domain":"b"})", text::FaultCode::json_duplicate_field,
                  "duplicate field `domain` at line 1 column 22"},
        FaultCase{R"({"domain":"a","d\u006fmain":"b"})", text::FaultCode::json_duplicate_field,
                  "duplicate field `domain` at line 1 column 27"},
        FaultCase{R"({"domain":"a","domain" "b"})", text::FaultCode::json_duplicate_field,
                  "duplicate field `domain` at line 1 column 22"},
        FaultCase{R"([])", text::FaultCode::json_wrong_type,
                  "invalid type: sequence, expected struct WireQuery at line 1 column 0"},
        FaultCase{R"(["payments","retail","EU","card",[]])", text::FaultCode::json_wrong_type,
                  "invalid type: sequence, expected struct WireQuery at line 1 column 0"},
        FaultCase{R"("q")", text::FaultCode::json_wrong_type,
                  "invalid type: string \"q\", expected struct WireQuery at line 1 column 3"},
        FaultCase{R"({"domain":"a","profile":"b","jurisdiction":"c","subject":"d","universe":"x\n"})",
                  text::FaultCode::json_wrong_type,
                  "invalid type: string \"x\\n\", expected a sequence at line 1 column 77"},
        FaultCase{R"({"domain":"a","profile":"b","jurisdiction":"c","subject":"d","universe":["x",null]})",
                  text::FaultCode::json_wrong_type, "invalid type: null, expected a string at line 1 column 81"},
        FaultCase{R"({"domain":"a","profile":"b","jurisdiction":"c","subject":"d","universe":[],"as_of":7})",
                  text::FaultCode::json_wrong_type,
                  "invalid type: integer `7`, expected a string at line 1 column 84"}));

INSTANTIATE_TEST_SUITE_P(
    Syntax, QueryFaults,
    testing::Values(
        FaultCase{"", text::FaultCode::json_syntax, "EOF while parsing a value at line 1 column 0"},
        FaultCase{"  \n ", text::FaultCode::json_syntax, "EOF while parsing a value at line 2 column 1"},
        FaultCase{R"({"domain":"a")", text::FaultCode::json_syntax, "EOF while parsing an object at line 1 column 13"},
        FaultCase{R"({"domain":"a)", text::FaultCode::json_syntax, "EOF while parsing a string at line 1 column 12"},
        FaultCase{R"({"domain")", text::FaultCode::json_syntax, "EOF while parsing an object at line 1 column 9"},
        FaultCase{R"({"domain" "a"})", text::FaultCode::json_syntax, "expected `:` at line 1 column 11"},
        FaultCase{R"({"domain":"a" "profile":"b"})", text::FaultCode::json_syntax,
                  "expected `,` or `}` at line 1 column 15"},
        FaultCase{R"({"domain":"a",})", text::FaultCode::json_syntax, "trailing comma at line 1 column 15"},
        FaultCase{R"({domain:"a"})", text::FaultCode::json_syntax, "key must be a string at line 1 column 2"},
        FaultCase{R"({"x":[1 2]})", text::FaultCode::json_syntax, "expected `,` or `]` at line 1 column 9"},
        FaultCase{R"({"x":[1,]})", text::FaultCode::json_syntax, "trailing comma at line 1 column 9"},
        FaultCase{R"({"x":tru})", text::FaultCode::json_syntax, "expected ident at line 1 column 9"},
        FaultCase{R"({"x":01})", text::FaultCode::json_syntax, "invalid number at line 1 column 7"},
        FaultCase{R"({"x":1.})", text::FaultCode::json_syntax, "invalid number at line 1 column 8"},
        FaultCase{R"({"x":-})", text::FaultCode::json_syntax, "invalid number at line 1 column 7"},
        // Any number the grammar allows is passed over under an ignored key;
        // only a value that is read must fit a double.
        FaultCase{R"({"x":1e400})", text::FaultCode::json_missing_field, "missing field `domain` at line 1 column 11"},
        FaultCase{R"({"x":[-1e400,{"y":1e999}],"z":)" + std::string(400, '7') + "}",
                  text::FaultCode::json_missing_field, "missing field `domain` at line 1 column 431"},
        FaultCase{R"({"domain":1e400})", text::FaultCode::json_number_out_of_range,
                  "number out of range at line 1 column 15"},
        FaultCase{R"({"x":'a'})", text::FaultCode::json_syntax, "expected value at line 1 column 6"},
        FaultCase{R"({"x":"\x"})", text::FaultCode::json_syntax, "invalid escape at line 1 column 8"},
        FaultCase{R"({"x":"\u12G4"})", text::FaultCode::json_syntax, "invalid escape at line 1 column 11"},
        FaultCase{R"({"domain":"\ud800"})", text::FaultCode::json_syntax,
                  "lone leading surrogate in hex escape at line 1 column 17"},
        FaultCase{R"({"domain":"\ud800\u0041"})", text::FaultCode::json_syntax,
                  "lone leading surrogate in hex escape at line 1 column 23"},
        FaultCase{R"({"domain":"\udc00"})", text::FaultCode::json_syntax,
                  "lone trailing surrogate in hex escape at line 1 column 17"},
        FaultCase{"{\"domain\":\"a\tb\"}", text::FaultCode::json_syntax,
                  "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 13"},
        FaultCase{"{\"domain\":\"a\xff\"}", text::FaultCode::not_utf8,
                  "invalid unicode code point at line 1 column 13"},
        FaultCase{"{\"domain\":\"\xed\xa0\x80\"}", text::FaultCode::not_utf8,
                  "invalid unicode code point at line 1 column 12"},
        FaultCase{std::string(kValidQuery) + " {}", text::FaultCode::json_syntax,
                  "trailing characters at line 1 column 104"},
        // A type fault before a syntax fault in text order wins, and vice versa.
        FaultCase{R"({"domain":5,"x":"\q"})", text::FaultCode::json_wrong_type,
                  "invalid type: integer `5`, expected a string at line 1 column 11"},
        FaultCase{R"({"x":"\q","domain":5})", text::FaultCode::json_syntax, "invalid escape at line 1 column 8"},
        FaultCase{"{\"domain\":\"\xff\\q\"}", text::FaultCode::not_utf8,
                  "invalid unicode code point at line 1 column 12"}));

TEST(QueryReading, NestingBeyondTheLimitIsAFaultNotACrash) {
  const std::string deep = R"({"x":)" + std::string(100000, '[');
  EXPECT_EQ(query_error(deep), std::string(kQueryJsonPrefix) + "recursion limit exceeded at line 1 column 133");
  EXPECT_EQ(query_fault_code(deep), text::FaultCode::json_too_deep);
  // 128 levels in all (the query object plus 127 arrays) are still fine.
  const std::string at_limit = R"({"x":)" + std::string(127, '[') + std::string(127, ']') + "}";
  EXPECT_EQ(query_error(at_limit), std::string(kQueryJsonPrefix) + "missing field `domain` at line 1 column 260");
  EXPECT_EQ(query_error(std::string(100000, '[')),
            std::string(kQueryJsonPrefix) + "invalid type: sequence, expected struct WireQuery at line 1 column 0");
}

TEST(QueryReading, ReadsFieldsVerbatimAndIgnoresUnknownKeys) {
  auto result = WireQuery::read(
      R"( {"comment":{"x":[1,2.5,null,true,{"k":"v"}]},"comment":0,"universe":["b","a","b","B",""],)"
      R"("subject":" Card","jurisdiction":"EU","profile":"r\/x","domain":"caf\u00e9 \ud83d\ude00","as_of":null} )");
  ASSERT_TRUE(result.ok()) << result.error().text;
  RegulatoryQuery query = std::move(result.value()).into_core();
  EXPECT_EQ(query.domain, "caf\xc3\xa9 \xf0\x9f\x98\x80");
  EXPECT_EQ(query.profile, "r/x");
  EXPECT_EQ(query.subject, " Card");
  EXPECT_EQ(query.universe.sorted().keys(), (std::vector<std::string_view>{"", "B", "a", "b"}));
  EXPECT_FALSE(query.as_of.has_value());
}

// Escaped universe keys are decoded back to back into one buffer that grows
// as it goes; each key must still read as its own text, in the caller's order.
TEST(QueryReading, KeepsTheUniverseInOrderWithEscapedKeysDecoded) {
  std::string universe = "[";
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    universe += i % 3 == 0   ? "\"plain" + n + "\","
                : i % 3 == 1 ? "\"\\u00e9" + n + "\\n\","
                             : "\"\\ud83d\\ude00" + n + "\",";
    expected.push_back(i % 3 == 0 ? "plain" + n : i % 3 == 1 ? "\xc3\xa9" + n + "\n" : "\xf0\x9f\x98\x80" + n);
  }
  universe.back() = ']';
  const std::string text =
      R"({"domain":"d","profile":"p","jurisdiction":"","subject":"s","universe":)" + universe + "}";
  auto result = WireQuery::read(text);
  ASSERT_TRUE(result.ok()) << result.error().text;
  const RegulatoryQuery query = std::move(result.value()).into_core();
  EXPECT_EQ(std::vector<std::string>(query.universe.keys().begin(), query.universe.keys().end()), expected);
}

class PackMapFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(PackMapFaults, ReportsFirstFaultWithPosition) {
  EXPECT_EQ(packs_error(GetParam().text), std::string(kPacksJsonPrefix) + GetParam().expected);
  EXPECT_EQ(packs_fault_code(GetParam().text), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    All, PackMapFaults,
    testing::Values(
        FaultCase{"[]", text::FaultCode::json_wrong_type, "invalid type: sequence, expected a map at line 1 column 0"},
        FaultCase{R"("a")", text::FaultCode::json_wrong_type,
                  "invalid type: string \"a\", expected a map at line 1 column 3"},
        FaultCase{"null", text::FaultCode::json_wrong_type, "invalid type: null, expected a map at line 1 column 4"},
        FaultCase{R"({"a":1})", text::FaultCode::json_wrong_type,
                  "invalid type: integer `1`, expected a string at line 1 column 6"},
        FaultCase{R"({"a":"x","b":{}})", text::FaultCode::json_wrong_type,
                  "invalid type: map, expected a string at line 1 column 13"},
        FaultCase{R"({"a":"x"} {})", text::FaultCode::json_syntax, "trailing characters at line 1 column 11"},
        FaultCase{"{}\x0b", text::FaultCode::json_syntax, "trailing characters at line 1 column 3"},
        FaultCase{"{}\f", text::FaultCode::json_syntax, "trailing characters at line 1 column 3"},
        FaultCase{R"({"a":"\uDEAD"})", text::FaultCode::json_syntax,
                  "lone trailing surrogate in hex escape at line 1 column 12"},
        FaultCase{std::string(100000, '['), text::FaultCode::json_wrong_type,
                  "invalid type: sequence, expected a map at line 1 column 0"}));

TEST(PackMapReading, FindsDecodedTextsByKeyLastOneWinning) {
  auto packs =
      PackIndex::read(R"({"r/p.toml":"first","other":"[broken","r\/p.toml":"second\n\u00e9","r/p.zorv.toml":""})");
  ASSERT_TRUE(packs.ok()) << packs.error().text;
  const auto found = [&](std::string_view key) {
    std::string storage;
    const std::optional<std::string_view> text = packs.value().find(key, storage);
    return text ? std::optional<std::string>(*text) : std::nullopt;
  };
  EXPECT_EQ(found("r/p.toml"), "second\n\xc3\xa9");
  EXPECT_EQ(found("r/p.zorv.toml"), "");
  EXPECT_EQ(found("absent"), std::nullopt);
  EXPECT_EQ(found("other"), "[broken");
}

}  // namespace
}  // namespace zorv::wire
