#include "core/toml_guard.h"

#include <algorithm>
#include <vector>

namespace zorv {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// One pass over the text that tracks just enough TOML structure to know where
// a statement starts, which dots separate key parts and how deep the tree
// being built can be. Its depth is an upper bound of the parser's: a table
// header part counts twice (it may be an array of tables, which adds a level),
// an open array one, an open inline table one plus its current key's parts.
// On a text that is not TOML the scan may go astray past the first fault;
// that is harmless, as the parser builds nothing past it either, and up to it
// the text is TOML, which the scan follows exactly.
class Scan {
 public:
  explicit Scan(std::string_view text) : text_(text) {}

  bool run() {
    if (text_.starts_with(kByteOrderMark)) pos_ = kByteOrderMark.size();
    if (!statement()) return false;
    while (pos_ < text_.size()) {
      switch (text_[pos_]) {
        case '"':
        case '\'':
          skip_string();
          continue;
        case '#':
          skip_comment();
          continue;
        case '\n':
          ++pos_;
          if (open_.empty() && !statement()) return false;
          continue;
        case '.':
          if (!in_key()) break;
          if (!open_.empty()) ++open_.back().key_parts;
          if (!deeper(1)) return false;
          break;
        case '=':
          if (open_.empty()) top_key_ = false;
          else open_.back().in_key = false;
          break;
        case ',':
          if (!open_.empty() && open_.back().inline_table) {
            Open& table = open_.back();
            depth_ -= table.key_parts - 1;
            table.key_parts = 1;
            table.in_key = true;
          }
          break;
        case '[':
          open_.push_back({.inline_table = false, .in_key = false, .key_parts = 0});
          if (!deeper(1)) return false;
          break;
        case '{':
          open_.push_back({.inline_table = true, .in_key = true, .key_parts = 1});
          if (!deeper(2)) return false;
          break;
        case ']':
        case '}':
          if (!open_.empty()) {
            depth_ -= 1 + open_.back().key_parts;
            open_.pop_back();
          }
          break;
        default:
          break;
      }
      ++pos_;
    }
    return true;
  }

 private:
  // An array or inline table of the value being read.
  struct Open {
    bool inline_table;
    bool in_key;  // an inline table before the '=' of its current member
    std::size_t key_parts;
  };

  bool deeper(std::size_t levels) {
    depth_ += levels;
    return depth_ <= kMaxTomlNesting;
  }

  bool in_key() const {
    return open_.empty() ? top_key_ : open_.back().inline_table && open_.back().in_key;
  }

  // At the start of a line outside any value: a table header, or a key.
  bool statement() {
    depth_ = header_depth_;
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '[') return header();
    top_key_ = true;
    return deeper(1);
  }

  // A header names its table from the root, so it sets the depth afresh.
  bool header() {
    std::size_t parts = 1;
    while (pos_ < text_.size() && text_[pos_] != ']' && text_[pos_] != '\n') {
      if (text_[pos_] == '"' || text_[pos_] == '\'') {
        skip_string();
        continue;
      }
      if (text_[pos_] == '.') ++parts;
      ++pos_;
    }
    top_key_ = false;
    header_depth_ = 2 * parts;
    depth_ = header_depth_;
    return depth_ <= kMaxTomlNesting;
  }

  // Leaves pos_ just past the closing quote(s), or at the line break that
  // ends an unterminated one-line string.
  void skip_string() {
    const char quote = text_[pos_];
    const bool escapes = quote == '"';
    const std::string_view triple = escapes ? R"(""")" : "'''";
    if (text_.substr(pos_, 3) == triple) {
      pos_ += 3;
      while (pos_ < text_.size()) {
        if (escapes && text_[pos_] == '\\') {
          pos_ += 2;
          continue;
        }
        if (text_[pos_] != quote) {
          ++pos_;
          continue;
        }
        // Up to two quotes may end the content right before the closing three.
        const std::size_t run_end = std::min(text_.find_first_not_of(quote, pos_), text_.size());
        const std::size_t run = run_end - pos_;
        pos_ = run_end;
        if (run >= 3) return;
      }
    } else {
      ++pos_;
      while (pos_ < text_.size() && text_[pos_] != quote && text_[pos_] != '\n') {
        pos_ += escapes && text_[pos_] == '\\' ? 2 : 1;
      }
      if (pos_ < text_.size() && text_[pos_] == quote) ++pos_;
    }
    pos_ = std::min(pos_, text_.size());
  }

  void skip_comment() {
    while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t header_depth_ = 0;  // of the table the latest header opened
  std::size_t depth_ = 0;
  bool top_key_ = false;  // in the key of a key/value line of a table
  std::vector<Open> open_;
};

}  // namespace

bool within_toml_nesting_limit(std::string_view text) { return Scan(text).run(); }

}  // namespace zorv
