#include "text/text_position.h"

#include <algorithm>

namespace zorv::text {

TextPositions::TextPositions(std::string_view text) : text_(text) {
  line_starts_.push_back(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') line_starts_.push_back(i + 1);
  }
}

TextPosition TextPositions::at(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const auto next_line = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
  const std::size_t line_start = *(next_line - 1);
  TextPosition position{static_cast<std::size_t>(next_line - line_starts_.begin()), 1};
  for (std::size_t i = line_start; i < offset; ++i) {
    if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) ++position.column;
  }
  return position;
}

TextPosition position_of(std::string_view text, std::size_t offset) {
  TextPosition position;
  offset = std::min(offset, text.size());
  for (std::size_t i = 0; i < offset; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++position.line;
      position.column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++position.column;
    }
  }
  return position;
}

}  // namespace zorv::text
