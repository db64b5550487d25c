#include "json/json_array_elements.h"

#include <cstring>

namespace zorv::json {
namespace {

bool is_whitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::size_t skip_whitespace(std::string_view text, std::size_t at) {
  while (at < text.size() && is_whitespace(text[at])) ++at;
  return at;
}

// The offset just past the string whose opening quote is at `at`, or npos.
// A quote ends the string unless an odd number of backslashes precedes it.
std::size_t string_end(std::string_view text, std::size_t at) {
  const std::size_t open = at;
  for (++at; at < text.size(); ++at) {
    const void* quote = std::memchr(text.data() + at, '"', text.size() - at);
    if (quote == nullptr) return std::string_view::npos;
    at = static_cast<std::size_t>(static_cast<const char*>(quote) - text.data());
    std::size_t backslashes = 0;
    while (at - backslashes - 1 > open && text[at - backslashes - 1] == '\\') ++backslashes;
    if (backslashes % 2 == 0) return at + 1;
  }
  return std::string_view::npos;
}

}  // namespace

std::optional<ArrayElements> array_elements(std::string_view text) {
  ArrayElements found;
  std::size_t at = skip_whitespace(text, 0);
  if (at >= text.size() || text[at] != '[') return std::nullopt;
  at = skip_whitespace(text, at + 1);
  if (at < text.size() && text[at] == ']') {
    if (skip_whitespace(text, at + 1) != text.size()) return std::nullopt;
    return found;
  }
  while (true) {
    const std::size_t begin = at;
    int depth = 0;
    // The element runs to the first "," or "]" outside any string or
    // bracket; whitespace inside it is kept, and trimmed from its end.
    while (at < text.size()) {
      const char c = text[at];
      if (c == '"') {
        at = string_end(text, at);
        if (at == std::string_view::npos) return std::nullopt;
        continue;
      }
      if (c == '[' || c == '{') {
        if (++depth > found.deepest) found.deepest = depth;
      } else if (c == ']' || c == '}') {
        if (depth == 0) break;
        --depth;
      } else if (c == ',' && depth == 0) {
        break;
      }
      ++at;
    }
    if (at >= text.size() || depth != 0) return std::nullopt;
    std::size_t end = at;
    while (end > begin && is_whitespace(text[end - 1])) --end;
    if (end == begin) return std::nullopt;
    found.elements.push_back(text.substr(begin, end - begin));
    if (text[at] == ',') {
      at = skip_whitespace(text, at + 1);
      continue;
    }
    if (text[at] != ']') return std::nullopt;
    if (skip_whitespace(text, at + 1) != text.size()) return std::nullopt;
    return found;
  }
}

}  // namespace zorv::json
