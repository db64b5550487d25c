#include "core/policy_pack.h"

#include <utility>
#include <vector>

#include "core/toml_guard.h"
#include "core/toml_include.h"

namespace zorv {
namespace {

// The readers below take the parsed document by mutable reference so that
// texts can be moved out of it: the document is dropped once it is read.
// Each returns nullopt, or false, as soon as one vocabulary key has the wrong
// type; keys outside the vocabulary are never looked at.

// An optional string member of a record: absent is fine, any other type is not.
bool read_string(toml::table& record, std::string_view key, std::optional<std::string>& out) {
  toml::node* node = record.get(key);
  if (node == nullptr) return true;
  toml::value<std::string>* text = node->as_string();
  if (text == nullptr) return false;
  out = std::move(text->get());
  return true;
}

std::optional<ControlList> read_control_list(toml::node& node) {
  toml::table* record = node.as_table();
  if (record == nullptr) return std::nullopt;
  std::vector<ControlKey> keys;
  if (toml::node* controls = record->get("controls")) {
    toml::array* list = controls->as_array();
    if (list == nullptr) return std::nullopt;
    keys.reserve(list->size());
    for (toml::node& element : *list) {
      toml::value<std::string>* key = element.as_string();
      if (key == nullptr) return std::nullopt;
      keys.push_back(std::move(key->get()));
    }
  }
  return ControlList{ControlSet::from_list(std::move(keys))};
}

bool read_optional_list(toml::table& pack, std::string_view key, std::optional<ControlList>& out) {
  toml::node* node = pack.get(key);
  if (node == nullptr) return true;
  out = read_control_list(*node);
  return out.has_value();
}

bool read_subjects(toml::table& pack, std::map<std::string, ControlList, std::less<>>& out) {
  toml::node* node = pack.get("subject");
  if (node == nullptr) return true;
  toml::table* subjects = node->as_table();
  if (subjects == nullptr) return false;
  // The document's tables iterate in byte order of their keys, so each entry
  // goes to the end of the map.
  for (auto&& [name, entry] : *subjects) {
    std::optional<ControlList> list = read_control_list(entry);
    if (!list) return false;
    out.emplace_hint(out.end(), name.str(), std::move(*list));
  }
  return true;
}

std::optional<PackMeta> read_meta(toml::node& node) {
  toml::table* record = node.as_table();
  if (record == nullptr) return std::nullopt;
  PackMeta meta;
  if (!read_string(*record, "strictness", meta.strictness) ||
      !read_string(*record, "last_reviewed_against_guidance",
                   meta.last_reviewed_against_guidance) ||
      !read_string(*record, "effective_from", meta.effective_from) ||
      !read_string(*record, "effective_until", meta.effective_until)) {
    return std::nullopt;
  }
  if (toml::node* review = record->get("legal_review")) {
    toml::table* review_record = review->as_table();
    if (review_record == nullptr) return std::nullopt;
    LegalReview legal_review;
    if (!read_string(*review_record, "status", legal_review.status)) return std::nullopt;
    meta.legal_review = std::move(legal_review);
  }
  return meta;
}

std::optional<PolicyPackToml> read_pack(toml::table& document) {
  toml::node* meta_node = document.get("meta");
  if (meta_node == nullptr) return std::nullopt;
  std::optional<PackMeta> meta = read_meta(*meta_node);
  if (!meta) return std::nullopt;

  PolicyPackToml pack;
  pack.meta = std::move(*meta);
  if (!read_subjects(document, pack.subject) ||
      !read_optional_list(document, "legally_required", pack.legally_required) ||
      !read_optional_list(document, "prohibited", pack.prohibited)) {
    return std::nullopt;
  }
  return pack;
}

}  // namespace

std::optional<PolicyPackToml> read_policy_pack(std::string_view toml_text) {
  if (!within_toml_nesting_limit(toml_text)) return std::nullopt;
  toml::parse_result parsed = toml::parse(toml_text);
  if (!parsed) return std::nullopt;
  return read_pack(parsed.table());
}

bool is_toml_document(std::string_view toml_text) {
  return within_toml_nesting_limit(toml_text) && static_cast<bool>(toml::parse(toml_text));
}

}  // namespace zorv
