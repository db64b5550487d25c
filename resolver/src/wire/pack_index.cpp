#include "wire/pack_index.h"

#include <algorithm>

#include "json/json_reader.h"

namespace zorv::wire {

namespace {

bool key_equals(json::RawJsonString raw, std::string_view wanted) {
  if (!raw.has_escapes) return raw.content == wanted;
  // An escape takes at least two bytes for one byte decoded, so a shorter
  // raw key cannot decode to `wanted`.
  if (raw.content.size() < wanted.size()) return false;
  return json::unescaped(raw) == wanted;
}

}  // namespace

Result<PackIndex> PackIndex::read(std::string_view packs_json) {
  PackIndex index;
  json::JsonReader reader(packs_json);
  const bool ok = reader.read_document([&] {
    return reader.read_string_map(
        [&](json::RawJsonString key, json::RawJsonString text) { index.entries_.push_back({key, text}); });
  });
  if (!ok) return ErrorMessage{json::fault_message(kPacksJsonPrefix, packs_json, reader.fault())};
  return index;
}

std::optional<std::string_view> PackIndex::find(std::string_view key, std::string& storage) const {
  const auto last =
      std::find_if(entries_.rbegin(), entries_.rend(), [&](const Entry& entry) { return key_equals(entry.key, key); });
  if (last == entries_.rend()) return std::nullopt;
  if (!last->text.has_escapes) return last->text.content;
  storage = json::unescaped(last->text);
  return storage;
}

PackMap PackIndex::to_map() const {
  PackMap packs;
  for (const Entry& entry : entries_) packs.insert_or_assign(json::unescaped(entry.key), json::unescaped(entry.text));
  return packs;
}

}  // namespace zorv::wire
