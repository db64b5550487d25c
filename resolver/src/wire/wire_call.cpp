#include "wire/wire_call.h"

#include "wire/wire_query.h"

namespace zorv::wire {

Result<WireCall> WireCall::read(std::string_view packs_json, std::string_view query_json,
                                std::optional<std::string_view> strictness_override) {
  Result<PackIndex> packs = PackIndex::read(packs_json);
  if (!packs.ok()) return std::move(packs.error());
  Result<WireQuery> wire_query = WireQuery::read(query_json);
  if (!wire_query.ok()) return std::move(wire_query.error());
  std::optional<Strictness> strictness;
  if (strictness_override) strictness = Strictness::parse(*strictness_override);
  return WireCall{std::move(packs.value()), std::move(wire_query.value()).into_core(), std::move(strictness)};
}

}  // namespace zorv::wire
