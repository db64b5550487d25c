#include "core/control_set.h"

#include <algorithm>

namespace zorv {

ControlSet ControlSet::from_list(std::vector<ControlKey> keys) {
  // std::string's operator< compares through char_traits<char>, which orders
  // by unsigned byte value, so this is plain byte order.
  std::stable_sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return ControlSet(std::move(keys));
}

bool ControlSet::contains(std::string_view key) const {
  return std::binary_search(keys_.begin(), keys_.end(), key, std::less<>{});
}

ControlSet ControlSet::intersection(const ControlSet& other) const {
  std::vector<ControlKey> kept;
  std::set_intersection(keys_.begin(), keys_.end(), other.keys_.begin(), other.keys_.end(),
                        std::back_inserter(kept));
  return ControlSet(std::move(kept));
}

ControlSet ControlSet::difference(const ControlSet& other) const {
  std::vector<ControlKey> kept;
  kept.reserve(keys_.size());
  std::set_difference(keys_.begin(), keys_.end(), other.keys_.begin(), other.keys_.end(),
                      std::back_inserter(kept));
  return ControlSet(std::move(kept));
}

}  // namespace zorv
