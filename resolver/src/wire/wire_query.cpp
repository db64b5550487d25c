#include "wire/wire_query.h"

#include "json/json_reader.h"

namespace zorv::wire {

bool WireQuery::read_from(json::JsonReader& reader, WireQuery& query) {
  static const json::RecordShape kShape{
      "struct WireQuery", {"domain", "profile", "jurisdiction", "subject", "universe", "as_of"}, 0b011111};
  return reader.read_record(kShape, [&](std::size_t field) {
    switch (field) {
      case 0:
        return reader.read_string(query.domain);
      case 1:
        return reader.read_string(query.profile);
      case 2:
        return reader.read_string(query.jurisdiction);
      case 3:
        return reader.read_string(query.subject);
      case 4:
        return reader.read_string_views(query.universe, query.decoded);
      default:
        return reader.read_optional_string(query.as_of);
    }
  });
}

Result<WireQuery> WireQuery::read(std::string_view query_json) {
  WireQuery query;
  json::JsonReader reader(query_json);
  const bool ok = reader.read_document([&] { return read_from(reader, query); });
  if (!ok) return ErrorMessage{json::fault_message(kQueryJsonPrefix, query_json, reader.fault())};
  return query;
}

RegulatoryQuery WireQuery::into_core() && {
  return RegulatoryQuery{std::move(domain),
                         std::move(profile),
                         std::move(jurisdiction),
                         std::move(subject),
                         ControlUniverse::from_views(universe),
                         std::move(as_of)};
}

}  // namespace zorv::wire
