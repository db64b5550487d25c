// PackLookup: where the adapter finds a pack's text by its key. The core's
// one view of the caller's packs: the adapter applies the lookup rule (which
// keys, in which order) and asks for each key at most once; an
// implementation only answers whether it holds that key.
//
// Implementations are read-only after they are built, so one may be asked
// from many threads at once.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zorv {

class PackLookup {
 public:
  virtual ~PackLookup() = default;

  // The text filed under exactly `key` (bytes compared), or nullopt. The
  // view points into the lookup's own storage, or into `storage` when the
  // text had to be made (decoded) for the answer; it lives as long as both.
  virtual std::optional<std::string_view> find(std::string_view key, std::string& storage) const = 0;
};

// Pack key to pack TOML text; keys compared byte for byte.
using PackMap = std::map<std::string, std::string, std::less<>>;

// A PackLookup over a map it owns.
class PackMapLookup final : public PackLookup {
 public:
  explicit PackMapLookup(PackMap packs) : packs_(std::move(packs)) {}

  std::optional<std::string_view> find(std::string_view key, std::string&) const override {
    const auto found = packs_.find(key);
    return found == packs_.end() ? std::nullopt : std::optional<std::string_view>(found->second);
  }

 private:
  PackMap packs_;
};

}  // namespace zorv
