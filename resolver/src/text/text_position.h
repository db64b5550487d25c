// Text positions: the line and column of a byte offset into a text, for
// messages and findings that point at a place a person can find in an
// editor. Lines are counted by line feed; a column counts characters (UTF-8
// sequences), not bytes.
//
// Pure; TextPositions borrows its text and must not outlive it. Safe to read
// from many threads at once.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace zorv::text {

// Line and column of a byte offset, both from 1; the column counts
// characters (UTF-8 sequences), not bytes.
struct TextPosition {
  std::size_t line = 1;
  std::size_t column = 1;
};
TextPosition position_of(std::string_view text, std::size_t offset);

// The same for many offsets into one text, in any order. Lines are found by
// binary search over the line starts, and characters are counted from
// checkpoints every kStride bytes, so each position costs a logarithm and at
// most two strides of counting, however long its line: positions in a text
// of one long line cost no more than in a text of many short ones.
class TextPositions {
 public:
  explicit TextPositions(std::string_view text);
  TextPosition at(std::size_t offset) const;

 private:
  static constexpr std::size_t kStride = 64;

  // Characters (UTF-8 sequences started) in text_[0, offset).
  std::size_t characters_before(std::size_t offset) const;

  std::string_view text_;
  std::vector<std::size_t> line_starts_;
  std::vector<std::size_t> checkpoints_;  // characters_before(i * kStride)
};

}  // namespace zorv::text
