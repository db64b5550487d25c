#include "pack/key_block.h"

#include <cstring>

namespace zorv {

KeyBlock::KeyBlock(const std::vector<std::string_view>& keys) {
  std::size_t total = 0;
  for (const std::string_view key : keys) total += key.size();
  bytes_.reset(new char[total]);
  keys_.reserve(keys.size());
  std::size_t offset = 0;
  for (const std::string_view key : keys) {
    if (!key.empty()) std::memcpy(bytes_.get() + offset, key.data(), key.size());
    keys_.emplace_back(bytes_.get() + offset, key.size());
    offset += key.size();
  }
}

KeyBlock::KeyBlock(const KeyBlock& other) : KeyBlock(other.keys_) {}

KeyBlock& KeyBlock::operator=(const KeyBlock& other) {
  if (this != &other) *this = KeyBlock(other);
  return *this;
}

}  // namespace zorv
