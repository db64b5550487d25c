// Many queries against one pack map in one call: the map is read once, and
// each pack it holds at most once, however many queries ask for it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/control_decision.h"
#include "core/regulatory_query.h"
#include "wire/result.h"

namespace zorv::wire {

// `queries_json` is a JSON array of queries. The result is "[", the texts
// resolve_json gives for each query in order joined by ",", then "]". An
// unusable pack map is reported as resolve_json reports it; an unusable
// query as "queries_json[<index>] is not a valid RegulatoryQuery: ", then
// the fault, with its line and column in the whole of `queries_json`.
Result<std::string> resolve_many_json(std::string_view packs_json, std::string_view queries_json,
                                      std::optional<std::string_view> strictness_override);

// The array half of resolve_many_json: reads `queries_json` one query at a
// time and writes what `decide` gives for each, with the same messages.
Result<std::string> decide_each_query(std::string_view queries_json,
                                      const std::function<ControlDecision(const RegulatoryQuery&)>& decide);

}  // namespace zorv::wire
