// WireCall: the arguments every single-query operation reads, in the order it
// reads them: the pack map, then the query, then the optional dial. The first
// unusable text is the one reported.
#pragma once

#include <optional>
#include <string_view>

#include "core/regulatory_query.h"
#include "core/strictness.h"
#include "wire/pack_index.h"
#include "wire/result.h"

namespace zorv::wire {

struct WireCall {
  PackIndex packs;  // borrows `packs_json`, which must outlive the call
  RegulatoryQuery query;
  std::optional<Strictness> strictness_override;

  static Result<WireCall> read(std::string_view packs_json, std::string_view query_json,
                               std::optional<std::string_view> strictness_override);
};

}  // namespace zorv::wire
