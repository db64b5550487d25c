#include "wire_tools/arrow_replay.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <mutex>

#include "text/utf8_validation.h"
#include "wire_tools/record_replay.h"
#include "wire_tools/thread_runs.h"

namespace zorv::wire {
namespace {

// Enough runs per thread that one slow run does not leave the others idle.
constexpr std::size_t kRunsPerThread = 16;
constexpr std::uint64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kNoRun = std::numeric_limits<std::size_t>::max();

ErrorMessage row_error(std::int64_t row, std::string_view what) {
  return ErrorMessage{"column `record` at row " + std::to_string(row) + std::string(what)};
}

// Replays the rows of `run` until the first bad one, which ends the run
// with its error.
void replay_run(RecordReplayer& replayer, const ArrowRecordColumn& column, ArrowReplay::Run& run) {
  const std::size_t rows = static_cast<std::size_t>(run.end - run.begin);
  run.flags.reserve(rows);
  run.decision.ends.reserve(rows);
  run.stem.ends.reserve(rows);
  run.gained_ends.reserve(rows);
  run.lost_ends.reserve(rows);
  for (std::int64_t row = run.begin; row < run.end; ++row) {
    const std::int64_t shown = column.first_row + row;
    if (column.records.is_null(row)) {
      run.error = row_error(shown, " is null, expected a string");
      return;
    }
    if (!column.records.well_formed(row)) {
      run.error = row_error(shown, " has text outside its buffers");
      return;
    }
    const std::string_view line = column.records.at(row);
    if (!text::is_valid_utf8(line)) {
      run.error = row_error(shown, " is not valid UTF-8");
      return;
    }
    if (line.find('\n') != std::string_view::npos) {
      run.error = row_error(shown, " holds a line feed; a record is one line");
      return;
    }
    std::uint8_t flags = 0;
    if (is_blank_line(line)) {
      run.decision.add({});
      run.stem.add({});
    } else {
      const RecordReplayer::Outcome outcome = replayer.replay(line);
      if (outcome == RecordReplayer::Outcome::bad) {
        run.error =
            row_error(shown, ", column " + std::to_string(replayer.bad_column()) + ": " + replayer.bad_reason());
        return;
      }
      flags = ArrowReplay::decided;
      if (outcome == RecordReplayer::Outcome::changed) {
        flags |= ArrowReplay::changed;
        if (!replayer.lost().empty()) flags |= ArrowReplay::loosened;
        if (!replayer.gained().empty()) flags |= ArrowReplay::tightened;
        if (replayer.provenance_only()) flags |= ArrowReplay::provenance_only;
        for (const std::string_view control : replayer.gained()) run.gained.add(control);
        for (const std::string_view control : replayer.lost()) run.lost.add(control);
      }
      run.decision.add(replayer.after());
      run.stem.add(replayer.stem());
    }
    run.flags.push_back(flags);
    run.gained_ends.push_back(run.gained.ends.size());
    run.lost_ends.push_back(run.lost.ends.size());
  }
}

// Shared by the threads of one call. A run after one that failed need not
// be replayed: the first failing run's error is the one reported.
struct Work {
  const PackSet& set;
  const std::vector<ArrowRecordColumn>& batches;
  std::vector<ArrowReplay::Run>& runs;
  std::atomic<std::size_t> next_run{0};
  std::atomic<std::size_t> first_failed{kNoRun};
  std::mutex fault_mutex;
  std::exception_ptr fault;

  void work() {
    try {
      RecordReplayer replayer(set);
      for (std::size_t run = next_run++; run < runs.size() && run < first_failed; run = next_run++) {
        replay_run(replayer, batches[runs[run].batch], runs[run]);
        if (runs[run].error) {
          std::size_t seen = first_failed;
          while (run < seen && !first_failed.compare_exchange_weak(seen, run)) {
          }
        }
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(fault_mutex);
      if (!fault) fault = std::current_exception();
      first_failed = 0;
    }
  }
};

void write_bits(const std::vector<ArrowReplay::Run>& runs, std::uint8_t flag, char* out, std::size_t size) {
  std::fill(out, out + size, 0);
  std::size_t row = 0;
  for (const ArrowReplay::Run& run : runs) {
    for (const std::uint8_t flags : run.flags) {
      if ((flags & flag) != 0) out[row >> 3] = static_cast<char>(out[row >> 3] | (1 << (row & 7)));
      ++row;
    }
  }
}

}  // namespace

Result<ArrowRecordColumn> ArrowRecordColumn::read(const ArrowSchema& schema, const ArrowArray& array,
                                                  std::int64_t first_row) {
  const std::string_view format = schema.format == nullptr ? "" : schema.format;
  if (format != "+s" || array.n_children != schema.n_children || array.length < 0 ||
      (array.n_children > 0 && array.children == nullptr)) {
    return ErrorMessage{"the batch is not a table of named columns (Arrow format \"" + std::string(format) + "\")"};
  }
  for (std::int64_t i = 0; i < schema.n_children; ++i) {
    const ArrowSchema* child = schema.children[i];
    if (child == nullptr || child->name == nullptr || std::string_view(child->name) != "record") continue;
    const std::string_view child_format = child->format == nullptr ? "" : child->format;
    const std::optional<ArrowStrings::Layout> layout = ArrowStrings::layout_of(child_format);
    if (!layout) {
      return row_error(first_row, " has Arrow format \"" + std::string(child_format) +
                                      "\", expected a string (Arrow format \"u\", \"U\" or \"vu\")");
    }
    const ArrowArray* data = array.children[i];
    std::optional<ArrowStrings> records;
    if (data != nullptr && data->length >= array.offset + array.length)
      records = ArrowStrings::of(*layout, *data, array.offset);
    if (!records) return row_error(first_row, " has buffers that do not fit its Arrow format");
    return ArrowRecordColumn{*records, array.length, first_row};
  }
  return ErrorMessage{"the batch has no column `record`"};
}

Result<ArrowReplay> ArrowReplay::replay(const PackSet& set, const std::vector<ArrowRecordColumn>& batches,
                                        std::size_t threads) {
  ArrowReplay replay;
  for (const ArrowRecordColumn& batch : batches) replay.rows_ += batch.length;
  const std::size_t rows = static_cast<std::size_t>(replay.rows_);
  threads = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(1, rows));
  const std::size_t runs_wanted = threads * kRunsPerThread;
  const std::int64_t run_length =
      static_cast<std::int64_t>(std::max<std::size_t>(1, (rows + runs_wanted - 1) / runs_wanted));
  for (std::size_t batch = 0; batch < batches.size(); ++batch) {
    for (std::int64_t begin = 0; begin < batches[batch].length; begin += run_length) {
      Run run;
      run.batch = batch;
      run.begin = begin;
      run.end = std::min(batches[batch].length, begin + run_length);
      replay.runs_.push_back(std::move(run));
    }
  }

