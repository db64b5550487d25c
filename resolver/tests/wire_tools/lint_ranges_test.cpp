// Every finding's range lies inside the text: a point finding covers the
// character it is at, or nothing at the end of a line or of the text.
#include <gtest/gtest.h>

#include <string>

#include "wire_tools/lint_json.h"

namespace zorv::wire {
namespace {

// The "line", "column", "end_line" and "end_column" members of the first
// finding, as written.
std::string first_range(const std::string& json) {
  const std::size_t start = json.find(R"("line":)");
  const std::size_t end = json.find(R"(,"severity")");
  if (start == std::string::npos || end == std::string::npos) return "no finding in " + json;
  return json.substr(start, end - start);
}

TEST(LintRanges, StayInsideTheText) {
  const struct {
    const char* what;
    std::string text;
    std::string expected;
  } rows[] = {
      {"an empty text: empty at its end", "", R"("line":1,"column":1,"end_line":1,"end_column":1)"},
      {"a point on a character covers it", "[subject.card]\n", R"("line":1,"column":1,"end_line":1,"end_column":2)"},
      {"a point at a line end (LF) is empty", "[meta]\nstrictness = \"a\n",
       R"("line":2,"column":16,"end_line":2,"end_column":16)"},
      {"a point at a line end (CRLF) is empty", "[meta]\r\nstrictness = \"a\r\n",
       R"("line":2,"column":16,"end_line":2,"end_column":16)"},
      {"a point at the end of the text is empty",
       "[meta]\nstrictness = ", R"("line":2,"column":14,"end_line":2,"end_column":14)"},
      {"a point on a multi-byte character covers that character", "[meta]\nx = \xC3\xA9",
       R"("line":2,"column":5,"end_line":2,"end_column":6)"},
  };
  for (const auto& row : rows) EXPECT_EQ(first_range(lint_json(row.text)), row.expected) << row.what;
}

}  // namespace
}  // namespace zorv::wire
