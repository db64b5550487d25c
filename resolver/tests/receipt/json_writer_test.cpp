#include "json/json_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorv::json {
namespace {

using namespace std::string_literals;

std::string written(const JsonValue& value) {
  std::string text;
  append_value(text, value);
  return text;
}

struct StringCase {
  std::string text;
  std::string expected;
};

TEST(JsonWriterTest, EscapesOnlyQuoteBackslashAndControlCharacters) {
  const std::vector<StringCase> cases = {
      {"", R"("")"},
      {"plain text", R"("plain text")"},
      {"say \"hi\"", R"("say \"hi\"")"},
      {"C:\\dir\\", R"("C:\\dir\\")"},
      {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
      {"a\0b"s, R"("a\u0000b")"},
      {"\0"s, R"("\u0000")"},
      {"\x01\x0b\x0e\x1a\x1b\x1f", R"("\u0001\u000b\u000e\u001a\u001b\u001f")"},
      {" /", R"(" /")"},
      {"\x7f", "\"\x7f\""},
      {"é€😀", "\"é€😀\""},
      {"\\u0041", R"("\\u0041")"},
      {"line\r\nend\x1f", R"("line\r\nend\u001f")"},
  };
  for (const auto& c : cases) {
    std::string out = "prefix:";
    append_string(out, c.text);
    EXPECT_EQ(out, "prefix:" + c.expected) << c.expected;
  }
}

struct ValueCase {
  const char* name;
  JsonValue value;
  std::string expected;
};

TEST(JsonWriterTest, WritesCompactValuesWithKeysInByteOrder) {
  const std::vector<ValueCase> cases = {
      {"null", nullptr, "null"},
      {"booleans", JsonArray{true, false}, "[true,false]"},
      {"zero", std::uint64_t{0}, "0"},
      {"largest unsigned", std::uint64_t{18446744073709551615u}, "18446744073709551615"},
      {"empty array and object", JsonArray{JsonArray{}, JsonObject{}}, "[[],{}]"},
      {"arrays keep their order and repeats", JsonArray{"b", "a", "b"}, R"(["b","a","b"])"},
      {"keys in unsigned byte order",
       JsonObject{{"é", "1"}, {"b", "2"}, {"a", "3"}, {"_", "4"}, {"B", "5"}, {"@", "6"}, {"", "7"}},
       R"({"":"7","@":"6","B":"5","_":"4","a":"3","b":"2","é":"1"})"},
      {"keys are escaped", JsonObject{{"a\"b\n"s, nullptr}, {"\0"s, true}}, R"({"\u0000":true,"a\"b\n":null})"},
      {"nested", JsonObject{{"z", JsonObject{{"y", JsonArray{JsonObject{{"x", "w"}}}}}}, {"a", JsonArray{}}},
       R"({"a":[],"z":{"y":[{"x":"w"}]}})"},
  };
  for (const auto& c : cases) EXPECT_EQ(written(c.value), c.expected) << c.name;
}

}  // namespace
}  // namespace zorv::json
