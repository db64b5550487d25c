// The TOML reader: the toml-test 1.0 corpus through the decoder program
// (valid cases must decode to exactly their typed JSON, invalid ones must be
// refused), fault positions, and the documents that only a reader without
// fixed buffers or recursion reads.
#include "text/text_position.h"
#include "toml/toml_document.h"

#include <gtest/gtest.h>
#include <simdjson.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

#include "support/fault_printing.h"
#include "support/testdata.h"
#include "support/toml_tagged_json.h"

namespace zorv::toml {
namespace {

using testing_support::read_file;
using testing_support::testdata_dir;

const auto kCorpus = testdata_dir() / "toml-test" / "tests";

struct Decoded {
  int status = -1;
  std::string output;
};

// Runs the decoder program on `path` as toml-test would.
Decoded run_decoder(const std::filesystem::path& path) {
  const std::string command = std::string(ZORV_TOML_DECODER) + " < '" + path.string() + "' 2>/dev/null";
  Decoded decoded;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return decoded;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) decoded.output.append(buffer, n);
  const int status = pclose(pipe);
  decoded.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return decoded;
}

// Date-times compare with "t", "z" and the space separator in one spelling
// and trailing zeros of the fraction dropped ("56.600Z" is "56.6Z"); floats
// by value.
std::string normal_date_time(std::string text) {
  for (char& c : text) {
    if (c == 't' || c == ' ') c = 'T';
    if (c == 'z') c = 'Z';
  }
  const std::size_t dot = text.find('.');
  if (dot == std::string::npos) return text;
  std::size_t end = dot + 1;
  while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
  std::size_t keep = end;
  while (keep > dot + 1 && text[keep - 1] == '0') --keep;
  if (keep == dot + 1) keep = dot;
  return text.substr(0, keep) + text.substr(end);
}

bool same_leaf(std::string_view type, std::string_view expected, std::string_view got) {
  if (type == "float") {
    const double a = std::strtod(std::string(expected).c_str(), nullptr);
    const double b = std::strtod(std::string(got).c_str(), nullptr);
    return (std::isnan(a) && std::isnan(b)) || (a == b && std::signbit(a) == std::signbit(b));
  }
  if (type.starts_with("date") || type.starts_with("time")) {
    return normal_date_time(std::string(expected)) == normal_date_time(std::string(got));
  }
  return expected == got;
}

bool same_tagged(simdjson::dom::element expected, simdjson::dom::element got) {
  if (expected.type() != got.type()) return false;
  if (expected.is_array()) {
    simdjson::dom::array a = expected.get_array(), b = got.get_array();
    if (a.size() != b.size()) return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
      if (!same_tagged(*i, *j)) return false;
    }
    return true;
  }
  if (!expected.is_object()) return false;
  simdjson::dom::object a = expected.get_object(), b = got.get_object();
  std::string_view type, expected_value, got_value;
  if (a.size() == 2 && !a["type"].get_string().get(type) && !a["value"].get_string().get(expected_value)) {
    std::string_view got_type;
    return b.size() == 2 && !b["type"].get_string().get(got_type) && got_type == type &&
           !b["value"].get_string().get(got_value) && same_leaf(type, expected_value, got_value);
  }
  if (a.size() != b.size()) return false;
  for (auto [key, value] : a) {
    simdjson::dom::element other;
    if (b[key].get(other) || !same_tagged(value, other)) return false;
  }
  return true;
}

std::vector<std::string> corpus_cases() {
  std::istringstream list(read_file(kCorpus / "files-toml-1.0.0"));
  std::vector<std::string> cases;
  for (std::string line; std::getline(list, line);) {
    if (line.ends_with(".toml")) cases.push_back(line);
  }
  return cases;
}

TEST(TomlDocument, DecoderAgreesWithTheWholeTomlTestCorpus) {
  const std::vector<std::string> cases = corpus_cases();
  ASSERT_GT(cases.size(), 700u);
  simdjson::dom::parser expected_parser, got_parser;
  for (const std::string& name : cases) {
    const Decoded decoded = run_decoder(kCorpus / name);
    if (name.starts_with("invalid/")) {
      EXPECT_EQ(decoded.status, 1) << name << " was accepted";
      continue;
    }
    ASSERT_EQ(decoded.status, 0) << name << " was refused";
    const std::string expected_text = read_file(kCorpus / (name.substr(0, name.size() - 5) + ".json"));
    simdjson::dom::element expected, got;
    ASSERT_FALSE(expected_parser.parse(expected_text).get(expected)) << name;
    ASSERT_FALSE(got_parser.parse(decoded.output).get(got)) << name << ": " << decoded.output;
    EXPECT_TRUE(same_tagged(expected, got)) << name << ": " << decoded.output;
  }
}

std::string decoded(std::string_view text) {
  text::Fault fault;
  const auto document = TomlDocument::read(text, fault);
  if (!document) {
    const text::TextPosition at = text::position_of(text, fault.offset);
    return "fault " + std::to_string(at.line) + ":" + std::to_string(at.column) + " " + fault.detail;
  }
  return testing_support::tagged_json(*document);
}

