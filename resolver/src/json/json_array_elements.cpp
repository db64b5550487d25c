#include "json/json_array_elements.h"

#include <algorithm>
#include <cstring>
#include <functional>

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

// The elements from `at`, the first byte of an element, to the array's
// closing bracket and the end of the text: Scan::done, or Scan::declined
// where the frame is not an array's. With `stop`, the scan ends as
// Scan::stopped when an element begins exactly at `stop`, or as
// Scan::declined when one spans it or the array ends before it.
enum class Scan { done, stopped, declined };

Scan scan_elements(std::string_view text, std::size_t at, std::size_t stop, ArrayElements& found) {
  while (true) {
    if (at == stop) return Scan::stopped;
    if (at > stop) return Scan::declined;
    const std::size_t begin = at;
    int depth = 0;
    // The element runs to the first "," or "]" outside any string or
    // bracket; whitespace inside it is kept, and trimmed from its end.
    while (at < text.size()) {
      const char c = text[at];
      if (c == '"') {
        at = string_end(text, at);
        if (at == std::string_view::npos) return Scan::declined;
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
    if (at >= text.size() || depth != 0) return Scan::declined;
    std::size_t end = at;
    while (end > begin && is_whitespace(text[end - 1])) --end;
    if (end == begin) return Scan::declined;
    found.elements.push_back(text.substr(begin, end - begin));
    if (text[at] == ',') {
      at = skip_whitespace(text, at + 1);
      continue;
    }
    if (text[at] != ']') return Scan::declined;
    if (skip_whitespace(text, at + 1) != text.size()) return Scan::declined;
    return stop == std::string_view::npos ? Scan::done : Scan::declined;
  }
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
  if (scan_elements(text, at, std::string_view::npos, found) != Scan::done) return std::nullopt;
  return found;
}

std::size_t element_start_after(std::string_view text, std::size_t from) {
  for (std::size_t at = text.find('{', from); at != std::string_view::npos; at = text.find('{', at + 1)) {
    std::size_t before = at;
    while (before > from && is_whitespace(text[before - 1])) --before;
    if (before > from && text[before - 1] == ',') return at;
  }
  return std::string_view::npos;
}

std::optional<ArrayElements> array_elements(std::string_view text, const RunBoth& run_both) {
  // Where the second half would begin if an element began there: the first
  // "{" after the middle that follows a "," and whitespace. Inside a string
  // that is only a guess, which the scan of the first half checks.
  const std::size_t split = element_start_after(text, text.size() / 2);
  if (split == std::string_view::npos) return array_elements(text);
  ArrayElements first;
  ArrayElements second;
  Scan first_scan = Scan::declined;
  Scan second_scan = Scan::declined;
  run_both([&] { second_scan = scan_elements(text, split, std::string_view::npos, second); },
           [&] {
             std::size_t at = skip_whitespace(text, 0);
             if (at >= text.size() || text[at] != '[') return;
             at = skip_whitespace(text, at + 1);
             if (at < text.size() && text[at] == ']') return;
             first_scan = scan_elements(text, at, split, first);
           });
  if (first_scan != Scan::stopped) return array_elements(text);
  // An element really begins at the split, so the second half was scanned
  // from the state a single scan reaches there, and ends as it would.
  if (second_scan != Scan::done) return std::nullopt;
  first.deepest = std::max(first.deepest, second.deepest);
  first.elements.insert(first.elements.end(), second.elements.begin(), second.elements.end());
  return first;
}

}  // namespace zorv::json
