#include "wire_tools/arrow_decisions.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>

#include "core/in_memory_regulatory_policy_adapter.h"
#include "wire/wire_decision.h"
#include "wire_tools/thread_runs.h"

namespace zorv::wire {
namespace {

// Enough runs per thread that one slow run does not leave the others idle.
constexpr std::size_t kRunsPerThread = 16;
constexpr std::uint64_t kMaxOffset = std::numeric_limits<std::int32_t>::max();

// The position of the first of the query's lookup keys the set holds.
std::int32_t found_position(const PackSet& set, const RegulatoryQuery& query) {
  const auto& entries = set.entries();
  for (const std::string& key : InMemoryRegulatoryPolicyAdapter::lookup_keys(query)) {
    const auto found = std::lower_bound(
        entries.begin(), entries.end(), key,
        [](const PackTable::Entry& entry, const std::string& wanted) { return entry.key < std::string_view(wanted); });
    if (found != entries.end() && found->key == key) return static_cast<std::int32_t>(found - entries.begin());
  }
  return -1;
}

void decide_run(const PackSet& set, const ArrowQueryColumns& batch, const std::optional<Strictness>& strictness,
                ArrowDecisions::Run& run) {
  const std::size_t rows = static_cast<std::size_t>(run.end - run.begin);
  run.decision.ends.reserve(rows);
  run.required.ends.reserve(rows);
  run.source.ends.reserve(rows);
  run.strictness.ends.reserve(rows);
  run.required_ends.reserve(rows);
  run.fell_back.reserve(rows);
  run.pack.reserve(rows);
  RegulatoryQuery query;
  std::vector<std::string_view> keys;
  std::string text;
  for (std::int64_t row = run.begin; row < run.end; ++row) {
    batch.fill_query(row, query, keys);
    const std::optional<std::string_view> own = batch.strictness(row);
    const ControlDecision decision = own ? set.decide(query, Strictness::parse(*own)) : set.decide(query, strictness);
    const WireDecision wire = WireDecision::from_core(decision);
    text.clear();
    wire.write(text);
    run.decision.add(text);
    for (const std::string_view control : wire.required) run.required.add(control);
    run.required_ends.push_back(run.required.ends.size());
    run.source.add(wire.provenance.source);
    run.strictness.add(wire.provenance.strictness);
    run.fell_back.push_back(wire.provenance.fell_back ? 1 : 0);
    run.pack.push_back(found_position(set, query));
  }
}

// Shared by the threads of one call.
struct Work {
  const PackSet& set;
  const std::vector<ArrowQueryColumns>& batches;
  const std::optional<Strictness>& strictness;
  std::vector<ArrowDecisions::Run>& runs;
  std::atomic<std::size_t> next_run{0};
  std::atomic<bool> failed{false};
  std::mutex fault_mutex;
  std::exception_ptr fault;

  void work() {
    try {
      for (std::size_t run = next_run++; run < runs.size() && !failed; run = next_run++) {
        decide_run(set, batches[runs[run].batch], strictness, runs[run]);
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(fault_mutex);
      if (!fault) fault = std::current_exception();
      failed = true;
    }
  }
};

const ArrowTexts& decision_of(const ArrowDecisions::Run& run) { return run.decision; }
const ArrowTexts& required_of(const ArrowDecisions::Run& run) { return run.required; }
const ArrowTexts& source_of(const ArrowDecisions::Run& run) { return run.source; }
const ArrowTexts& strictness_of(const ArrowDecisions::Run& run) { return run.strictness; }
const std::vector<std::uint64_t>& required_ends_of(const ArrowDecisions::Run& run) { return run.required_ends; }

}  // namespace

Result<ArrowDecisions> ArrowDecisions::decide(const PackSet& set, const std::vector<ArrowQueryColumns>& batches,
                                              std::optional<std::string_view> strictness_override,
                                              std::size_t threads) {
  ArrowDecisions decisions;
  for (const ArrowQueryColumns& batch : batches) decisions.rows_ += batch.length();
  const std::size_t rows = static_cast<std::size_t>(decisions.rows_);
  threads = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(1, rows));
  const std::size_t runs_wanted = threads * kRunsPerThread;
  const std::int64_t run_length =
      static_cast<std::int64_t>(std::max<std::size_t>(1, (rows + runs_wanted - 1) / runs_wanted));
  for (std::size_t batch = 0; batch < batches.size(); ++batch) {
    for (std::int64_t begin = 0; begin < batches[batch].length(); begin += run_length) {
      Run run;
      run.batch = batch;
      run.begin = begin;
      run.end = std::min(batches[batch].length(), begin + run_length);
      decisions.runs_.push_back(std::move(run));
    }
  }

