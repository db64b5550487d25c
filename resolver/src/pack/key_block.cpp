#include "pack/key_block.h"

#include <algorithm>

namespace zorv {

KeyBlock::KeyBlock(const std::vector<std::string_view>& keys) {
  size_t total = 0;
  for (const std::string_view key : keys) total += key.size();
  bytes_.resize(total);
  keys_.reserve(keys.size());
  size_t offset = 0;
  for (const std::string_view key : keys) {
    std::copy(key.begin(), key.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
    keys_.emplace_back(bytes_.data() + offset, key.size());
    offset += key.size();
  }
}

KeyBlock::KeyBlock(const KeyBlock& other) : bytes_(other.bytes_) {
  keys_.reserve(other.keys_.size());
  for (const std::string_view key : other.keys_) {
    keys_.emplace_back(bytes_.data() + (key.data() - other.bytes_.data()), key.size());
  }
}

KeyBlock& KeyBlock::operator=(const KeyBlock& other) {
  if (this != &other) *this = KeyBlock(other);
  return *this;
}

}  // namespace zorv
