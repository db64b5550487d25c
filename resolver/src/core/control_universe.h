// ControlUniverse: every control the caller knows, as the caller listed
// them: in the caller's order, repeats kept. It is the fail-closed answer,
// and the bound every answer stays inside.
//
// The list is sorted only when it is the answer itself. When the answer is a
// pack list kept to the universe, membership is decided key by key against
// that (short, already sorted) list instead, so a large universe is never
// sorted for a small answer.
//
// Owns its keys' bytes in one block; copies are deep. Never changed after it
// is built; safe to read from many threads.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "pack/control_set.h"
#include "pack/key_block.h"

namespace zorv {

class ControlUniverse {
 public:
  ControlUniverse() = default;

  // Copies the keys, in their order. The views need only live for the call.
  static ControlUniverse from_views(const std::vector<std::string_view>& keys);
  static ControlUniverse from_list(const std::vector<ControlKey>& keys);

  // The whole universe as an ordered set: ascending byte order, repeats dropped.
  ControlSet sorted() const;
  // The same without the members of `removed`, copied once.
  ControlSet sorted_without(const ControlSet& removed) const;

  // The members of `list` that the universe also lists.
  ControlSet members_of(const ControlSet& list) const;

  // Views into this universe's own storage, in the caller's order.
  const std::vector<std::string_view>& keys() const { return block_.keys(); }
  size_t size() const { return keys().size(); }

 private:
  explicit ControlUniverse(KeyBlock block) : block_(std::move(block)) {}

  KeyBlock block_;
};

}  // namespace zorv
