#include "wire/resolve_many_json.h"

#include "core/in_memory_regulatory_policy_adapter.h"
#include "json/json_reader.h"
#include "wire/pack_index.h"
#include "wire/pack_table.h"
#include "wire/wire_decision.h"
#include "wire/wire_query.h"

namespace zorv::wire {

Result<std::string> resolve_many_json(std::string_view packs_json, std::string_view queries_json,
                                      std::optional<std::string_view> strictness_override) {
  Result<PackIndex> packs = PackIndex::read(packs_json);
  if (!packs.ok()) return std::move(packs.error());

  std::optional<Strictness> strictness;
  if (strictness_override) strictness = Strictness::parse(*strictness_override);
  // Sorted once, so that each distinct key costs a binary search, not a
  // scan of the whole map.
  const PackTable table(packs.value());
  PackCache cache;
  const InMemoryRegulatoryPolicyAdapter adapter(std::move(strictness), table, cache);
  return decide_each_query(queries_json,
                           [&](const RegulatoryQuery& query) { return adapter.required_controls(query); });
}

Result<std::string> decide_each_query(std::string_view queries_json,
                                      const std::function<ControlDecision(const RegulatoryQuery&)>& decide) {
  // Each query is decided as soon as it is read, so only one is held at a
  // time; a fault in a later query throws the decisions so far away.
  std::string text = "[";
  std::size_t count = 0;
  bool in_query = false;
  json::JsonReader reader(queries_json);
  const bool ok = reader.read_document([&] {
    return reader.read_array(
        [&] {
          WireQuery query;
          in_query = true;
          if (!WireQuery::read_from(reader, query)) return false;
          in_query = false;
          if (count++ > 0) text += ',';
          WireDecision::from_core(decide(std::move(query).into_core())).write(text);
          return true;
        },
        "a sequence");
  });
  if (!ok) {
    const std::string prefix = in_query ? "queries_json[" + std::to_string(count) + "] is not a valid RegulatoryQuery: "
                                        : std::string("queries_json is not a valid sequence of RegulatoryQuery: ");
    return ErrorMessage{json::fault_message(prefix, queries_json, reader.fault())};
  }
  text += ']';
  return text;
}

}  // namespace zorv::wire
