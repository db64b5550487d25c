#include "wire_tools/diff_json.h"

#include <optional>
#include <vector>

#include "analysis/pack_diff.h"
#include "json/json_writer.h"
#include "wire/pack_index.h"

namespace zorv::wire {
namespace {

// A version's pack map, decoded, and its keys.
struct PackMapVersion {
  PackMapLookup lookup;
  std::vector<std::string> keys;
};

Result<PackMapVersion> read_version(std::string_view packs_json, std::string_view name) {
  Result<PackIndex> index = PackIndex::read(packs_json);
  if (!index.ok()) {
    // "packs_json is not ..." becomes "old_packs_json is not ...".
    return ErrorMessage{std::string(name) + "_" + index.error().text};
  }
  PackMap packs = index.value().to_map();
  std::vector<std::string> keys;
  keys.reserve(packs.size());
  for (const auto& [key, text] : packs) keys.push_back(key);
  return PackMapVersion{PackMapLookup(std::move(packs)), std::move(keys)};
}

void append_optional(std::string& out, const std::optional<std::string>& text) {
  if (text) {
    json::append_string(out, *text);
  } else {
    out += "null";
  }
}

void append_bool(std::string& out, bool value) { out += value ? "true" : "false"; }

void append_keys(std::string& out, const std::vector<std::string_view>& keys) {
  out += '[';
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i > 0) out += ',';
    json::append_string(out, keys[i]);
  }
  out += ']';
}

void append_rule(std::string& out, const RequiredRule& rule) {
  out += rule.form == RequiredRule::Form::controls ? R"({"controls":)" : R"({"all_except":)";
  append_keys(out, rule.keys.keys());
  out += '}';
}

void append_answer(std::string& out, const PackAnswer& answer) {
  out += R"({"required":)";
  append_rule(out, answer.required);
  out += R"(,"source":)";
  json::append_string(out, answer.source);
  out += R"(,"strictness":)";
  json::append_string(out, answer.strictness.text_form());
  out += R"(,"fell_back":)";
  append_bool(out, answer.fell_back);
  out += R"(,"legal_review_status":)";
  append_optional(out, answer.legal_review_status);
  out += R"(,"last_reviewed_against_guidance":)";
  append_optional(out, answer.last_reviewed_against_guidance);
  out += '}';
}

void append_as_of(std::string& out, const PackChange& change) {
  if (change.every_as_of) {
    out += "null";
    return;
  }
  out += R"({"without_date":)";
  append_bool(out, change.without_date);
  out += R"(,"ranges":[)";
  for (std::size_t i = 0; i < change.ranges.size(); ++i) {
    const AsOfRange& range = change.ranges[i];
    if (i > 0) out += ',';
    out += R"({"from":)";
    append_optional(out, range.from);
    out += R"(,"from_inclusive":)";
    append_bool(out, range.from_inclusive);
    out += R"(,"until":)";
    append_optional(out, range.until);
    out += R"(,"until_inclusive":)";
    append_bool(out, range.until_inclusive);
    out += '}';
  }
  out += "]}";
}

void append_witness(std::string& out, const DiffWitness& witness) {
  out += R"({"query":{"domain":)";
  json::append_string(out, witness.domain);
  out += R"(,"profile":)";
  json::append_string(out, witness.profile);
  out += R"(,"jurisdiction":"","subject":)";
  json::append_string(out, witness.subject);
  out += R"(,"universe":)";
  append_keys(out, std::vector<std::string_view>(witness.universe.begin(), witness.universe.end()));
  if (witness.as_of) {
    out += R"(,"as_of":)";
    json::append_string(out, *witness.as_of);
  }
  out += R"(},"strictness":)";
  append_optional(out, witness.dial);
  out += '}';
}

void append_change(std::string& out, const PackChange& change) {
  out += R"({"pack":)";
  json::append_string(out, change.pack);
  out += R"(,"subject":)";
  append_optional(out, change.subject);
  out += R"(,"strictness":)";
  append_optional(out, change.dial);
  out += R"(,"as_of":)";
  append_as_of(out, change);
  out += R"(,"before":)";
  append_answer(out, change.before);
  out += R"(,"after":)";
  append_answer(out, change.after);
  out += R"(,"added":)";
  append_rule(out, change.added);
  out += R"(,"removed":)";
  append_rule(out, change.removed);
  out += R"(,"loosens":)";
  append_bool(out, change.loosens());
  out += R"(,"witness":)";
  append_witness(out, change.witness);
  out += '}';
}

}  // namespace

Result<std::string> diff_json(std::string_view old_packs_json, std::string_view new_packs_json) {
  Result<PackMapVersion> before = read_version(old_packs_json, "old");
  if (!before.ok()) return std::move(before.error());
  Result<PackMapVersion> after = read_version(new_packs_json, "new");
  if (!after.ok()) return std::move(after.error());
  const PackDiff diff =
      diff_packs(before.value().lookup, before.value().keys, after.value().lookup, after.value().keys);

  std::string out = R"({"changes":[)";
  std::size_t loosening = 0;
  for (std::size_t i = 0; i < diff.changes.size(); ++i) {
    if (i > 0) out += ',';
    append_change(out, diff.changes[i]);
    if (diff.changes[i].loosens()) ++loosening;
  }
  out += R"(],"summary":{"stems":)";
  json::append_uint(out, diff.stems);
  out += R"(,"changed_stems":)";
  json::append_uint(out, diff.changed_stems);
  out += R"(,"changes":)";
  json::append_uint(out, diff.changes.size());
  out += R"(,"loosening":)";
  json::append_uint(out, loosening);
  out += "}}";
  return out;
}

}  // namespace zorv::wire
