// Lint of one pack text: the mistakes that make a pack malformed (errors)
// and the ones that leave it readable but probably not meaning what it
// says (warnings), each with the byte range it is about.
//
// A pack has an error finding exactly when the resolver reads it as
// malformed, or when its window is empty (every dated query falls back).
// Pure: no I/O, no state; safe to call from many threads at once.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/lint_rules.h"

namespace zorv {

struct LintFinding {
  std::size_t offset = 0;  // where the range starts
  std::size_t end = 0;     // just past it
  LintSeverity severity = LintSeverity::warning;
  std::string_view rule;  // one of lint_rule (lint_rules.h)
  std::string message;
  std::optional<std::string> suggestion;
};

// The findings in text order of their ranges.
std::vector<LintFinding> lint_pack(std::string_view pack_text);

}  // namespace zorv
