// The lint rules: one registry entry per rule, with its id, severity, the
// line the README's rule table shows, a paragraph of documentation and the
// README anchor it is documented under. Findings name their rule by the
// constants below, never by a literal, so a finding cannot carry a rule the
// registry does not know. The folder rules (`pack-name`, `shadowed-pack`)
// run in the companion package but are registered here all the same, so the
// documentation of every rule has one source.
//
// The registry is constant and lives for the whole program; safe to read
// from many threads at once.
#pragma once

#include <span>
#include <string_view>

namespace zorv {

enum class LintSeverity { error, warning };

namespace lint_rule {
inline constexpr std::string_view toml_syntax = "toml-syntax";
inline constexpr std::string_view missing_meta = "missing-meta";
inline constexpr std::string_view wrong_type = "wrong-type";
inline constexpr std::string_view empty_window = "empty-window";
inline constexpr std::string_view unknown_key = "unknown-key";
inline constexpr std::string_view nested_subject_table = "nested-subject-table";
inline constexpr std::string_view unrecognised_strictness = "unrecognised-strictness";
inline constexpr std::string_view minimal_without_floor = "minimal-without-floor";
inline constexpr std::string_view bound_format = "bound-format";
inline constexpr std::string_view prohibited_overlap = "prohibited-overlap";
inline constexpr std::string_view duplicate_control = "duplicate-control";
inline constexpr std::string_view missing_controls = "missing-controls";
inline constexpr std::string_view pack_name = "pack-name";
inline constexpr std::string_view shadowed_pack = "shadowed-pack";
}  // namespace lint_rule

struct LintRule {
  std::string_view id;
  LintSeverity severity;
  std::string_view description;  // one line: what it finds and what that does
  std::string_view finds;        // the README rule table's "finds" cell
  std::string_view doc;          // a paragraph: why it matters and how to mend it
  std::string_view anchor;       // the README anchor of its row, without "#"
};

// Every rule, in the README table's order: errors, then warnings, then the
// folder rules.
std::span<const LintRule> lint_rules();

}  // namespace zorv
