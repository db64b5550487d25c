#include "core/control_universe.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/key_hash.h"

namespace zorv {

ControlUniverse ControlUniverse::from_views(const std::vector<std::string_view>& keys) {
  return ControlUniverse(KeyBlock(keys));
}

ControlUniverse ControlUniverse::from_list(const std::vector<ControlKey>& keys) {
  return from_views(std::vector<std::string_view>(keys.begin(), keys.end()));
}

ControlSet ControlUniverse::sorted() const { return ControlSet::from_views(keys()); }

ControlSet ControlUniverse::sorted_without(const ControlSet& removed) const {
  return ControlSet::from_views_without(keys(), removed);
}

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
  const std::uint64_t seed = key_hash_seed();
  for (size_t i = 0; i < listed.size(); ++i) {
    size_t slot = key_hash(listed[i], seed) & mask;
    while (table[slot] != kEmpty) slot = (slot + 1) & mask;
    table[slot] = i;
  }
  std::vector<std::uint8_t> found(listed.size(), 0);
  size_t found_count = 0;
  for (const std::string_view key : keys()) {
    for (size_t slot = key_hash(key, seed) & mask; table[slot] != kEmpty; slot = (slot + 1) & mask) {
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
