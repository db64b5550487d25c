#include "pack/control_set.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace zorv {

ControlSet ControlSet::from_sorted_unique(const std::vector<std::string_view>& sorted_unique) {
  return ControlSet(KeyBlock(sorted_unique));
}

namespace {

// Keys are sorted eight bytes at a time: each key's bytes at the current
// depth, read as a big-endian integer (zero-padded past its end), decide
// most comparisons without touching the key again, and only runs of keys
// that agree on every byte so far go one level deeper. Integer order of the
// chunks is byte order of the keys.
struct SortEntry {
  std::uint64_t chunk;
  std::size_t rank;  // the key's length, or kUnfinished when it goes on
  std::string_view key;
};

constexpr std::size_t kChunk = 8;
// Past this depth a run is sorted by whole-key comparison, so a crafted
// set of long shared prefixes costs no deeper levels.
constexpr std::size_t kMaxChunkedDepth = 64;

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
  for (const std::string_view key : keys) entries.push_back({0, 0, key});
  struct Range {
    std::size_t begin, end, depth;
  };
  std::vector<Range> pending{{0, entries.size(), 0}};
  while (!pending.empty()) {
    const Range range = pending.back();
    pending.pop_back();
    const auto first = entries.begin() + static_cast<std::ptrdiff_t>(range.begin);
    const auto last = entries.begin() + static_cast<std::ptrdiff_t>(range.end);
    if (range.depth >= kMaxChunkedDepth) {
      std::sort(first, last, [](const SortEntry& a, const SortEntry& b) { return a.key < b.key; });
      continue;
    }
    // A key that ends within this chunk is a prefix of every longer key with
    // the same chunk, so among equal chunks shorter keys come first.
    const std::size_t unfinished = range.depth + kChunk + 1;
    for (auto entry = first; entry != last; ++entry) {
      entry->chunk = chunk_at(entry->key, range.depth);
      entry->rank = std::min(entry->key.size(), unfinished);
    }
    std::sort(first, last, [](const SortEntry& a, const SortEntry& b) {
      return a.chunk != b.chunk ? a.chunk < b.chunk : a.rank < b.rank;
    });
    for (std::size_t begin = range.begin; begin < range.end;) {
      std::size_t end = begin + 1;
      while (end < range.end && entries[end].chunk == entries[begin].chunk &&
             entries[end].rank == entries[begin].rank) {
        ++end;
      }
      if (end - begin > 1 && entries[begin].rank == unfinished) {
        pending.push_back({begin, end, range.depth + kChunk});
      }
      begin = end;
    }
  }
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

ControlSet ControlSet::from_list(const std::vector<ControlKey>& keys) {
  return from_views(std::vector<std::string_view>(keys.begin(), keys.end()));
}

bool ControlSet::contains(std::string_view key) const {
  return std::binary_search(keys().begin(), keys().end(), key);
}

ControlSet ControlSet::intersection(const ControlSet& other) const {
  std::vector<std::string_view> kept;
  std::set_intersection(keys().begin(), keys().end(), other.keys().begin(), other.keys().end(),
                        std::back_inserter(kept));
  return from_sorted_unique(kept);
}

ControlSet ControlSet::difference(const ControlSet& other) const {
  std::vector<std::string_view> kept;
  kept.reserve(size());
  std::set_difference(keys().begin(), keys().end(), other.keys().begin(), other.keys().end(),
                      std::back_inserter(kept));
  return from_sorted_unique(kept);
}

}  // namespace zorv
