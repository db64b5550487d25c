// ControlKey and ControlSet: a control identifier and an ordered set of them.
// Keys are compared as plain bytes: no trimming, case folding or Unicode
// normalisation, so "MFA" and "mfa" are two controls and "MFA" sorts first.
//
// A ControlSet owns its keys' bytes in one block and hands out views into
// it, in ascending byte order, each key once. Building one costs a sort of
// views and a single allocation, however many keys; copies are deep. Never
// changed after it is built; safe to read from many threads.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pack/key_block.h"

namespace zorv {

using ControlKey = std::string;

class ControlSet {
 public:
  ControlSet() = default;

  // Sorts the keys (ascending byte order), drops repeats and copies them.
  // The views need only live for the call.
  static ControlSet from_views(std::vector<std::string_view> keys);
  static ControlSet from_list(const std::vector<ControlKey>& keys);
  // from_views(keys).difference(removed), with the keys copied once.
  static ControlSet from_views_without(std::vector<std::string_view> keys, const ControlSet& removed);
  // Copies keys that are already in ascending byte order, each once.
  static ControlSet from_sorted_unique(const std::vector<std::string_view>& keys);

  bool contains(std::string_view key) const;

  // The members of this set that are also members of `other`.
  ControlSet intersection(const ControlSet& other) const;

  // The members of this set that are not members of `other`.
  ControlSet difference(const ControlSet& other) const;

  // Views into this set's own storage, valid while the set lives.
  const std::vector<std::string_view>& keys() const { return block_.keys(); }
  size_t size() const { return keys().size(); }
  bool empty() const { return keys().empty(); }

  bool operator==(const ControlSet& other) const { return keys() == other.keys(); }

 private:
  explicit ControlSet(KeyBlock block) : block_(std::move(block)) {}

  KeyBlock block_;  // ascending, distinct
};

}  // namespace zorv
