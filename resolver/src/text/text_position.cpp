#include "text/text_position.h"

#include <algorithm>

namespace zorv::text {

namespace {

bool starts_character(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

}  // namespace

TextPositions::TextPositions(std::string_view text) : text_(text) {
  line_starts_.push_back(0);
  checkpoints_.reserve(text.size() / kStride + 1);
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i % kStride == 0) checkpoints_.push_back(characters);
    if (text[i] == '\n') line_starts_.push_back(i + 1);
    if (starts_character(text[i])) ++characters;
  }
  checkpoints_.push_back(characters);  // covers an offset at the very end
}

std::size_t TextPositions::characters_before(std::size_t offset) const {
  const std::size_t checkpoint = offset / kStride;
  std::size_t characters = checkpoints_[checkpoint];
  for (std::size_t i = checkpoint * kStride; i < offset; ++i) {
    if (starts_character(text_[i])) ++characters;
  }
  return characters;
}

TextPosition TextPositions::at(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const auto next_line = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
  const std::size_t line_start = *(next_line - 1);
  return {static_cast<std::size_t>(next_line - line_starts_.begin()),
          1 + characters_before(offset) - characters_before(line_start)};
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
