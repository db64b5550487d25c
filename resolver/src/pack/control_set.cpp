#include "pack/control_set.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace zorv {

ControlSet ControlSet::from_sorted_unique(const std::vector<std::string_view>& sorted_unique) {
  return ControlSet(KeyBlock(sorted_unique));
}

namespace {

// Keys are sorted by their first sixteen bytes read as two big-endian
// integers (zero-padded past the key's end), which decide most comparisons
// without touching the key again; only keys that agree on all sixteen are
// compared whole. Integer order of the prefixes is byte order of the keys,
// and a comparison of whole keys costs no more than their shorter length,
// so shared prefixes of any length cost O(n log n) comparisons as usual.
struct SortEntry {
  std::uint64_t high;
  std::uint64_t low;
  std::string_view key;
};

constexpr std::size_t kChunk = 8;

std::uint64_t chunk_at(std::string_view key, std::size_t depth) {
  if (depth + kChunk <= key.size()) {
    // Big-endian, so that chunks order as the bytes do; compilers turn this
    // loop into one load and a byte swap.
    std::uint64_t chunk = 0;
    for (std::size_t i = depth; i < depth + kChunk; ++i) chunk = (chunk << 8) | static_cast<unsigned char>(key[i]);
    return chunk;
  }
  std::uint64_t chunk = 0;
  for (std::size_t i = depth; i < depth + kChunk; ++i) {
    chunk = (chunk << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
  }
  return chunk;
}

void sort_keys(std::vector<std::string_view>& keys) {
  std::vector<SortEntry> entries;
  entries.reserve(keys.size());
  for (const std::string_view key : keys) entries.push_back({chunk_at(key, 0), chunk_at(key, kChunk), key});
  std::sort(entries.begin(), entries.end(), [](const SortEntry& a, const SortEntry& b) {
    if (a.high != b.high) return a.high < b.high;
    if (a.low != b.low) return a.low < b.low;
    return a.key < b.key;
  });
  for (std::size_t i = 0; i < entries.size(); ++i) keys[i] = entries[i].key;
}

}  // namespace

ControlSet ControlSet::from_views(std::vector<std::string_view> keys) {
  // Equal keys are byte-identical, so an unstable sort gives the same set
  // as a stable one.
  sort_keys(keys);
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return from_sorted_unique(keys);
}

ControlSet ControlSet::from_views_without(std::vector<std::string_view> keys, const ControlSet& removed) {
  sort_keys(keys);
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::vector<std::string_view> kept;
  kept.reserve(keys.size());
  std::set_difference(keys.begin(), keys.end(), removed.keys().begin(), removed.keys().end(), std::back_inserter(kept));
  return from_sorted_unique(kept);
}

ControlSet ControlSet::from_list(const std::vector<ControlKey>& keys) {
  return from_views(std::vector<std::string_view>(keys.begin(), keys.end()));
}

bool ControlSet::contains(std::string_view key) const { return std::binary_search(keys().begin(), keys().end(), key); }

ControlSet ControlSet::intersection(const ControlSet& other) const {
  std::vector<std::string_view> kept;
  std::set_intersection(keys().begin(), keys().end(), other.keys().begin(), other.keys().end(),
                        std::back_inserter(kept));
  return from_sorted_unique(kept);
}

ControlSet ControlSet::difference(const ControlSet& other) const {
  std::vector<std::string_view> kept;
  kept.reserve(size());
  // A few keys against a long list (a subject's list against a long
  // prohibited list) are looked up one by one, so the cost follows the
  // short side rather than the long one.
  if (other.size() / 8 > size()) {
    for (const std::string_view key : keys()) {
      if (!other.contains(key)) kept.push_back(key);
    }
  } else {
    std::set_difference(keys().begin(), keys().end(), other.keys().begin(), other.keys().end(),
                        std::back_inserter(kept));
  }
  return from_sorted_unique(kept);
}

}  // namespace zorv
