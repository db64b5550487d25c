#include "pack/policy_pack.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "pack/pack_vocabulary.h"
#include "toml/toml_document.h"

namespace zorv {
namespace {

using pack_vocabulary::PackKey;
using toml::Kind;
using toml::Node;
using toml::TomlDocument;

std::string join(std::string_view path, std::string_view key) {
  std::string joined(path);
  return joined.append(".").append(key_path_part(key));
}

// Reads the records out of a document through the vocabulary table. Each
// reader returns false as soon as one vocabulary key has the wrong type, and,
// when asked, says which key and where; keys outside the vocabulary are never
// looked at.
class PackReader {
 public:
  PackReader(const TomlDocument& document, text::Fault* fault) : document_(document), fault_(fault) {}

  // The record `row` names under `table`, or nullptr when absent.
  const Node* member(const Node& table, const PackKey& row) const {
    const toml::Member* found = document_.find(table, pack_vocabulary::name_of(row));
    return found ? &document_.node(found->node) : nullptr;
  }

  // Whether `value` has the kind `row` asks for; if not, false after saying
  // (when asked) that the value at `path` is of the wrong type.
  bool typed(const Node& value, const PackKey& row, const std::string& path) const {
    if (value.kind == pack_vocabulary::toml_kind(row.kind)) return true;
    return wrong_type(value, path, pack_vocabulary::expected_text(row.kind));
  }

  bool wrong_type(const Node& value, const std::string& path, std::string_view expected) const {
    if (fault_ != nullptr) {
      *fault_ = {text::FaultCode::pack_wrong_type, value.offset,
                 pack_vocabulary::wrong_type_detail(path, expected, value.kind)};
    }
    return false;
  }

  bool read_string(const Node& record, std::string_view path, std::optional<std::string>& out) const {
    const PackKey& row = pack_vocabulary::key(path);
    const Node* value = member(record, row);
    if (value == nullptr) return true;
    if (!typed(*value, row, std::string(path))) return false;
    out = std::string(value->text);
    return true;
  }

  // A control list at `path`, a table of the shape `row` whose list is
  // `list_row`; with `keys` null it is only checked.
  bool read_control_list(const Node& record, const PackKey& row, const PackKey& list_row, const std::string& path,
                         std::vector<std::string_view>* keys, std::vector<std::size_t>* offsets = nullptr) const {
    if (!typed(record, row, path)) return false;
    const Node* controls = member(record, list_row);
    if (controls == nullptr) return true;
    if (controls->kind != pack_vocabulary::toml_kind(list_row.kind)) {
      return wrong_type(*controls, join(path, pack_vocabulary::name_of(list_row)),
                        pack_vocabulary::expected_text(list_row.kind));
    }
    if (keys) keys->reserve(controls->elements.size());
    for (std::size_t i = 0; i < controls->elements.size(); ++i) {
      const Node& element = document_.node(controls->elements[i]);
      if (element.kind != Kind::string) {
        return wrong_type(element, join(path, pack_vocabulary::name_of(list_row)) + "[" + std::to_string(i) + "]",
                          "a string");
      }
      if (keys) keys->push_back(element.text);
      if (offsets && fault_ != nullptr) offsets->push_back(element.offset);
    }
    return true;
  }

