// Many positions in one text against the one-at-a-time count, over texts
// whose lines and multi-byte characters straddle the index's checkpoints.
#include "text/text_position.h"

#include <gtest/gtest.h>

#include <string>

namespace zorv::text {
namespace {

TEST(TextPositions, AgreeWithCountingFromTheStartAtEveryOffset) {
  const std::string long_line(300, 'a');
  const std::string wide = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // 2, 3 and 4 bytes
  std::string many_wide;
  for (int i = 0; i < 40; ++i) many_wide += wide;
  const std::string texts[] = {
      "",
      "\n",
      "a\nb\r\nc",
      long_line,
      long_line + "\n" + long_line,
      many_wide + "\n" + many_wide + "x",
      "\n\n" + many_wide + long_line + "\n",
  };
  for (const std::string& text : texts) {
    const TextPositions positions(text);
    for (std::size_t offset = 0; offset <= text.size() + 1; ++offset) {
      const TextPosition expected = position_of(text, offset);
      const TextPosition found = positions.at(offset);
      ASSERT_EQ(found.line, expected.line) << "offset " << offset << " of a text of " << text.size() << " bytes";
      ASSERT_EQ(found.column, expected.column) << "offset " << offset << " of a text of " << text.size() << " bytes";
    }
  }
}

}  // namespace
}  // namespace zorv::text
