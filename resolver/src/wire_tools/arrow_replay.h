// ArrowReplay: the replay (record_replay.h) of every row of the string
// column `record` of some Arrow batches, each row one decision-log line,
// made over threads and held as the buffers of the Arrow columns it is
// returned in:
//
//   changed, loosened, tightened, provenance_only   bool
//   decision   string, null for a blank line: the new decision's text
//   stem       string, null for a blank line: the query's profile "/" domain
//   gained     list of strings: the controls newly required
//   lost       list of strings: the controls no longer required
//
// `decision` and `stem` share one validity buffer. The column may be in any
// of Arrow's three string layouts (arrow_query_columns.h). A row that is
// null, not UTF-8, holds a line feed or is not a record the resolver
// accepts makes the whole replay an error naming the column and the row
// (counted from 0 over all batches): the first such row, whatever thread
// found it. Rows are cut into runs that the threads take in turn, each run
// written to buffers of its own and the runs joined in row order, so the
// buffers are the same for every number of threads. Strings use 32-bit
// offsets; a column whose text passes 2 GiB is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wire_tools/arrow_c_data.h"
#include "wire_tools/arrow_query_columns.h"
#include "wire_tools/arrow_texts.h"
#include "wire_tools/pack_set.h"
#include "wire/result.h"

namespace zorv::wire {

// The column `record` of one batch, read in place.
struct ArrowRecordColumn {
  ArrowStrings records;
  std::int64_t length = 0;
  std::int64_t first_row = 0;  // its first row's number over all batches

  // Reads the column `record` of the batch `array` (a struct array of
  // named columns) of schema `schema`; an error when there is none or it
  // is not a string column. Rows are checked as they are replayed.
  static Result<ArrowRecordColumn> read(const ArrowSchema& schema, const ArrowArray& array, std::int64_t first_row);
};

class ArrowReplay {
 public:
  enum class Buffer {
    changed_bits,
    loosened_bits,
    tightened_bits,
    provenance_only_bits,
    decided_validity,
    decision_offsets,
    decision_data,
    stem_offsets,
    stem_data,
    gained_list_offsets,
    gained_offsets,
    gained_data,
    lost_list_offsets,
    lost_offsets,
    lost_data,
  };
  static constexpr std::size_t kBuffers = 15;

  static Result<ArrowReplay> replay(const PackSet& set, const std::vector<ArrowRecordColumn>& batches,
                                    std::size_t threads);

  std::int64_t rows() const { return rows_; }
  std::size_t size(Buffer buffer) const;
  // Writes the buffer into `out`, which holds size(buffer) bytes.
  void write(Buffer buffer, char* out) const;

  // The rows of one run.
  struct Run {
    std::size_t batch = 0;
    std::int64_t begin = 0;
    std::int64_t end = 0;
    std::vector<std::uint8_t> flags;  // per row, the bits of Flag
    ArrowTexts decision, stem, gained, lost;
    std::vector<std::uint64_t> gained_ends, lost_ends;  // items so far, per row
    std::optional<ErrorMessage> error;                  // the run's first bad row; the run stops there
  };
  enum Flag : std::uint8_t { changed = 1, loosened = 2, tightened = 4, provenance_only = 8, decided = 16 };

 private:
  std::int64_t rows_ = 0;
  std::vector<Run> runs_;
};

}  // namespace zorv::wire
