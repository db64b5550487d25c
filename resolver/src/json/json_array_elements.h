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

}  // namespace zorv::json
