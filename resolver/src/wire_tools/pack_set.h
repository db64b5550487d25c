// PackSet: a pack map read once, kept to answer any number of queries, each
// pack in it read the first time a query needs it and kept. What a service
// builds at start-up: each answer then costs reading the query, one lookup
// and the decision, never reading the map or the pack again. Every answer
// and every error message is the one the stateless operations
// (resolve_json, resolve_with_receipts_json, explain_json,
// resolve_many_json) give for the same map.
//
// The set borrows the JSON text it was read from, which must outlive it.
// Its answers never change once built (a pack read on first use is filed
// once, atomically): any number of threads may call any method at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
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
  // Reads `packs_json` (its packs are read when first asked for). An
  // unusable map is the error resolve_json gives for it; a pack that is not
  // one is no error: its queries fall back as they would one call at a time.
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

  // A batch whose UTF-8 text is made a piece at a time (by the caller, on
  // this thread) and decided as the pieces arrive, on `threads` threads.
  // `next_piece` is called on this thread until it says `end` or `failed`;
  // each piece stays valid until this call returns, and the pieces together
  // are the whole text, best cut just before elements of the array begin.
  // Then `after_last_piece` is called, and this thread joins the deciding.
  // The answer is resolve_many_json's for the whole text; nullopt when the
  // pieces cannot be answered alone (a cut that was not between two
  // queries, a query that cannot be read, a piece that could not be made),
  // for the caller to answer the whole text instead, which reports any
  // fault as usual.
  enum class Piece { made, end, failed };
  using NextPiece = std::function<Piece(std::string_view& piece)>;
  std::optional<std::string> resolve_many_in_pieces(const NextPiece& next_piece,
                                                    const std::function<void()>& after_last_piece,
                                                    std::optional<std::string_view> strictness_override,
                                                    std::size_t threads) const;

  // The decision for a query already read.
  ControlDecision decide(const RegulatoryQuery& query, const std::optional<Strictness>& strictness) const;

  // The pack keys in ascending byte order, each once.
  const std::vector<PackTable::Entry>& entries() const { return table_.entries(); }
  std::size_t size() const { return table_.entries().size(); }
  // The text filed under `key`, decoded, or nullopt.
  std::optional<std::string> pack_text(std::string_view key) const;

 private:
  // The packs read from the table's texts, each the first time a query
  // needs it, so that building a set costs reading the map and not reading
  // every pack in it. Slot i belongs to table entry i; once set it is never
  // changed, so a reader that sees it set may use the pack without a lock.
  // Two threads that find the same slot empty may both read the pack: the
  // first to file its copy wins, the other drops an equal one.
  class LazyPacks {
   public:
    explicit LazyPacks(std::size_t size);
    LazyPacks(LazyPacks&& other) noexcept;
    LazyPacks& operator=(LazyPacks&& other) noexcept;
    ~LazyPacks() { drop(); }

    // The pack read from `text`, filed as slot `at`; absent for a text that
    // is not a pack.
    const std::optional<PolicyPack>& at(std::size_t at, json::RawJsonString text) const;

   private:
    void drop();

    std::size_t size_ = 0;
    std::unique_ptr<std::atomic<std::optional<PolicyPack>*>[]> slots_;
  };

  explicit PackSet(PackTable table) : table_(std::move(table)), packs_(table_.entries().size()) {}

  PackTable table_;
  LazyPacks packs_;
};

}  // namespace zorv::wire
