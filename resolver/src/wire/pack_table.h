// PackTable: a pack map's keys decoded and sorted, each with the text last
// filed under it, so that a key is found by binary search instead of a scan
// of the whole map. What a batch or a prepared pack set looks packs up in:
// building it costs one sort of the keys, and a lookup then costs
// O(log packs) whatever the keys are (there is no hash to defeat).
//
// The table borrows the JSON text its PackIndex was read from, and lives no
// longer than that text. Read-only after it is built, so one table may be
// asked from many threads at once.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/pack_lookup.h"
#include "json/json_string_scanner.h"
#include "wire/pack_index.h"

namespace zorv::wire {

class PackTable final : public PackLookup {
 public:
  struct Entry {
    std::string_view key;      // decoded
    json::RawJsonString text;  // the last text filed under `key`
  };

  explicit PackTable(const PackIndex& index);
  PackTable(const PackTable&) = delete;
  PackTable& operator=(const PackTable&) = delete;
  PackTable(PackTable&&) noexcept = default;
  PackTable& operator=(PackTable&&) noexcept = default;

  // The entry for exactly `key` (bytes compared), or nullptr.
  const Entry* entry(std::string_view key) const;
  // Its position in entries(), or nullopt.
  std::optional<std::size_t> position(std::string_view key) const;

  std::optional<std::string_view> find(std::string_view key, std::string& storage) const override;

  // In ascending byte order of the keys, each key once.
  const std::vector<Entry>& entries() const { return entries_; }

  // A text decoded: a view into the map's text when it has no escapes,
  // else decoded into `storage`.
  static std::string_view decoded(json::RawJsonString raw, std::string& storage);

 private:
  std::vector<Entry> entries_;
  std::deque<std::string> decoded_keys_;  // keys that carried escapes
};

}  // namespace zorv::wire
