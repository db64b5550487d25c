// KeyHash: the hash the resolver's tables use for control keys. It reads
// every byte of the key and is keyed with a seed drawn once per process, so
// a caller cannot prepare a set of keys that all land in one slot: a table
// of n keys stays linear whatever the keys are.
//
// The seed changes only where a key sits in a table, never what a table
// answers: no output may depend on a hash value or on a table's slot order.
// Pure after the seed is drawn; safe to call from many threads at once.
#pragma once

#include <cstdint>
#include <string_view>

namespace zorv {

// The process's seed, drawn on first use.
std::uint64_t key_hash_seed();

// A 64-bit hash of all of `key`'s bytes under `seed`.
std::uint64_t key_hash(std::string_view key, std::uint64_t seed);

}  // namespace zorv
