#include "wire/pack_index.h"

#include <algorithm>

#include "wire/json_reader.h"

namespace zorv::wire {

namespace {

bool key_equals(RawJsonString raw, std::string_view wanted) {
  if (!raw.has_escapes) return raw.content == wanted;
  // An escape takes at least two bytes for one byte decoded, so a shorter
  // raw key cannot decode to `wanted`.
  if (raw.content.size() < wanted.size()) return false;
  return unescaped(raw) == wanted;
}

}  // namespace

Result<PackIndex> PackIndex::read(std::string_view packs_json) {
  PackIndex index;
  JsonReader reader(packs_json);
  const bool ok = reader.read_document([&] {
    return reader.read_string_map([&](RawJsonString key, RawJsonString text) {
      index.entries_.push_back({key, text});
    });
  });
  if (!ok) return ErrorMessage{fault_message(kPacksJsonPrefix, packs_json, reader.fault())};
  return index;
}

PackMap PackIndex::select(std::span<const std::string> keys) const {
  PackMap packs;
  for (const auto& key : keys) {
    const auto last = std::find_if(entries_.rbegin(), entries_.rend(),
                                   [&](const Entry& entry) { return key_equals(entry.key, key); });
    if (last != entries_.rend()) packs.emplace(key, unescaped(last->text));
  }
  return packs;
}

}  // namespace zorv::wire
