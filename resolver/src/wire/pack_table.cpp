#include "wire/pack_table.h"

#include <algorithm>

namespace zorv::wire {

PackTable::PackTable(const PackIndex& index) {
  entries_.reserve(index.size());
  for (const PackIndex::Entry& member : index.entries()) {
    std::string_view key = member.key.content;
    if (member.key.has_escapes) key = decoded_keys_.emplace_back(json::unescaped(member.key));
    entries_.push_back({key, member.text});
  }
  // Stable, so that among equal keys the last one in the text comes last
  // and is the one kept.
  std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
  std::size_t kept = 0;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (i + 1 < entries_.size() && entries_[i + 1].key == entries_[i].key) continue;
    entries_[kept++] = entries_[i];
  }
  entries_.resize(kept);
  entries_.shrink_to_fit();
}

std::optional<std::size_t> PackTable::position(std::string_view key) const {
  const auto found = std::lower_bound(entries_.begin(), entries_.end(), key,
                                      [](const Entry& entry, std::string_view wanted) { return entry.key < wanted; });
  if (found == entries_.end() || found->key != key) return std::nullopt;
  return static_cast<std::size_t>(found - entries_.begin());
}

const PackTable::Entry* PackTable::entry(std::string_view key) const {
  const std::optional<std::size_t> at = position(key);
  return at ? &entries_[*at] : nullptr;
}

std::string_view PackTable::decoded(json::RawJsonString raw, std::string& storage) {
  if (!raw.has_escapes) return raw.content;
  storage = json::unescaped(raw);
  return storage;
}

std::optional<std::string_view> PackTable::find(std::string_view key, std::string& storage) const {
  const Entry* found = entry(key);
  if (found == nullptr) return std::nullopt;
  return decoded(found->text, storage);
}

}  // namespace zorv::wire
