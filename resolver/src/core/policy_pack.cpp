#include "core/policy_pack.h"

#include <utility>
#include <vector>

#include "core/toml_document.h"

namespace zorv {
namespace {

using toml::Kind;
using toml::Node;
using toml::TomlDocument;

// Reads the records out of a document. Each reader returns false as soon as
// one vocabulary key has the wrong type; keys outside the vocabulary are
// never looked at.
class PackReader {
 public:
  explicit PackReader(const TomlDocument& document) : document_(document) {}

  // The record under `key` of `table`, or nullptr when absent.
  const Node* member(const Node& table, std::string_view key) const {
    const toml::Member* found = document_.find(table, key);
    return found ? &document_.node(found->node) : nullptr;
  }

  bool read_string(const Node& record, std::string_view key, std::optional<std::string>& out) const {
    const Node* value = member(record, key);
    if (value == nullptr) return true;
    if (value->kind != Kind::string) return false;
    out = std::string(value->text);
    return true;
  }

  // A control list; with `keys` null it is only checked.
  bool read_control_list(const Node& record, std::vector<std::string_view>* keys) const {
    if (record.kind != Kind::table) return false;
    const Node* controls = member(record, "controls");
    if (controls == nullptr) return true;
    if (controls->kind != Kind::array) return false;
    if (keys) keys->reserve(controls->elements.size());
    for (toml::NodeId id : controls->elements) {
      const Node& element = document_.node(id);
      if (element.kind != Kind::string) return false;
      if (keys) keys->push_back(element.text);
    }
    return true;
  }

  bool read_optional_list(const Node& pack, std::string_view key, std::optional<ControlList>& out) const {
    const Node* record = member(pack, key);
    if (record == nullptr) return true;
    std::vector<std::string_view> keys;
    if (!read_control_list(*record, &keys)) return false;
    out = ControlList{ControlSet::from_views(std::move(keys))};
    return true;
  }

  // Every subject entry is checked; only the wanted ones become sets.
  bool read_subjects(const Node& pack, const std::optional<std::string_view>& only,
                     std::map<std::string, ControlList, std::less<>>& out) const {
    const Node* subjects = member(pack, "subject");
    if (subjects == nullptr) return true;
    if (subjects->kind != Kind::table) return false;
    for (const toml::Member& entry : subjects->members) {
      const bool wanted = !only || *only == entry.key;
      std::vector<std::string_view> keys;
      if (!read_control_list(document_.node(entry.node), wanted ? &keys : nullptr)) return false;
      if (wanted) out.emplace(std::string(entry.key), ControlList{ControlSet::from_views(std::move(keys))});
    }
    return true;
  }

  bool read_meta(const Node& record, PackMeta& meta) const {
    if (record.kind != Kind::table) return false;
    if (!read_string(record, "strictness", meta.strictness) ||
        !read_string(record, "last_reviewed_against_guidance", meta.last_reviewed_against_guidance) ||
        !read_string(record, "effective_from", meta.effective_from) ||
        !read_string(record, "effective_until", meta.effective_until)) {
      return false;
    }
    if (const Node* review = member(record, "legal_review")) {
      if (review->kind != Kind::table) return false;
      LegalReview legal_review;
      if (!read_string(*review, "status", legal_review.status)) return false;
      meta.legal_review = std::move(legal_review);
    }
    return true;
  }

  std::optional<PolicyPackToml> read_pack(const std::optional<std::string_view>& only_subject) const {
    const Node& document = document_.root();
    const Node* meta = member(document, "meta");
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
};

std::optional<PolicyPackToml> read(std::string_view toml_text, const std::optional<std::string_view>& only_subject) {
  toml::TomlFault fault;
  const std::optional<TomlDocument> document = TomlDocument::read(toml_text, fault);
  if (!document) return std::nullopt;
  return PackReader(*document).read_pack(only_subject);
}

}  // namespace

std::optional<PolicyPackToml> read_policy_pack(std::string_view toml_text) { return read(toml_text, std::nullopt); }

std::optional<PolicyPackToml> read_policy_pack_for_subject(std::string_view toml_text, std::string_view subject) {
  return read(toml_text, subject);
}

bool is_toml_document(std::string_view toml_text) {
  toml::TomlFault fault;
  return TomlDocument::read(toml_text, fault).has_value();
}

}  // namespace zorv
