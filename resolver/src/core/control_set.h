// ControlKey and ControlSet: a control identifier and an ordered set of them.
// Keys are compared as plain bytes: no trimming, case folding or Unicode
// normalisation, so "MFA" and "mfa" are two controls and "MFA" sorts first.
// A ControlSet holds each key once, in ascending byte order, and never
// changes after it is built. Safe to read from many threads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zorv {

using ControlKey = std::string;

class ControlSet {
 public:
  ControlSet() = default;

  // Sorts the keys (stable, ascending byte order) and drops repeats.
  static ControlSet from_list(std::vector<ControlKey> keys);

  bool contains(std::string_view key) const;

  // The members of this set that are also members of `other`.
  ControlSet intersection(const ControlSet& other) const;

  // The members of this set that are not members of `other`.
  ControlSet difference(const ControlSet& other) const;

  const std::vector<ControlKey>& keys() const { return keys_; }
  size_t size() const { return keys_.size(); }
  bool empty() const { return keys_.empty(); }

  bool operator==(const ControlSet&) const = default;

 private:
  explicit ControlSet(std::vector<ControlKey> sorted_unique) : keys_(std::move(sorted_unique)) {}

  std::vector<ControlKey> keys_;  // ascending byte order, no repeats
};

}  // namespace zorv
