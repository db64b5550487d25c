#include "core/control_universe.h"

#include <algorithm>
#include <cstdint>

namespace zorv {

ControlUniverse::ControlUniverse(const ControlUniverse& other) : bytes_(other.bytes_) {
  keys_.reserve(other.keys_.size());
  for (const std::string_view key : other.keys_) {
    keys_.emplace_back(bytes_.data() + (key.data() - other.bytes_.data()), key.size());
  }
}

ControlUniverse& ControlUniverse::operator=(const ControlUniverse& other) {
  if (this != &other) *this = ControlUniverse(other);
  return *this;
}

ControlUniverse ControlUniverse::from_views(const std::vector<std::string_view>& keys) {
  size_t total = 0;
  for (const std::string_view key : keys) total += key.size();
  ControlUniverse universe;
  universe.bytes_.resize(total);
  universe.keys_.reserve(keys.size());
  size_t offset = 0;
  for (const std::string_view key : keys) {
    std::copy(key.begin(), key.end(), universe.bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    universe.keys_.emplace_back(universe.bytes_.data() + offset, key.size());
    offset += key.size();
  }
  return universe;
}

ControlUniverse ControlUniverse::from_list(const std::vector<ControlKey>& keys) {
  return from_views(std::vector<std::string_view>(keys.begin(), keys.end()));
}

ControlSet ControlUniverse::sorted() const { return ControlSet::from_views(keys_); }

ControlSet ControlUniverse::members_of(const ControlSet& list) const {
  const std::vector<std::string_view>& listed = list.keys();
  if (listed.empty()) return {};
  // Each universe key is looked up in the sorted list, and the list entries
  // it finds are marked; the marked entries, in the list's order, are the
  // answer, so it comes out sorted and without repeats.
  std::vector<std::uint8_t> found(listed.size(), 0);
  size_t found_count = 0;
  for (const std::string_view key : keys_) {
    const auto at = std::lower_bound(listed.begin(), listed.end(), key);
    if (at == listed.end() || *at != key) continue;
    std::uint8_t& mark = found[static_cast<size_t>(at - listed.begin())];
    found_count += mark ^ 1u;
    mark = 1;
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