  std::optional<Strictness> strictness;
  if (strictness_override) strictness = Strictness::parse(*strictness_override);
  Work work{set, batches, strictness, decisions.runs_, {}, {}, {}, {}};
  work_on_threads(threads, [&work] { work.work(); });
  if (work.fault) std::rethrow_exception(work.fault);

  const Texts Run::* columns[] = {&Run::decision, &Run::required, &Run::source, &Run::strictness};
  const char* names[] = {"decision", "required", "source", "strictness"};
  for (std::size_t i = 0; i < std::size(columns); ++i) {
    std::uint64_t bytes = 0;
    std::uint64_t items = 0;
    for (const Run& run : decisions.runs_) {
      bytes += (run.*columns[i]).data.size();
      items += (run.*columns[i]).ends.size();
    }
    if (bytes > kMaxOffset || items > kMaxOffset) {
      return ErrorMessage{std::string("the column `") + names[i] +
                          "` of these decisions would pass 2 GiB; decide the rows in smaller batches"};
    }
  }
  return decisions;
}

std::size_t ArrowDecisions::size(Buffer buffer) const {
  const std::size_t rows = static_cast<std::size_t>(rows_);
  switch (buffer) {
    case Buffer::decision_offsets:
    case Buffer::required_list_offsets:
    case Buffer::source_offsets:
    case Buffer::strictness_offsets:
      return 4 * (rows + 1);
    case Buffer::required_offsets:
      return 4 * (arrow_buffers::count(runs_, required_of) + 1);
    case Buffer::decision_data:
      return arrow_buffers::data_size(runs_, decision_of);
    case Buffer::required_data:
      return arrow_buffers::data_size(runs_, required_of);
    case Buffer::source_data:
      return arrow_buffers::data_size(runs_, source_of);
    case Buffer::strictness_data:
      return arrow_buffers::data_size(runs_, strictness_of);
    case Buffer::fell_back_bits:
    case Buffer::pack_validity:
      return (rows + 7) / 8;
    case Buffer::pack_positions:
      return 4 * rows;
  }
  return 0;
}

void ArrowDecisions::write(Buffer buffer, char* out) const {
  switch (buffer) {
    case Buffer::decision_offsets:
      return arrow_buffers::write_offsets(runs_, decision_of, out);
    case Buffer::decision_data:
      return arrow_buffers::write_data(runs_, decision_of, out);
    case Buffer::required_offsets:
      return arrow_buffers::write_offsets(runs_, required_of, out);
    case Buffer::required_data:
      return arrow_buffers::write_data(runs_, required_of, out);
    case Buffer::source_offsets:
      return arrow_buffers::write_offsets(runs_, source_of, out);
    case Buffer::source_data:
      return arrow_buffers::write_data(runs_, source_of, out);
    case Buffer::strictness_offsets:
      return arrow_buffers::write_offsets(runs_, strictness_of, out);
    case Buffer::strictness_data:
      return arrow_buffers::write_data(runs_, strictness_of, out);
    case Buffer::required_list_offsets:
      return arrow_buffers::write_list_offsets(runs_, required_of, required_ends_of, out);
    case Buffer::fell_back_bits:
    case Buffer::pack_validity: {
      std::memset(out, 0, size(buffer));
      std::size_t row = 0;
      for (const Run& run : runs_) {
        for (std::size_t i = 0; i < run.fell_back.size(); ++i, ++row) {
          const bool set = buffer == Buffer::fell_back_bits ? run.fell_back[i] != 0 : run.pack[i] >= 0;
          if (set) out[row >> 3] = static_cast<char>(out[row >> 3] | (1 << (row & 7)));
        }
      }
      return;
    }
    case Buffer::pack_positions:
      for (const Run& run : runs_) {
        for (const std::int32_t position : run.pack) arrow_buffers::put(out, std::max<std::int32_t>(position, 0));
      }
      return;
  }
}

}  // namespace zorv::wire
