#include "analysis/decision_explanation.h"

#include <map>
#include <utility>

#include "core/in_memory_regulatory_policy_adapter.h"
#include "pack/policy_pack.h"

namespace zorv {
namespace {

using toml::Node;
using toml::TomlDocument;

// Where each control of a list is first written, by control.
using ListedAt = std::map<std::string_view, std::size_t, std::less<>>;

ListedAt listed_at(const TomlDocument& document, const Node* record) {
  ListedAt out;
  if (record == nullptr) return out;
  const toml::Member* controls = document.find(*record, "controls");
  if (controls == nullptr) return out;
  for (const toml::NodeId id : document.node(controls->node).elements) {
    const Node& element = document.node(id);
    out.emplace(element.text, element.offset);
  }
  return out;
}

const Node* member(const TomlDocument& document, const Node& table, std::string_view key) {
  const toml::Member* found = document.find(table, key);
  return found ? &document.node(found->node) : nullptr;
}

// Everything about one pack the reasons need, read once.
struct ReadPack {
  std::optional<TomlDocument> document;
  std::optional<PolicyPackToml> pack;
  FallBackExplanation fault;  // when `pack` is absent
};

ReadPack read_pack(std::string_view text) {
  ReadPack read;
  toml::TomlFault toml_fault;
  read.document = TomlDocument::read(text, toml_fault);
  read.fault.kind = FallBackKind::malformed;
  if (!read.document) {
    read.fault.detail = std::move(toml_fault.description);
    read.fault.position = text::position_of(text, toml_fault.offset);
    return read;
  }
  PackFault pack_fault;
  read.pack = read_policy_pack(*read.document, pack_fault);
  if (!read.pack) {
    read.fault.detail = std::move(pack_fault.description);
    read.fault.position = text::position_of(text, pack_fault.offset);
  }
  return read;
}

std::optional<FallBackExplanation> window_or_floor_fault(const PolicyPackToml& pack, const Strictness& dial,
                                                         const RegulatoryQuery& query) {
  const PackMeta& meta = pack.meta;
  if (query.as_of) {
    const std::string_view as_of = *query.as_of;
    if (meta.effective_from && as_of < std::string_view(*meta.effective_from)) {
      return FallBackExplanation{FallBackKind::outside_effective_envelope,
                                 "as_of `" + *query.as_of + "` sorts before effective_from `" +
                                     *meta.effective_from + "`",
                                 std::nullopt};
    }
    if (meta.effective_until && as_of > std::string_view(*meta.effective_until)) {
      return FallBackExplanation{FallBackKind::outside_effective_envelope,
                                 "as_of `" + *query.as_of + "` sorts after effective_until `" +
                                     *meta.effective_until + "`",
                                 std::nullopt};
    }
  }
  if (dial.level() == Strictness::Level::minimal) {
    if (!pack.legally_required) {
      return FallBackExplanation{FallBackKind::minimal_missing_floor,
                                 "the dial is minimal and the pack has no `legally_required` table", std::nullopt};
    }
    if (pack.legally_required->controls.empty()) {
      return FallBackExplanation{FallBackKind::minimal_missing_floor,
                                 "the dial is minimal and `legally_required` lists no controls", std::nullopt};
    }
  }
  return std::nullopt;
}

}  // namespace

DecisionExplanation explain_decision(const PackLookup& packs, const std::optional<Strictness>& strictness_override,
                                     const RegulatoryQuery& query) {
  DecisionExplanation out;
  out.decision = InMemoryRegulatoryPolicyAdapter(strictness_override, packs).required_controls(query);
  out.tried = InMemoryRegulatoryPolicyAdapter::lookup_keys(query);
  const ControlSet universe = query.universe.sorted();

  std::string storage;
  std::optional<std::string_view> text;
  for (const std::string& key : out.tried) {
    if ((text = packs.find(key, storage))) {
      out.source = key;
      break;
    }
  }
  ReadPack read;
  if (!text) {
    out.fall_back = FallBackExplanation{FallBackKind::missing,
                                        "no pack under `" + out.tried[0] + "` or `" + out.tried[1] + "`",
                                        std::nullopt};
  } else {
    read = read_pack(*text);
    if (!read.pack) {
      out.fall_back = std::move(read.fault);
    } else {
      const PackMeta& meta = read.pack->meta;
      if (strictness_override) {
        out.effective = *strictness_override;
        out.strictness_from = StrictnessFrom::override_dial;
      } else if (meta.strictness) {
        out.effective = Strictness::parse(*meta.strictness);
        out.strictness_from = StrictnessFrom::pack;
      }
      out.fall_back = window_or_floor_fault(*read.pack, out.effective, query);
    }
  }
  if (out.fall_back) {
    out.effective = Strictness::aggressive();
    out.strictness_from = StrictnessFrom::fall_back;
    for (const std::string_view control : universe.keys()) {
      out.controls.push_back({std::string(control), true, ControlReason::fall_back, std::nullopt});
    }
    return out;
  }

  // The list the dial selects from, and where the pack writes each entry.
  const TomlDocument& document = *read.document;
  const Node& root = document.root();
  const PolicyPackToml& pack = *read.pack;
  const ControlSet* list = nullptr;
  ListedAt list_at;
  ControlReason listed = ControlReason::universe, unlisted = ControlReason::universe;
  if (out.effective.level() == Strictness::Level::as_configured) {
    if (const auto entry = pack.subject.find(query.subject); entry != pack.subject.end()) {
      list = &entry->second.controls;
      const Node* subjects = member(document, root, "subject");
      list_at = listed_at(document, member(document, *subjects, query.subject));
      listed = ControlReason::subject_list;
      unlisted = ControlReason::not_in_subject_list;
    }
  } else if (out.effective.level() == Strictness::Level::minimal) {
    list = &pack.legally_required->controls;
    list_at = listed_at(document, member(document, root, "legally_required"));
    listed = ControlReason::legal_floor;
    unlisted = ControlReason::not_in_legal_floor;
  }
  const ListedAt prohibited_at = listed_at(document, member(document, root, "prohibited"));
  const text::TextPositions where(*text);
  const auto position = [&](const ListedAt& at, std::string_view control) {
    const auto found = at.find(control);
    return found == at.end() ? std::nullopt
                             : std::optional<text::TextPosition>(where.at(found->second));
  };
  for (const std::string_view control : universe.keys()) {
    ControlExplanation explained{std::string(control), false, unlisted, std::nullopt};
    if (list == nullptr || list->contains(control)) {
      explained.required = true;
      explained.reason = list == nullptr ? ControlReason::universe : listed;
      if (list != nullptr) explained.position = position(list_at, control);
      if (pack.prohibited && pack.prohibited->controls.contains(control)) {
        explained.required = false;
        explained.reason = ControlReason::prohibited;
        explained.position = position(prohibited_at, control);
      }
    }
    out.controls.push_back(std::move(explained));
  }
  return out;
}

}  // namespace zorv
