// PackIndex: the caller's pack map (`packs_json`) read and validated, with
// every pack text left undecoded in the caller's text. Reading checks every
// key and value; decoding happens only for the entries a query can use, so a
// call never copies the texts of packs it does not look at.
//
// The index borrows the JSON text it was read from and lives no longer.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/in_memory_regulatory_policy_adapter.h"
#include "json/json_string_scanner.h"
#include "wire/result.h"

namespace zorv::wire {

inline constexpr std::string_view kPacksJsonPrefix = "packs_json is not an object of path->toml strings: ";

class PackIndex {
 public:
  struct Entry {
    json::RawJsonString key;
    json::RawJsonString text;
  };

  // Reads `packs_json`: one JSON object whose every value is a string.
  static Result<PackIndex> read(std::string_view packs_json);

  // The pack map restricted to `keys`: decoded texts of the entries filed
  // under one of them, the last one in the text winning for a repeated key.
  PackMap select(std::span<const std::string> keys) const;

  std::size_t size() const { return entries_.size(); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace zorv::wire
