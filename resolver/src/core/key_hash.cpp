#include "core/key_hash.h"

#include <chrono>
#include <cstring>
#include <random>

namespace zorv {
namespace {

__extension__ typedef unsigned __int128 Product;

// The high and low halves of the 128-bit product, folded into one word: each
// output bit depends on every input bit of both factors.
std::uint64_t fold_multiply(std::uint64_t a, std::uint64_t b) {
  const Product product = static_cast<Product>(a) * b;
  return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

std::uint64_t read_word(const char* at) {
  std::uint64_t word = 0;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Up to seven trailing bytes, one per byte lane, so "a" and "a\0" differ
// only through the length, which the hash mixes in as well.
std::uint64_t read_tail(const char* at, std::size_t size) {
  std::uint64_t word = 0;
  if (size > 0) std::memcpy(&word, at, size);
  return word;
}

constexpr std::uint64_t kMix0 = 0xA0761D6478BD642FULL;
constexpr std::uint64_t kMix1 = 0xE7037ED1A0B428DBULL;
constexpr std::uint64_t kMix2 = 0x8EBC6AF09C88C6E3ULL;

std::uint64_t draw_seed() {
  std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  // The device may be unavailable; the clock and the address of a local
  // (moved by address-space randomisation) are then the seed.
  try {
    std::random_device device;
    seed ^= (static_cast<std::uint64_t>(device()) << 32) | device();
  } catch (...) {
    const int local = 0;
    seed ^= reinterpret_cast<std::uintptr_t>(&local);
  }
  return fold_multiply(seed ^ kMix0, kMix1);
}

}  // namespace

std::uint64_t key_hash_seed() {
  static const std::uint64_t seed = draw_seed();
  return seed;
}

std::uint64_t key_hash(std::string_view key, std::uint64_t seed) {
  const char* at = key.data();
  std::size_t left = key.size();
  std::uint64_t hash = seed ^ fold_multiply(key.size() ^ kMix0, kMix1);
  for (; left >= 16; at += 16, left -= 16) {
    hash = fold_multiply(read_word(at) ^ kMix1 ^ hash, read_word(at + 8) ^ kMix2 ^ seed);
  }
  if (left >= 8) {
    hash = fold_multiply(read_word(at) ^ kMix1 ^ hash, read_tail(at + 8, left - 8) ^ kMix2 ^ seed);
  } else {
    hash = fold_multiply(read_tail(at, left) ^ kMix1 ^ hash, kMix2 ^ seed);
  }
  return fold_multiply(hash ^ kMix0, kMix1 ^ seed);
}

}  // namespace zorv
