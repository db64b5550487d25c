// JsonReader::read_array_piece: one piece of an array cut just before
// elements, for batches read by several threads while the rest of their
// text is still being made.
#include "json/json_reader.h"

namespace zorv::json {

bool JsonReader::read_array_piece(const std::function<bool()>& read_element, bool opens, bool& closes) {
  closes = false;
  if (!enter_nesting()) return false;
  skip_whitespace();
  if (opens) {
    if (at_end()) return fail_eof("a value");
    if (text_[pos_] != '[') return fail_syntax("expected `[`");
    ++pos_;
    skip_whitespace();
  }
  if (at_end()) return fail_eof("a list");
  if (text_[pos_] == ']') return fail_syntax("expected a value");
  while (true) {
    if (!read_element()) return false;
    skip_whitespace();
    if (at_end()) return fail_eof("a list");
    const char c = text_[pos_++];
    if (c == ']') {
      --depth_;
      closes = true;
      skip_whitespace();
      return at_end() || fail_syntax("trailing characters");
    }
    if (c != ',') return fail_syntax("expected `,` or `]`");
    skip_whitespace();
    if (at_end()) {
      --depth_;
      return true;
    }
    if (text_[pos_] == ']') return fail_syntax("trailing comma");
  }
}

}  // namespace zorv::json
