// Finding the elements of a JSON array without reading them: where each
// element's text begins and ends, found by tracking only strings and
// brackets. What lets a batch hand its elements to several readers at once.
//
// Nothing is validated beyond the array's own frame: an element may still
// be any text between two commas. A caller reads each element with a real
// reader and treats any doubt (nullopt here, or an element it cannot read)
// by reading the whole text the ordinary way, so that faults are reported
// exactly as a single reader reports them. Pure; never fails.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace zorv::json {

struct ArrayElements {
  std::vector<std::string_view> elements;  // views into the text, trimmed
  int deepest = 0;                         // the deepest nesting inside any element, the array not counted
};

// The elements of `text` when it is, at its top level, whitespace, "[",
// elements separated by ",", "]", whitespace; nullopt otherwise.
std::optional<ArrayElements> array_elements(std::string_view text);

// Where an element of an array of objects may begin after `from`: the
// first "{" that follows a "," and whitespace, all after `from`; npos when
// there is none. Inside a string that is only a guess, which a reader of
// what comes before it checks.
std::size_t element_start_after(std::string_view text, std::size_t from);

// Calls both functions, `other` on another thread where it can, and
// returns when both have returned.
using RunBoth = std::function<void(const std::function<void()>& other, const std::function<void()>& here)>;

// The same answer, the text scanned as two halves at once through
// `run_both`: the second from a guessed element start after the middle,
// kept only when the scan of the first half finds an element starting
// exactly there (else the text is scanned again as one).
std::optional<ArrayElements> array_elements(std::string_view text, const RunBoth& run_both);

}  // namespace zorv::json
