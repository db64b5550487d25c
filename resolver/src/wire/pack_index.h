// PackIndex: the caller's pack map (`packs_json`) read and validated, with
// every pack text left undecoded in the caller's text. Reading checks every
// key and value; it is the PackLookup the adapter asks, and a text is
// decoded only when the adapter asks for its key, so a call never copies the
// texts of packs it does not look at.
//
// The index borrows the JSON text it was read from and lives no longer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pack/pack_lookup.h"
#include "json/json_string_scanner.h"
#include "wire/result.h"

namespace zorv::wire {

inline constexpr std::string_view kPacksJsonPrefix = "packs_json is not an object of path->toml strings: ";

class PackIndex final : public PackLookup {
 public:
  struct Entry {
    json::RawJsonString key;
    json::RawJsonString text;
  };

  // Reads `packs_json`: one JSON object whose every value is a string.
  static Result<PackIndex> read(std::string_view packs_json);

  // The text filed under `key`, the last one in the text winning for a
  // repeated key: a view into the caller's text when it has no escapes, else
  // decoded into `storage`.
  std::optional<std::string_view> find(std::string_view key, std::string& storage) const override;

  std::size_t size() const { return entries_.size(); }
  // Every member in text order, repeated keys included.
  const std::vector<Entry>& entries() const { return entries_; }

  // Every key with its text, decoded; for a repeated key the last one wins,
  // as in find.
  PackMap to_map() const;

 private:
  std::vector<Entry> entries_;
};

}  // namespace zorv::wire
