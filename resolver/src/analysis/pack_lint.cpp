#include "analysis/pack_lint.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <set>
#include <span>

#include "pack/pack_vocabulary.h"
#include "pack/policy_pack.h"
#include "toml/toml_document.h"

namespace zorv {
namespace {

using toml::Kind;
using toml::Member;
using toml::Node;
using toml::TomlDocument;

using pack_vocabulary::PackKey;

constexpr std::array<std::string_view, 3> kDials = {"aggressive", "as_configured", "minimal"};

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The vocabulary word `key` was probably meant to be: equal ignoring case,
// or within `distance` edits; the closest wins, the first on a tie.
std::optional<std::string_view> closest(std::string_view key, std::span<const std::string_view> words,
                                        std::size_t distance) {
  std::optional<std::string_view> best;
  std::size_t best_distance = distance + 1;
  for (const std::string_view word : words) {
    const std::size_t d = equal_ignoring_case(key, word) ? 0 : edit_distance(key, word);
    if (d < best_distance) {
      best = word;
      best_distance = d;
    }
  }
  return best;
}

bool digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return false;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

int number(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

bool iso_date(std::string_view text) {
  if (text.size() < 10 || !digits(text, 0, 4) || text[4] != '-' || !digits(text, 5, 2) || text[7] != '-' ||
      !digits(text, 8, 2)) {
    return false;
  }
  const int month = number(text, 5, 2), day = number(text, 8, 2);
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

enum class BoundForm { date, date_time, other };

// "YYYY-MM-DD", or an RFC 3339 date-time: date "T" HH:MM:SS[.frac] ("Z" | ±HH:MM).
BoundForm bound_form(std::string_view text) {
  if (!iso_date(text)) return BoundForm::other;
  if (text.size() == 10) return BoundForm::date;
  if ((text[10] != 'T' && text[10] != 't') || !digits(text, 11, 2) || text[13] != ':' || !digits(text, 14, 2) ||
      text.size() < 19 || text[16] != ':' || !digits(text, 17, 2)) {
    return BoundForm::other;
  }
  if (number(text, 11, 2) > 23 || number(text, 14, 2) > 59 || number(text, 17, 2) > 60) return BoundForm::other;
  std::size_t at = 19;
  if (at < text.size() && text[at] == '.') {
    const std::size_t start = ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == start) return BoundForm::other;
  }
  const std::string_view zone = text.substr(at);
  if (zone == "Z" || zone == "z") return BoundForm::date_time;
  if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && digits(zone, 1, 2) && zone[3] == ':' &&
      digits(zone, 4, 2) && number(zone, 1, 2) <= 23 && number(zone, 4, 2) <= 59) {
    return BoundForm::date_time;
  }
  return BoundForm::other;
}

std::string quoted(std::string_view text) { return "`" + std::string(text) + "`"; }

// A finding of `rule`, with the rule's severity from the registry.
LintFinding finding(std::size_t offset, std::size_t end, std::string_view rule, std::string message,
                    std::optional<std::string> suggestion) {
  LintSeverity severity = LintSeverity::warning;
  for (const LintRule& entry : lint_rules()) {
    if (entry.id == rule) severity = entry.severity;
  }
  return {offset, end, severity, rule, std::move(message), std::move(suggestion)};
}

class Linter {
 public:
  Linter(const TomlDocument& document, std::vector<LintFinding>& out) : document_(document), out_(out) {}

  void lint() {
    const Node& root = document_.root();
    unknown_keys(root, "the top level", "");
    const Member* meta = document_.find(root, "meta");
    if (meta == nullptr) {
      add(0, 0, lint_rule::missing_meta,
          "the pack has no `meta` table: the resolver reads it as malformed, so every query for it gets the whole "
          "universe");
    } else if (typed(document_.node(meta->node), pack_vocabulary::key("meta"), "meta")) {
      lint_meta(document_.node(meta->node));
    }
    if (const Member* subjects = document_.find(root, "subject")) {
      const Node& table_node = document_.node(subjects->node);
      if (typed(table_node, pack_vocabulary::key("subject"), "subject")) {
        for (const Member& entry : table_node.members) lint_subject(entry);
      }
    }
    const ListFacts floor = lint_optional_list(root, "legally_required", true);
    const ListFacts prohibited = lint_optional_list(root, "prohibited", false);
    lint_dial(floor);
    lint_overlaps(prohibited, floor);
  }

 private:
  // A control list as written: its controls with where each is first written.
  struct ListFacts {
    bool present = false;
    bool has_controls = false;
    std::map<std::string_view, const Node*> controls;
  };

  void add(std::size_t offset, std::size_t end, std::string_view rule, std::string message,
           std::optional<std::string> suggestion = std::nullopt) {
    out_.push_back(finding(offset, std::max(offset, end), rule, std::move(message), std::move(suggestion)));
  }

