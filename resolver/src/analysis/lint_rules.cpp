#include "analysis/lint_rules.h"

#include <array>

namespace zorv {
namespace {

using enum LintSeverity;

constexpr std::array<LintRule, 14> kRules = {{
    {lint_rule::toml_syntax, error, "Text that is not valid TOML 1.0: the pack is malformed.",
     "text that is not valid TOML 1.0, at the reader's fault position, with its description",
     "The pack is not a TOML 1.0 document, so the resolver cannot read it and every query for it gets the whole "
     "universe. The finding points where the reader stopped and says why; mend the text there.",
     "lint-toml-syntax"},
    {lint_rule::missing_meta, error, "No `meta` table: the pack is malformed.", "no `meta` table (at 1:1)",
     "Every pack needs a `meta` table, even an empty one; without it the pack is malformed and every query for it "
     "gets the whole universe. Add `[meta]`.",
     "lint-missing-meta"},
    {lint_rule::wrong_type, error, "A vocabulary key with the wrong TOML type: the pack is malformed.",
     "a vocabulary key with the wrong TOML type, at the value (for `controls`, which element)",
     "A key the pack format defines holds a value of another TOML type (a bare date for a bound, a number in a "
     "`controls` list, a string where a table belongs), so the whole pack is malformed. Write the value in the type "
     "the pack key table gives.",
     "lint-wrong-type"},
    {lint_rule::empty_window, error, "`effective_from` sorts after `effective_until`: every dated query falls back.",
     "`effective_from` sorts after `effective_until`: every dated query falls back",
     "The validity window is empty: no `as_of` can fall inside it, so every query that gives one falls back to the "
     "whole universe. Swap or correct the bounds.",
     "lint-empty-window"},
    {lint_rule::unknown_key, warning, "A key outside the pack vocabulary: the resolver ignores it.",
     "a key outside the vocabulary at the top level, in `meta`, in `legal_review` or in a control list; suggests "
     "the vocabulary key within two edits or equal ignoring case",
     "The resolver ignores keys it does not know, so a misspelt key (`control` for `controls`) silently does "
     "nothing, and the answer usually requires less than the pack means. Use the suggested key, or remove it.",
     "lint-unknown-key"},
    {lint_rule::nested_subject_table, warning,
     "A table inside a subject entry (`[subject.pii.health]`): ignored, not a subject of its own.",
     "a table inside a subject entry (`[subject.pii.health]`): ignored; suggests `[subject.\"pii.health\"]`",
     "A dotted header makes a table inside a subject's entry, not a subject whose name has a dot; the resolver "
     "ignores it. Quote the name to make it one subject: `[subject.\"pii.health\"]`.",
     "lint-nested-subject-table"},
    {lint_rule::unrecognised_strictness, warning,
     "`meta.strictness` that is none of the three dials: it resolves like `aggressive`.",
     "`meta.strictness` that is none of the three names: resolves like aggressive; suggests the close name",
     "Dial names are matched exactly; any other text is an unrecognised dial that resolves like `aggressive` (the "
     "whole universe) and is reported as written. Use `aggressive`, `as_configured` or `minimal`.",
     "lint-unrecognised-strictness"},
    {lint_rule::minimal_without_floor, warning,
     "`minimal` with no or an empty `legally_required`: every query without an override falls back.",
     "`strictness = \"minimal\"` with `legally_required` absent or empty",
     "Under `minimal` the answer is the legal floor; with no floor to keep, every query without an override falls "
     "back to the whole universe. List the floor's controls, or choose another dial.",
     "lint-minimal-without-floor"},
    {lint_rule::bound_format, warning,
     "A bound that is not an ISO 8601 date or RFC 3339 date-time, or two bounds in different forms.",
     "a bound that is neither an ISO 8601 date nor an RFC 3339 date-time, or two bounds in different forms",
     "Bounds are compared with `as_of` as text, byte by byte, never as dates, so a bound in another form (or two "
     "bounds in different forms) may not mean the date intended. Write both in the form your callers use for "
     "`as_of`.",
     "lint-bound-format"},
    {lint_rule::prohibited_overlap, warning,
     "A prohibited control that the legal floor or a subject list also names: removed from those answers.",
     "a prohibited control that the legal floor or a subject list also names",
     "Prohibited controls are removed from every answer that is not a fall-back, even where the floor or a "
     "subject's list asks for them, so the answer requires less than that list says. Remove the control from one "
     "of the two.",
     "lint-prohibited-overlap"},
    {lint_rule::duplicate_control, warning, "A control repeated within one `controls` list.",
     "a control repeated within one `controls` list",
     "Control lists are sets, so a repeat changes nothing; it is usually a slip for another control that was meant. "
     "Remove the repeat, or write the control intended.",
     "lint-duplicate-control"},
    {lint_rule::missing_controls, warning,
     "A subject entry or `legally_required` with no `controls` key: it requires nothing.",
     "a subject entry or `legally_required` with no `controls` key",
     "A list without a `controls` key reads as empty: `as_configured` then requires nothing for that subject, and "
     "`minimal` falls back as if there were no floor. Add the `controls` key, or `controls = []` if nothing is "
     "meant.",
     "lint-missing-controls"},
    {lint_rule::pack_name, warning,
     "A `.toml` file whose path is not `<profile>/<domain>.zorv.toml` or `<profile>/<domain>.toml`: never looked "
     "up.",
     "(folders) a `.toml` file not inside a profile folder: no query looks it up",
     "Packs are looked up by `<profile>/<domain>.zorv.toml`, then `<profile>/<domain>.toml`, under the folder; a "
     "file elsewhere is never read. Move it into its profile's folder.",
     "lint-pack-name"},
    {lint_rule::shadowed_pack, warning, "Both `X.zorv.toml` and `X.toml`: the second is never read.",
     "(folders) both `X.zorv.toml` and `X.toml`: the second is never read",
     "When both names exist the `.zorv.toml` pack answers and the `.toml` one is never read, so edits to it change "
     "nothing. Keep one of the two.",
     "lint-shadowed-pack"},
}};

}  // namespace

std::span<const LintRule> lint_rules() { return kRules; }

}  // namespace zorv
