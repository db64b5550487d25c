// KeyBlock: copies of keys held in one block of bytes, with views into it in
// the order they were given. What ControlSet and ControlUniverse keep their
// keys in: building one costs a single allocation for the bytes however many
// keys; copies are deep and their views point into the copy.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace zorv {

class KeyBlock {
 public:
  KeyBlock() = default;
  // Copies the keys, in their order. The views need only live for the call.
  explicit KeyBlock(const std::vector<std::string_view>& keys);
  KeyBlock(const KeyBlock& other);
  KeyBlock& operator=(const KeyBlock& other);
  KeyBlock(KeyBlock&&) noexcept = default;
  KeyBlock& operator=(KeyBlock&&) noexcept = default;

  // Views into this block's own bytes, valid while it lives.
  const std::vector<std::string_view>& keys() const { return keys_; }

 private:
  // Every key's bytes, back to back; left uninitialised until the keys are
  // copied in, so a block is written once.
  std::unique_ptr<char[]> bytes_;
  std::vector<std::string_view> keys_;  // into bytes_
};

}  // namespace zorv