  void at_node(const Node& node, std::string_view rule, std::string message,
               std::optional<std::string> suggestion = std::nullopt) {
    add(node.offset, node.end, rule, std::move(message), std::move(suggestion));
  }

  // Whether `value` is of the kind `row` asks for; a wrong-type error at
  // the value when not. List elements are checked against `element` rows.
  bool typed(const Node& value, const PackKey& row, const std::string& path) {
    return typed(value, pack_vocabulary::toml_kind(row.kind), pack_vocabulary::expected_text(row.kind), path);
  }
  bool typed(const Node& value, Kind kind, std::string_view expected, const std::string& path) {
    if (value.kind == kind) return true;
    at_node(value, lint_rule::wrong_type,
            pack_vocabulary::wrong_type_detail(path, expected, value.kind) + ": the pack is malformed");
    return false;
  }

  // The keys of `table_node` that the vocabulary has no row for under
  // `parent`. Inside the entry of `subject`, a table is taken for a subject
  // meant to be of its own.
  void unknown_keys(const Node& table_node, std::string_view where, std::string_view parent,
                    const std::string& path_prefix = "", std::optional<std::string_view> subject = std::nullopt) {
    const std::span<const std::string_view> words = pack_vocabulary::names_under(parent);
    for (const Member& member : table_node.members) {
      if (std::find(words.begin(), words.end(), member.key) != words.end()) continue;
      if (subject && document_.node(member.node).kind == Kind::table) {
        const std::string nested = std::string(*subject) + "." + std::string(member.key);
        add(member.key_offset, member.key_end, lint_rule::nested_subject_table,
            quoted(path_prefix + key_path_part(member.key)) + " is a table inside subject " + quoted(*subject) +
                ", not a subject of its own: the resolver ignores it",
            "[subject." + key_path_part(nested) + "]");
        continue;
      }
      std::optional<std::string> suggestion;
      if (const auto word = closest(member.key, words, 2)) suggestion = "did you mean " + quoted(*word) + "?";
      add(member.key_offset, member.key_end, lint_rule::unknown_key,
          "unknown key " + quoted(path_prefix + key_path_part(member.key)) + " in " + std::string(where) +
              ": the resolver ignores it",
          std::move(suggestion));
    }
  }

  // The value of the string key at `path`, when present and a string.
  const Node* string_member(const Node& record, std::string_view path) {
    const PackKey& row = pack_vocabulary::key(path);
    const Member* member = document_.find(record, pack_vocabulary::name_of(row));
    if (member == nullptr) return nullptr;
    const Node& value = document_.node(member->node);
    return typed(value, row, std::string(path)) ? &value : nullptr;
  }

  void lint_meta(const Node& meta) {
    unknown_keys(meta, "`meta`", "meta", "meta.");
    strictness_ = string_member(meta, "meta.strictness");
    string_member(meta, "meta.last_reviewed_against_guidance");
    const Node* from = string_member(meta, "meta.effective_from");
    const Node* until = string_member(meta, "meta.effective_until");
    if (const Member* review = document_.find(meta, "legal_review")) {
      const Node& record = document_.node(review->node);
      if (typed(record, pack_vocabulary::key("meta.legal_review"), "meta.legal_review")) {
        unknown_keys(record, "`meta.legal_review`", "meta.legal_review", "meta.legal_review.");
        string_member(record, "meta.legal_review.status");
      }
    }
    if (strictness_ != nullptr && std::find(kDials.begin(), kDials.end(), strictness_->text) == kDials.end()) {
      std::optional<std::string> suggestion;
      std::string normal(strictness_->text);
      std::replace(normal.begin(), normal.end(), '-', '_');
      std::replace(normal.begin(), normal.end(), ' ', '_');
      if (const auto name = closest(normal, kDials, 3)) suggestion = "did you mean " + quoted(*name) + "?";
      at_node(*strictness_, lint_rule::unrecognised_strictness,
              "strictness " + quoted(strictness_->text) +
                  " is none of `aggressive`, `as_configured`, `minimal`: it resolves like `aggressive`",
              std::move(suggestion));
    }
    for (const Node* bound : {from, until}) {
      if (bound != nullptr && bound_form(bound->text) == BoundForm::other) {
        at_node(*bound, lint_rule::bound_format,
                "bound " + quoted(bound->text) +
                    " is neither an ISO 8601 date (YYYY-MM-DD) nor an RFC 3339 date-time: bounds are compared as "
                    "text, so it may not mean the date intended");
      }
    }
    if (from != nullptr && until != nullptr) {
      const BoundForm from_form = bound_form(from->text), until_form = bound_form(until->text);
      if (from_form != BoundForm::other && until_form != BoundForm::other && from_form != until_form) {
        // What goes wrong, shown with the pack's own bounds: a date-time
        // sorts after the date it falls on.
        const std::string_view date_time = from_form == BoundForm::date_time ? from->text : until->text;
        at_node(*until, lint_rule::bound_format,
                "the bounds are written in different forms (a date and a date-time): compared as text, " +
                    quoted(date_time) + " sorts after " + quoted(date_time.substr(0, 10)));
      }
      if (from->text > until->text) {
        at_node(*from, lint_rule::empty_window,
                "effective_from " + quoted(from->text) + " sorts after effective_until " + quoted(until->text) +
                    ": every query with an `as_of` falls back to the whole universe");
      }
    }
  }

