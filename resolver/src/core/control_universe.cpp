#include "core/control_universe.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zorv {

ControlUniverse ControlUniverse::from_views(const std::vector<std::string_view>& keys) {
  return ControlUniverse(KeyBlock(keys));
}

ControlUniverse ControlUniverse::from_list(const std::vector<ControlKey>& keys) {
  return from_views(std::vector<std::string_view>(keys.begin(), keys.end()));
}

ControlSet ControlUniverse::sorted() const { return ControlSet::from_views(keys()); }

namespace {

// Up to eight bytes of `key` from `at`, zero padded.
std::uint64_t word_at(std::string_view key, size_t at) {
  std::uint64_t word = 0;
  if (at < key.size()) std::memcpy(&word, key.data() + at, std::min<size_t>(8, key.size() - at));
  return word;
}

// A hash from the key's length and its first and last eight bytes: cheap,
// and enough to tell the few keys of a pack list apart.
std::uint64_t key_hash(std::string_view key) {
  const size_t tail = key.size() > 8 ? key.size() - 8 : 0;
  std::uint64_t hash = (word_at(key, 0) * 0x9E3779B97F4A7C15ULL) ^ (word_at(key, tail) * 0xC2B2AE3D27D4EB4FULL);
  hash ^= key.size() * 0x165667B19E3779F9ULL;
  return hash ^ (hash >> 29);
}

}  // namespace

ControlSet ControlUniverse::members_of(const ControlSet& list) const {
  const std::vector<std::string_view>& listed = list.keys();
  if (listed.empty()) return {};
  // The list's keys go into an open-addressed table at most half full; each
  // universe key is looked up there and the list entry it finds is marked.
  // The marked entries, in the list's order, are the answer, so it comes
  // out sorted and without repeats.
  size_t slots = 2;
  while (slots < 2 * listed.size()) slots *= 2;
  const size_t mask = slots - 1;
  constexpr size_t kEmpty = SIZE_MAX;
  std::vector<size_t> table(slots, kEmpty);
  for (size_t i = 0; i < listed.size(); ++i) {
    size_t slot = key_hash(listed[i]) & mask;
    while (table[slot] != kEmpty) slot = (slot + 1) & mask;
    table[slot] = i;
  }
  std::vector<std::uint8_t> found(listed.size(), 0);
  size_t found_count = 0;
  for (const std::string_view key : keys()) {
    for (size_t slot = key_hash(key) & mask; table[slot] != kEmpty; slot = (slot + 1) & mask) {
      if (listed[table[slot]] != key) continue;
      std::uint8_t& mark = found[table[slot]];
      found_count += mark ^ 1u;
      mark = 1;
      break;
    }
    if (found_count == listed.size()) break;
  }
  std::vector<std::string_view> kept;
  kept.reserve(found_count);
  for (size_t i = 0; i < listed.size(); ++i) {
    if (found[i] != 0) kept.push_back(listed[i]);
  }
  return ControlSet::from_sorted_unique(kept);
}

}  // namespace zorv