  // The list of `keys`, with where each control is first written when the
  // pack is read with locations.
  ControlList control_list(std::vector<std::string_view> keys, const std::vector<std::size_t>& offsets) const {
    if (fault_ == nullptr) return ControlList{ControlSet::from_views(std::move(keys)), {}};
    std::vector<std::pair<std::string_view, std::size_t>> written(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) written[i] = {keys[i], offsets[i]};
    std::stable_sort(written.begin(), written.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    ControlList list{ControlSet::from_views(std::move(keys)), {}};
    list.written_at.reserve(list.controls.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
      if (i == 0 || written[i].first != written[i - 1].first) list.written_at.push_back(written[i].second);
    }
    return list;
  }

  bool read_optional_list(const Node& pack, std::string_view path, std::optional<ControlList>& out) const {
    const PackKey& row = pack_vocabulary::key(path);
    const Node* record = member(pack, row);
    if (record == nullptr) return true;
    std::vector<std::string_view> keys;
    std::vector<std::size_t> offsets;
    const PackKey& list_row = pack_vocabulary::key(std::string(path) + ".controls");
    if (!read_control_list(*record, row, list_row, std::string(path), &keys, &offsets)) return false;
    out = control_list(std::move(keys), offsets);
    return true;
  }

  // Every subject entry is checked; only the wanted ones become sets.
  bool read_subjects(const Node& pack, const std::optional<std::string_view>& only,
                     std::map<std::string, ControlList, std::less<>>& out) const {
    const PackKey& row = pack_vocabulary::key("subject");
    const PackKey& entry_row = pack_vocabulary::key("subject.<name>");
    const PackKey& list_row = pack_vocabulary::key("subject.<name>.controls");
    const Node* subjects = member(pack, row);
    if (subjects == nullptr) return true;
    if (!typed(*subjects, row, "subject")) return false;
    for (const toml::Member& entry : subjects->members) {
      const bool wanted = !only || *only == entry.key;
      std::vector<std::string_view> keys;
      std::vector<std::size_t> offsets;
      // The path is only spelt out when a fault may have to name it.
      const std::string path = fault_ != nullptr ? join("subject", entry.key) : std::string();
      if (!read_control_list(document_.node(entry.node), entry_row, list_row, path, wanted ? &keys : nullptr,
                             wanted ? &offsets : nullptr)) {
        return false;
      }
      if (wanted) out.emplace(std::string(entry.key), control_list(std::move(keys), offsets));
    }
    return true;
  }

  bool read_meta(const Node& record, PackMeta& meta) const {
    if (!typed(record, pack_vocabulary::key("meta"), "meta")) return false;
    if (!read_string(record, "meta.strictness", meta.strictness) ||
        !read_string(record, "meta.last_reviewed_against_guidance", meta.last_reviewed_against_guidance) ||
        !read_string(record, "meta.effective_from", meta.effective_from) ||
        !read_string(record, "meta.effective_until", meta.effective_until)) {
      return false;
    }
    const PackKey& review_row = pack_vocabulary::key("meta.legal_review");
    if (const Node* review = member(record, review_row)) {
      if (!typed(*review, review_row, "meta.legal_review")) return false;
      LegalReview legal_review;
      if (!read_string(*review, "meta.legal_review.status", legal_review.status)) return false;
      meta.legal_review = std::move(legal_review);
    }
    return true;
  }

  std::optional<PolicyPack> read_pack(const std::optional<std::string_view>& only_subject) const {
    const Node& document = document_.root();
    const Node* meta = member(document, pack_vocabulary::key("meta"));
    if (meta == nullptr && fault_ != nullptr)
      *fault_ = {text::FaultCode::pack_missing_meta, 0, "the pack has no `meta` table"};
    PolicyPack pack;
    if (meta == nullptr || !read_meta(*meta, pack.meta) || !read_subjects(document, only_subject, pack.subject) ||
        !read_optional_list(document, "legally_required", pack.legally_required) ||
        !read_optional_list(document, "prohibited", pack.prohibited)) {
      return std::nullopt;
    }
    return pack;
  }

 private:
  const TomlDocument& document_;
  text::Fault* fault_;
};

std::optional<PolicyPack> read(std::string_view toml_text, const std::optional<std::string_view>& only_subject) {
  text::Fault fault;
  const std::optional<TomlDocument> document = TomlDocument::read(toml_text, fault);
  if (!document) return std::nullopt;
  return PackReader(*document, nullptr).read_pack(only_subject);
}

}  // namespace

std::optional<PolicyPack> read_policy_pack(std::string_view toml_text) { return read(toml_text, std::nullopt); }

std::optional<PolicyPack> read_policy_pack_for_subject(std::string_view toml_text, std::string_view subject) {
  return read(toml_text, subject);
}

std::optional<PolicyPack> read_policy_pack(const toml::TomlDocument& document, text::Fault& fault) {
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
  text::Fault fault;
  return TomlDocument::read(toml_text, fault).has_value();
}

}  // namespace zorv