// The first fault in text order: its code, and its line and column (in
// characters) with its detail.
TEST(TomlDocument, FaultsNameTheirPosition) {
  using text::FaultCode;
  const struct {
    std::string_view text;
    FaultCode code;
    std::string_view expected;
  } kCases[] = {
      {"a = 1\na = 2\n", FaultCode::toml_redefinition, "fault 2:1 duplicate key `a`"},
      {"[t]\nx = 1\n[t]\n", FaultCode::toml_redefinition, "fault 3:2 table `t` defined twice"},
      {"é = 1", FaultCode::toml_syntax, "fault 1:1 invalid key"},
      {"k = \"é\x01\"", FaultCode::toml_syntax, "fault 1:7 control character not allowed here"},
      {"k = 1979-02-29", FaultCode::toml_syntax, "fault 1:5 invalid value"},
      {"k = [1, 2", FaultCode::toml_syntax, "fault 1:10 unterminated array"},
      {"t = {a = 1}\nt.b = 2", FaultCode::toml_redefinition, "fault 2:1 cannot add keys to `t`, defined before"},
      {"a = \"\\q\"", FaultCode::toml_syntax, "fault 1:6 invalid escape"},
      {"a = 1 b = 2", FaultCode::toml_syntax, "fault 1:7 expected the end of the line"},
      {"[a]\nb.c = 1\n[a.b]\n", FaultCode::toml_redefinition, "fault 3:4 table `b` defined twice"},
      {"a = 1\n[a.b]\n", FaultCode::toml_redefinition, "fault 2:2 `a` is not a table that can be extended"},
      {"a = 1\n[[a]]\n", FaultCode::toml_redefinition, "fault 2:3 `a` is not an array of tables"},
      {"k = \"a\xff\"", FaultCode::not_utf8, "fault 1:7 invalid UTF-8"},
      {"k = 1 # \xc3\x28", FaultCode::not_utf8, "fault 1:9 invalid UTF-8"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(decoded(c.text), c.expected) << c.text;
    text::Fault fault;
    EXPECT_FALSE(TomlDocument::read(c.text, fault).has_value()) << c.text;
    EXPECT_EQ(fault.code, c.code) << c.text;
  }
}

// Line ends inside multi-line strings read as line feeds, however written;
// everything else of a string stays as written.
TEST(TomlDocument, MultiLineStringsReadLineEndsAsLineFeeds) {
  const struct {
    std::string_view text, expected;
  } kCases[] = {
      {"s = \"\"\"\r\na\r\nb\"\"\"", R"({"s":{"type":"string","value":"a\nb"}})"},
      {"s = '''a\r\nb\r\n'''", R"({"s":{"type":"string","value":"a\nb\n"}})"},
      {"s = \"\"\"a\\\r\n  \r\n  b\\u00e9\r\n\"\"\"", R"({"s":{"type":"string","value":"abé\n"}})"},
      {"s = \"a\\r\\nb\"", R"({"s":{"type":"string","value":"a\r\nb"}})"},
  };
  for (const auto& c : kCases) EXPECT_EQ(decoded(c.text), c.expected) << c.text;
}

std::string repeated(std::string_view part, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += part;
  return out;
}

// Valid documents that fixed buffers or recursion would refuse, each with
// what it decodes to.
TEST(TomlDocument, ReadsLongLiteralsAndDeepNesting) {
  const std::string long_float = "x = 1." + repeated("0", 300) + "1e-2\n";
  EXPECT_EQ(decoded(long_float), R"({"x":{"type":"float","value":"0.01"}})");
  const std::string long_fraction = "t = 07:32:00." + repeated("9", 100) + "\n";
  EXPECT_EQ(decoded(long_fraction),
            "{\"t\":{\"type\":\"time-local\",\"value\":\"07:32:00." + repeated("9", 100) + "\"}}");
  EXPECT_EQ(decoded("big = 1e400\nsmall = -1e-400\n"),
            R"({"big":{"type":"float","value":"inf"},"small":{"type":"float","value":"-0"}})");

  for (const std::size_t depth : {257u, 100000u}) {
    const std::string arrays = "a = " + repeated("[", depth) + repeated("]", depth) + "\n";
    EXPECT_EQ(decoded(arrays), "{\"a\":" + repeated("[", depth) + repeated("]", depth) + "}") << depth;
    const std::string tables = "a = " + repeated("{b=", depth) + "1" + repeated("}", depth) + "\n";
    EXPECT_EQ(decoded(tables),
              "{\"a\":" + repeated("{\"b\":", depth) + R"({"type":"integer","value":"1"})" + repeated("}", depth + 1))
        << depth;
    const std::string header = "[" + repeated("k.", depth) + "k]\n";
    EXPECT_EQ(decoded(header), repeated("{\"k\":", depth + 1) + "{}" + repeated("}", depth + 1)) << depth;
  }
}

}  // namespace
}  // namespace zorv::toml
