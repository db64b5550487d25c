// The JSON form of a decision's explanation. Read like resolve_json reads
// its arguments, with the same messages for unusable texts.
//
//   {"decision": <the text resolve_json gives>,
//    "pack": {"source": <key or null>, "tried": [<primary>, <secondary>]},
//    "strictness": {"effective": <dial>, "from": "override"|"pack"|"default"|"fall-back"},
//    "fall_back": null | {"kind", "detail", "line", "column"},
//    "controls": [{"control", "required", "reason", "line", "column"}, ...]}
//
// Lines and columns count from 1 (columns in characters), or are null.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "pack/pack_lookup.h"
#include "core/regulatory_query.h"
#include "core/strictness.h"
#include "wire/result.h"

namespace zorv::wire {

Result<std::string> explain_json(std::string_view packs_json, std::string_view query_json,
                                 std::optional<std::string_view> strictness_override);

// The same JSON for a query already read, over packs already read.
std::string explanation_json(const PackLookup& packs, const std::optional<Strictness>& strictness_override,
                             const RegulatoryQuery& query);

}  // namespace zorv::wire
