// PackSet: a pack map read once, with every pack in it read once, kept to
// answer any number of queries. What a service builds at start-up: each
// answer then costs reading the query, one lookup and the decision, never
// reading the map again. Every answer and every error message is the one
// the stateless operations (resolve_json, resolve_with_receipts_json,
// explain_json, resolve_many_json) give for the same map.
//
// The set borrows the JSON text it was read from, which must outlive it.
// Immutable once built: any number of threads may call any method at once.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/control_decision.h"
#include "pack/policy_pack.h"
#include "core/regulatory_query.h"
#include "core/strictness.h"
#include "wire/pack_table.h"
#include "wire/result.h"

namespace zorv::wire {

class PackSet {
 public:
  // Reads `packs_json` and every pack it holds. An unusable map is the error
  // resolve_json gives for it; a pack that is not one is no error: its
  // queries fall back as they would one call at a time.
  static Result<PackSet> read(std::string_view packs_json);

  Result<std::string> resolve_json(std::string_view query_json,
                                   std::optional<std::string_view> strictness_override) const;
  Result<std::string> resolve_with_receipts_json(std::string_view query_json, std::string_view ctx_json,
                                                 std::optional<std::string_view> strictness_override) const;
  Result<std::string> explain_json(std::string_view query_json,
                                   std::optional<std::string_view> strictness_override) const;
  // As resolve_many_json, the queries shared out over `threads` threads (the
  // calling one included); the text is the same for every thread count.
  Result<std::string> resolve_many_json(std::string_view queries_json,
                                        std::optional<std::string_view> strictness_override, std::size_t threads) const;

  // The decision for a query already read.
  ControlDecision decide(const RegulatoryQuery& query, const std::optional<Strictness>& strictness) const;

  // The pack keys in ascending byte order, each once.
  const std::vector<PackTable::Entry>& entries() const { return table_.entries(); }
  std::size_t size() const { return table_.entries().size(); }
  // The text filed under `key`, decoded, or nullopt.
  std::optional<std::string> pack_text(std::string_view key) const;

 private:
  explicit PackSet(PackTable table) : table_(std::move(table)) {}

  PackTable table_;
  // One per table entry, in the same order; absent for a text that is not
  // a pack.
  std::vector<std::optional<PolicyPack>> packs_;
};

}  // namespace zorv::wire
