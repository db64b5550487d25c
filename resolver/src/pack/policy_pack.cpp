#include "pack/policy_pack.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "toml/toml_document.h"

namespace zorv {
namespace {

using toml::Kind;
using toml::Node;
using toml::TomlDocument;

std::string join(std::string_view path, std::string_view key) {
  std::string joined(path);
  return joined.append(".").append(key_path_part(key));
}

// Reads the records out of a document. Each reader returns false as soon as
// one vocabulary key has the wrong type, and, when asked, says which key and
// where; keys outside the vocabulary are never looked at.
class PackReader {
 public:
  PackReader(const TomlDocument& document, PackFault* fault) : document_(document), fault_(fault) {}

  // The record under `key` of `table`, or nullptr when absent.
  const Node* member(const Node& table, std::string_view key) const {
    const toml::Member* found = document_.find(table, key);
    return found ? &document_.node(found->node) : nullptr;
  }

  // False, after saying (when asked) that the value at `path` is not of
  // the `expected` kind.
  bool wrong_type(const Node& value, const std::string& path, std::string_view expected) const {
    if (fault_ != nullptr) {
      fault_->description = "`" + path + "` must be " + std::string(expected) + ", found " +
                            std::string(toml::kind_name(value.kind));
      fault_->offset = value.offset;
    }
    return false;
  }

  bool read_string(const Node& record, std::string_view path, std::string_view key,
                   std::optional<std::string>& out) const {
    const Node* value = member(record, key);
    if (value == nullptr) return true;
    if (value->kind != Kind::string) return wrong_type(*value, join(path, key), "a string");
    out = std::string(value->text);
    return true;
  }

  // A control list; with `keys` null it is only checked.
  bool read_control_list(const Node& record, const std::string& path, std::vector<std::string_view>* keys) const {
    if (record.kind != Kind::table) return wrong_type(record, path, "a table");
    const Node* controls = member(record, "controls");
    if (controls == nullptr) return true;
    if (controls->kind != Kind::array) return wrong_type(*controls, join(path, "controls"), "an array");
    if (keys) keys->reserve(controls->elements.size());
    for (std::size_t i = 0; i < controls->elements.size(); ++i) {
      const Node& element = document_.node(controls->elements[i]);
      if (element.kind != Kind::string) {
        return wrong_type(element, join(path, "controls") + "[" + std::to_string(i) + "]", "a string");
      }
      if (keys) keys->push_back(element.text);
    }
    return true;
  }

  bool read_optional_list(const Node& pack, std::string_view key, std::optional<ControlList>& out) const {
    const Node* record = member(pack, key);
    if (record == nullptr) return true;
    std::vector<std::string_view> keys;
    if (!read_control_list(*record, std::string(key), &keys)) return false;
    out = ControlList{ControlSet::from_views(std::move(keys))};
    return true;
  }

  // Every subject entry is checked; only the wanted ones become sets.
  bool read_subjects(const Node& pack, const std::optional<std::string_view>& only,
                     std::map<std::string, ControlList, std::less<>>& out) const {
    const Node* subjects = member(pack, "subject");
    if (subjects == nullptr) return true;
    if (subjects->kind != Kind::table) return wrong_type(*subjects, "subject", "a table");
    for (const toml::Member& entry : subjects->members) {
      const bool wanted = !only || *only == entry.key;
      std::vector<std::string_view> keys;
      // The path is only spelt out when a fault may have to name it.
      const std::string path = fault_ != nullptr ? join("subject", entry.key) : std::string();
      if (!read_control_list(document_.node(entry.node), path, wanted ? &keys : nullptr)) return false;
      if (wanted) out.emplace(std::string(entry.key), ControlList{ControlSet::from_views(std::move(keys))});
    }
    return true;
  }

  bool read_meta(const Node& record, PackMeta& meta) const {
    if (record.kind != Kind::table) return wrong_type(record, "meta", "a table");
    if (!read_string(record, "meta", "strictness", meta.strictness) ||
        !read_string(record, "meta", "last_reviewed_against_guidance", meta.last_reviewed_against_guidance) ||
        !read_string(record, "meta", "effective_from", meta.effective_from) ||
        !read_string(record, "meta", "effective_until", meta.effective_until)) {
      return false;
    }
    if (const Node* review = member(record, "legal_review")) {
      if (review->kind != Kind::table) return wrong_type(*review, "meta.legal_review", "a table");
      LegalReview legal_review;
      if (!read_string(*review, "meta.legal_review", "status", legal_review.status)) return false;
      meta.legal_review = std::move(legal_review);
    }
    return true;
  }

  std::optional<PolicyPackToml> read_pack(const std::optional<std::string_view>& only_subject) const {
    const Node& document = document_.root();
    const Node* meta = member(document, "meta");
    if (meta == nullptr && fault_ != nullptr) *fault_ = {"the pack has no `meta` table", 0};
    PolicyPackToml pack;
    if (meta == nullptr || !read_meta(*meta, pack.meta) ||
        !read_subjects(document, only_subject, pack.subject) ||
        !read_optional_list(document, "legally_required", pack.legally_required) ||
        !read_optional_list(document, "prohibited", pack.prohibited)) {
      return std::nullopt;
    }
    return pack;
  }

 private:
  const TomlDocument& document_;
  PackFault* fault_;
};

std::optional<PolicyPackToml> read(std::string_view toml_text, const std::optional<std::string_view>& only_subject) {
  toml::TomlFault fault;
  const std::optional<TomlDocument> document = TomlDocument::read(toml_text, fault);
  if (!document) return std::nullopt;
  return PackReader(*document, nullptr).read_pack(only_subject);
}

}  // namespace

std::optional<PolicyPackToml> read_policy_pack(std::string_view toml_text) { return read(toml_text, std::nullopt); }

std::optional<PolicyPackToml> read_policy_pack_for_subject(std::string_view toml_text, std::string_view subject) {
  return read(toml_text, subject);
}

std::optional<PolicyPackToml> read_policy_pack(const toml::TomlDocument& document, PackFault& fault) {
  return PackReader(document, &fault).read_pack(std::nullopt);
}

std::string key_path_part(std::string_view key) {
  const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
  if (bare) return std::string(key);
  std::string quoted = "\"";
  for (const char c : key) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

bool is_toml_document(std::string_view toml_text) {
  toml::TomlFault fault;
  return TomlDocument::read(toml_text, fault).has_value();
}

}  // namespace zorv
