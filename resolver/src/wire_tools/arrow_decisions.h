// ArrowDecisions: the decisions of a prepared pack set for every row of
// some Arrow batches (arrow_query_columns.h), made over threads and held as
// the buffers of the Arrow columns they are returned in:
//
//   decision     string: the text resolve_json gives for the row's query
//   required     list of strings: the decision's required controls
//   source       string: the provenance's source
//   strictness   string: the provenance's strictness
//   fell_back    bool
//   pack         int32, null when no pack key was found: the position in
//                PackSet::entries() of the key the lookup found (a pack that
//                is malformed or out of its window included)
//
// Rows are cut into runs that the threads take in turn, each run written to
// buffers of its own and the runs joined in row order, so the buffers are
// the same for every number of threads. Strings use 32-bit offsets, as
// Arrow's `string` type does; a column whose text passes 2 GiB is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wire_tools/arrow_query_columns.h"
#include "wire_tools/arrow_texts.h"
#include "wire_tools/pack_set.h"
#include "wire/result.h"

namespace zorv::wire {

class ArrowDecisions {
 public:
  // The buffers, each laid out as Arrow lays out that column's buffer.
  enum class Buffer {
    decision_offsets,
    decision_data,
    required_list_offsets,
    required_offsets,
    required_data,
    source_offsets,
    source_data,
    strictness_offsets,
    strictness_data,
    fell_back_bits,
    pack_validity,
    pack_positions,
  };
  static constexpr std::size_t kBuffers = 12;

  // Decides every row of `batches` in order, a row's own strictness taking
  // the place of `strictness_override` where it has one. An error when a
  // column's text would not fit 32-bit offsets.
  static Result<ArrowDecisions> decide(const PackSet& set, const std::vector<ArrowQueryColumns>& batches,
                                       std::optional<std::string_view> strictness_override, std::size_t threads);

  std::int64_t rows() const { return rows_; }
  std::size_t size(Buffer buffer) const;
  // Writes the buffer into `out`, which holds size(buffer) bytes.
  void write(Buffer buffer, char* out) const;

  using Texts = ArrowTexts;
  // The columns of one run of rows.
  struct Run {
    std::size_t batch = 0;
    std::int64_t begin = 0;
    std::int64_t end = 0;
    Texts decision, required, source, strictness;
    std::vector<std::uint64_t> required_ends;  // items so far, per row
    std::vector<std::uint8_t> fell_back;
    std::vector<std::int32_t> pack;  // -1: no key found
  };

 private:
  std::int64_t rows_ = 0;
  std::vector<Run> runs_;
};

}  // namespace zorv::wire