  // A subject entry, `legally_required` or `prohibited`.
  // `subject` names the subject when the list is a subject entry.
  ListFacts lint_list(const Node& record, const std::string& path, std::optional<std::string_view> subject,
                      bool warn_missing) {
    ListFacts facts;
    facts.present = true;
    const PackKey& row = pack_vocabulary::key(subject ? "subject.<name>" : path);
    if (!typed(record, row, path)) return facts;
    unknown_keys(record, quoted(path), row.path, path + ".", subject);
    const Member* controls = document_.find(record, "controls");
    if (controls == nullptr) {
      if (warn_missing) {
        at_node(record, lint_rule::missing_controls,
                quoted(path) + " has no `controls` key: it reads as an empty list, so it requires nothing");
      }
      return facts;
    }
    facts.has_controls = true;
    const Node& list = document_.node(controls->node);
    if (!typed(list, pack_vocabulary::key(std::string(row.path) + ".controls"), path + ".controls")) return facts;
    for (std::size_t i = 0; i < list.elements.size(); ++i) {
      const Node& element = document_.node(list.elements[i]);
      if (element.kind != Kind::string) {
        typed(element, Kind::string, "a string", path + ".controls[" + std::to_string(i) + "]");
        continue;
      }
      if (!facts.controls.emplace(element.text, &element).second) {
        at_node(element, lint_rule::duplicate_control,
                "control " + quoted(element.text) + " is listed twice in " + quoted(path + ".controls"));
      }
    }
    return facts;
  }

  void lint_subject(const Member& entry) {
    const std::string path = "subject." + key_path_part(entry.key);
    subject_lists_.emplace_back(path, lint_list(document_.node(entry.node), path, entry.key, true));
  }

  ListFacts lint_optional_list(const Node& root, std::string_view key, bool warn_missing) {
    const Member* member = document_.find(root, key);
    if (member == nullptr) return {};
    return lint_list(document_.node(member->node), std::string(key), std::nullopt, warn_missing);
  }

  void lint_dial(const ListFacts& floor) {
    if (strictness_ == nullptr || strictness_->text != "minimal") return;
    if (!floor.present || floor.controls.empty()) {
      at_node(*strictness_, lint_rule::minimal_without_floor,
              std::string(floor.present ? "`legally_required` lists no controls"
                                        : "the pack has no `legally_required` table") +
                  ": under `minimal` every query without an override falls back to the whole universe");
    }
  }

  // Each list is walked once and its controls looked up among the
  // prohibited ones, so the cost grows with the lists' total length, not
  // with prohibited controls times subjects.
  void lint_overlaps(const ListFacts& prohibited, const ListFacts& floor) {
    if (prohibited.controls.empty()) return;
    std::map<std::string_view, std::vector<std::string>> listed_in;  // by prohibited control
    const auto note = [&](const ListFacts& list, const std::string& name) {
      for (const auto& entry : list.controls) {
        if (prohibited.controls.count(entry.first)) listed_in[entry.first].push_back(name);
      }
    };
    note(floor, "`legally_required`");
    for (const auto& [path, facts] : subject_lists_) note(facts, quoted(path));
    for (const auto& [control, where] : listed_in) {
      std::string names = where[0];
      for (std::size_t i = 1; i < where.size(); ++i) names += (i + 1 == where.size() ? " and " : ", ") + where[i];
      at_node(*prohibited.controls.at(control), lint_rule::prohibited_overlap,
              "prohibited control " + quoted(control) + " is also listed in " + names +
                  ": it is removed from those answers");
    }
  }

  const TomlDocument& document_;
  std::vector<LintFinding>& out_;
  const Node* strictness_ = nullptr;
  std::vector<std::pair<std::string, ListFacts>> subject_lists_;
};

}  // namespace

std::vector<LintFinding> lint_pack(std::string_view pack_text) {
  std::vector<LintFinding> findings;
  text::Fault fault;
  const std::optional<TomlDocument> document = TomlDocument::read(pack_text, fault);
  if (!document) {
    findings.push_back(finding(fault.offset, fault.offset, lint_rule::toml_syntax,
                               fault.detail + ": the pack is not TOML 1.0, so the resolver reads it as malformed",
                               std::nullopt));
    return findings;
  }
  Linter(*document, findings).lint();
  std::stable_sort(findings.begin(), findings.end(),
                   [](const LintFinding& a, const LintFinding& b) { return a.offset < b.offset; });
  return findings;
}

}  // namespace zorv
