#include "pack/pack_vocabulary.h"

#include <array>
#include <vector>

namespace zorv::pack_vocabulary {
namespace {

constexpr std::array<std::string_view, 3> kDialExamples = {"aggressive", "as_configured", "minimal"};

constexpr std::string_view kListDetail = "The controls this list names. Absent: an empty list.";

const std::array<PackKey, 14> kKeys = {{
    {"meta",
     KeyKind::table,
     true,
     "none: required",
     "pack metadata",
     "Required. The pack's own dial, validity window and review record.",
     {}},
    {"meta.strictness", KeyKind::string, false, "no dial: `aggressive` applies unless the caller overrides",
     "the pack's own dial; any text other than the three names is an unrecognised dial that resolves like "
     "`aggressive`",
     "The pack's default dial: \"aggressive\" (the whole universe), \"as_configured\" (the subject's list) or "
     "\"minimal\" (the legal floor). Any other text resolves like \"aggressive\". A caller's override beats it.",
     kDialExamples},
    {"meta.last_reviewed_against_guidance",
     KeyKind::string,
     false,
     "absent (`null` in the provenance)",
     "free text, copied to `provenance.last_reviewed_against_guidance`",
     "Free text naming the guidance the pack was last reviewed against; echoed in provenance.",
     {}},
    {"meta.effective_from",
     KeyKind::string,
     false,
     "no lower bound",
     "first `as_of` (inclusive) the pack applies to",
     "Inclusive start of the validity window, compared with the query's as_of as text (bytes). Write an ISO 8601 "
     "date (YYYY-MM-DD) or an RFC 3339 date-time, the same form for both bounds. A TOML date (unquoted) makes the "
     "pack malformed.",
     {}},
    {"meta.effective_until",
     KeyKind::string,
     false,
     "no upper bound",
     "last `as_of` (inclusive) the pack applies to",
     "Inclusive end of the validity window, compared as text like effective_from.",
     {}},
    {"meta.legal_review", KeyKind::table, false, "absent", "the legal-review record", "The legal-review record.", {}},
    {"meta.legal_review.status",
     KeyKind::string,
     false,
     "absent (`null` in the provenance)",
     "free text, copied to `provenance.legal_review_status`",
     "Free text; echoed in provenance as legal_review_status.",
     {}},
    {"subject",
     KeyKind::table_of_tables,
     false,
     "no subjects",
     "one entry per subject name, each a control list",
     "Per subject, the controls it requires under as_configured. A subject with a dot in its name must be quoted: "
     "[subject.\"loyalty.points\"].",
     {}},
    {"subject.<name>",
     KeyKind::table,
     false,
     "",
     "",
     "One subject's entry: the controls it requires under as_configured.",
     {}},
    {"subject.<name>.controls",
     KeyKind::string_list,
     false,
     "`[]`",
     "the controls `as_configured` requires for that subject",
     kListDetail,
     {}},
    {"legally_required",
     KeyKind::table,
     false,
     "absent",
     "the legal floor",
     "The legal floor: the controls minimal keeps. Under minimal with no or an empty floor every query falls back.",
     {}},
    {"legally_required.controls",
     KeyKind::string_list,
     false,
     "`[]`",
     "the controls `minimal` requires",
     kListDetail,
     {}},
    {"prohibited",
     KeyKind::table,
     false,
     "absent",
     "controls removed from every answer that is not a fall-back",
     "Controls removed from every answer that is not a fall-back.",
     {}},
    {"prohibited.controls", KeyKind::string_list, false, "`[]`", "those controls", kListDetail, {}},
}};

std::string_view parent_of(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : path.substr(0, dot);
}

// The names under each table, built once from the rows.
struct Children {
  std::string_view parent;
  std::vector<std::string_view> names;
};

const std::vector<Children>& children() {
  static const std::vector<Children> all = [] {
    std::vector<Children> built;
    for (const PackKey& row : kKeys) {
      const std::string_view parent = parent_of(row.path);
      auto found = built.begin();
      while (found != built.end() && found->parent != parent) ++found;
      if (found == built.end()) found = built.insert(built.end(), Children{parent, {}});
      found->names.push_back(name_of(row));
    }
    return built;
  }();
  return all;
}

}  // namespace

std::span<const PackKey> keys() { return kKeys; }

const PackKey& key(std::string_view path) {
  for (const PackKey& row : kKeys) {
    if (row.path == path) return row;
  }
  // Every caller names a path of the table; reaching here is a typo in the
  // code, caught by the first test that reads a pack.
  return kKeys.front();
}

std::string_view name_of(const PackKey& key) {
  const std::size_t dot = key.path.rfind('.');
  return dot == std::string_view::npos ? key.path : key.path.substr(dot + 1);
}

std::span<const std::string_view> names_under(std::string_view parent) {
  for (const Children& entry : children()) {
    if (entry.parent == parent) return entry.names;
  }
  return {};
}

toml::Kind toml_kind(KeyKind kind) {
  switch (kind) {
    case KeyKind::table:
    case KeyKind::table_of_tables:
      return toml::Kind::table;
    case KeyKind::string:
      return toml::Kind::string;
    case KeyKind::string_list:
      break;
  }
  return toml::Kind::array;
}

std::string_view expected_text(KeyKind kind) {
  switch (toml_kind(kind)) {
    case toml::Kind::table:
      return "a table";
    case toml::Kind::string:
      return "a string";
    default:
      break;
  }
  return "an array";
}

std::string wrong_type_detail(std::string_view path, std::string_view expected, toml::Kind found) {
  return "`" + std::string(path) + "` must be " + std::string(expected) + ", found " +
         std::string(toml::kind_name(found));
}

}  // namespace zorv::pack_vocabulary
