#include "core/control_set.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace zorv {

ControlSet::ControlSet(const ControlSet& other) : bytes_(other.bytes_) {
  keys_.reserve(other.keys_.size());
  for (const std::string_view key : other.keys_) {
    keys_.emplace_back(bytes_.data() + (key.data() - other.bytes_.data()), key.size());
  }
}

ControlSet& ControlSet::operator=(const ControlSet& other) {
  if (this != &other) *this = ControlSet(other);
  return *this;
}

ControlSet ControlSet::from_sorted(const std::vector<std::string_view>& sorted_unique) {
  size_t total = 0;
  for (const std::string_view key : sorted_unique) total += key.size();
  ControlSet set;
  set.bytes_.resize(total);
  set.keys_.reserve(sorted_unique.size());
  size_t offset = 0;
  for (const std::string_view key : sorted_unique) {
    std::copy(key.begin(), key.end(), set.bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    set.keys_.emplace_back(set.bytes_.data() + offset, key.size());
    offset += key.size();
  }
  return set;
}

namespace {

// A key's first eight bytes as a big-endian integer (zero-padded): integer
// order of prefixes is byte order of keys, as far as the prefixes go, so
// most comparisons never touch the keys' bytes in memory.
std::uint64_t prefix_of(std::string_view key) {
  std::uint64_t prefix = 0;
  const size_t n = std::min<size_t>(key.size(), 8);
  for (size_t i = 0; i < 8; ++i) {
    prefix = (prefix << 8) | (i < n ? static_cast<unsigned char>(key[i]) : 0u);
  }
  return prefix;
}

struct PrefixedKey {
  std::uint64_t prefix;
  std::string_view key;

  bool operator<(const PrefixedKey& other) const {
    if (prefix != other.prefix) return prefix < other.prefix;
    return key < other.key;
  }
};

}  // namespace

ControlSet ControlSet::from_views(std::vector<std::string_view> keys) {
  // Keys compare by unsigned byte value (char_traits<char>). Equal keys are
  // byte-identical, so an unstable sort gives the same set as a stable one.
  std::vector<PrefixedKey> prefixed;
  prefixed.reserve(keys.size());
  for (const std::string_view key : keys) prefixed.push_back({prefix_of(key), key});
  std::sort(prefixed.begin(), prefixed.end());
  keys.clear();
  for (const PrefixedKey& entry : prefixed) {
    if (keys.empty() || keys.back() != entry.key) keys.push_back(entry.key);
  }
  return from_sorted(keys);
}

ControlSet ControlSet::from_list(const std::vector<ControlKey>& keys) {
  return from_views(std::vector<std::string_view>(keys.begin(), keys.end()));
}

bool ControlSet::contains(std::string_view key) const {
  return std::binary_search(keys_.begin(), keys_.end(), key);
}

ControlSet ControlSet::intersection(const ControlSet& other) const {
  std::vector<std::string_view> kept;
  std::set_intersection(keys_.begin(), keys_.end(), other.keys_.begin(), other.keys_.end(),
                        std::back_inserter(kept));
  return from_sorted(kept);
}

ControlSet ControlSet::difference(const ControlSet& other) const {
  std::vector<std::string_view> kept;
  kept.reserve(keys_.size());
  std::set_difference(keys_.begin(), keys_.end(), other.keys_.begin(), other.keys_.end(),
                      std::back_inserter(kept));
  return from_sorted(kept);
}

}  // namespace zorv
