// The JSON form of a pack's lint findings, and of the rule table.
#pragma once

#include <string>
#include <string_view>

namespace zorv::wire {

// A JSON array of findings in text order, each an object with "line",
// "column", "end_line", "end_column" (from 1, columns in characters; the end
// is just past the range, which lies inside the text: a point finding covers
// the character it is at, or nothing at a line's or the text's end), "severity" ("error" or "warning"), "rule",
// "message" and "suggestion" (text or null).
std::string lint_json(std::string_view pack_text);

// A JSON array of the registered rules, folder rules included, each with
// "id", "severity", "description" (one line), "finds" (the README table's
// cell), "doc" (a paragraph) and "anchor" (of its README row, without "#").
std::string lint_rules_json();

}  // namespace zorv::wire