  Work work{set, batches, replay.runs_, {0}, {kNoRun}, {}, {}};
  work_on_threads(threads, [&work] { work.work(); });
  if (work.fault) std::rethrow_exception(work.fault);
  if (work.first_failed != kNoRun) return std::move(*replay.runs_[work.first_failed].error);

  const struct {
    const char* name;
    const ArrowTexts Run::* texts;
  } columns[] = {{"decision", &Run::decision}, {"stem", &Run::stem}, {"gained", &Run::gained}, {"lost", &Run::lost}};
  for (const auto& column : columns) {
    const auto texts = [&](const Run& run) -> const ArrowTexts& { return run.*column.texts; };
    if (arrow_buffers::data_size(replay.runs_, texts) > kMaxOffset ||
        arrow_buffers::count(replay.runs_, texts) > kMaxOffset) {
      return ErrorMessage{std::string("the column `") + column.name +
                          "` of this replay would pass 2 GiB; replay the rows in smaller batches"};
    }
  }
  return replay;
}

namespace {

const ArrowTexts& decision_of(const ArrowReplay::Run& run) { return run.decision; }
const ArrowTexts& stem_of(const ArrowReplay::Run& run) { return run.stem; }
const ArrowTexts& gained_of(const ArrowReplay::Run& run) { return run.gained; }
const ArrowTexts& lost_of(const ArrowReplay::Run& run) { return run.lost; }
const std::vector<std::uint64_t>& gained_ends_of(const ArrowReplay::Run& run) { return run.gained_ends; }
const std::vector<std::uint64_t>& lost_ends_of(const ArrowReplay::Run& run) { return run.lost_ends; }

}  // namespace

std::size_t ArrowReplay::size(Buffer buffer) const {
  const std::size_t rows = static_cast<std::size_t>(rows_);
  switch (buffer) {
    case Buffer::changed_bits:
    case Buffer::loosened_bits:
    case Buffer::tightened_bits:
    case Buffer::provenance_only_bits:
    case Buffer::decided_validity:
      return (rows + 7) / 8;
    case Buffer::decision_offsets:
    case Buffer::stem_offsets:
    case Buffer::gained_list_offsets:
    case Buffer::lost_list_offsets:
      return 4 * (rows + 1);
    case Buffer::decision_data:
      return arrow_buffers::data_size(runs_, decision_of);
    case Buffer::stem_data:
      return arrow_buffers::data_size(runs_, stem_of);
    case Buffer::gained_offsets:
      return 4 * (arrow_buffers::count(runs_, gained_of) + 1);
    case Buffer::gained_data:
      return arrow_buffers::data_size(runs_, gained_of);
    case Buffer::lost_offsets:
      return 4 * (arrow_buffers::count(runs_, lost_of) + 1);
    case Buffer::lost_data:
      return arrow_buffers::data_size(runs_, lost_of);
  }
  return 0;
}

void ArrowReplay::write(Buffer buffer, char* out) const {
  switch (buffer) {
    case Buffer::changed_bits:
      return write_bits(runs_, changed, out, size(buffer));
    case Buffer::loosened_bits:
      return write_bits(runs_, loosened, out, size(buffer));
    case Buffer::tightened_bits:
      return write_bits(runs_, tightened, out, size(buffer));
    case Buffer::provenance_only_bits:
      return write_bits(runs_, provenance_only, out, size(buffer));
    case Buffer::decided_validity:
      return write_bits(runs_, decided, out, size(buffer));
    case Buffer::decision_offsets:
      return arrow_buffers::write_offsets(runs_, decision_of, out);
    case Buffer::decision_data:
      return arrow_buffers::write_data(runs_, decision_of, out);
    case Buffer::stem_offsets:
      return arrow_buffers::write_offsets(runs_, stem_of, out);
    case Buffer::stem_data:
      return arrow_buffers::write_data(runs_, stem_of, out);
    case Buffer::gained_list_offsets:
      return arrow_buffers::write_list_offsets(runs_, gained_of, gained_ends_of, out);
    case Buffer::gained_offsets:
      return arrow_buffers::write_offsets(runs_, gained_of, out);
    case Buffer::gained_data:
      return arrow_buffers::write_data(runs_, gained_of, out);
    case Buffer::lost_list_offsets:
      return arrow_buffers::write_list_offsets(runs_, lost_of, lost_ends_of, out);
    case Buffer::lost_offsets:
      return arrow_buffers::write_offsets(runs_, lost_of, out);
    case Buffer::lost_data:
      return arrow_buffers::write_data(runs_, lost_of, out);
  }
}

}  // namespace zorv::wire
