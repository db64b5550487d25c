// The block is cut into lines, the lines into runs that the threads take in
// turn; each run keeps a tally of its own, and the tallies are added up in
// run order, so the summary (the examples and the first bad line included)
// is the same whatever thread decided which run.
#include "wire_tools/decision_replay.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "json/json_writer.h"
#include "wire_tools/record_replay.h"
#include "wire_tools/thread_runs.h"

namespace zorv::wire {
namespace {

constexpr std::size_t kRunsPerThread = 16;

struct PackCounts {
  std::uint64_t records = 0, changed = 0, loosened = 0, tightened = 0;
};

struct Example {
  std::size_t line = 0;
  std::string_view query;
  std::optional<std::string> strictness;
  std::string_view before;
  std::string after;
};

struct BadLine {
  std::size_t line = 0;
  std::size_t column = 0;
  std::string reason;
};

using Counts = std::map<std::string, std::uint64_t, std::less<>>;

struct Tally {
  std::uint64_t records = 0, unchanged = 0, changed = 0, loosened = 0, tightened = 0, provenance_only = 0, bad = 0;
  std::map<std::string, PackCounts, std::less<>> by_pack;
  Counts gained, lost;
  std::vector<Example> examples;
  std::optional<BadLine> first_bad;

  void add_bad(std::size_t line, std::size_t column, std::string reason) {
    ++bad;
    if (!first_bad) first_bad = BadLine{line, column, std::move(reason)};
  }

  // Adds `later`, a tally of lines after this one's.
  void add(Tally&& later, std::size_t max_examples) {
    records += later.records;
    unchanged += later.unchanged;
    changed += later.changed;
    loosened += later.loosened;
    tightened += later.tightened;
    provenance_only += later.provenance_only;
    bad += later.bad;
    for (const auto& [stem, counts] : later.by_pack) {
      PackCounts& into = by_pack[stem];
      into.records += counts.records;
      into.changed += counts.changed;
      into.loosened += counts.loosened;
      into.tightened += counts.tightened;
    }
    for (const auto& [control, count] : later.gained) gained[control] += count;
    for (const auto& [control, count] : later.lost) lost[control] += count;
    for (Example& example : later.examples) {
      if (examples.size() >= max_examples) break;
      examples.push_back(std::move(example));
    }
    if (!first_bad) first_bad = std::move(later.first_bad);
  }
};

void count_controls(Counts& counts, const std::vector<std::string_view>& controls) {
  for (const std::string_view control : controls) {
    const auto found = counts.find(control);
    if (found != counts.end()) {
      ++found->second;
    } else {
      counts.emplace(std::string(control), 1);
    }
  }
}

class Replayer {
 public:
  Replayer(const PackSet& set, std::size_t max_examples) : record_(set), max_examples_(max_examples) {}

  void replay(std::string_view line, std::size_t number, Tally& tally) {
    const RecordReplayer::Outcome outcome = record_.replay(line);
    if (outcome == RecordReplayer::Outcome::bad) {
      tally.add_bad(number, record_.bad_column(), record_.bad_reason());
      return;
    }
    ++tally.records;
    PackCounts& counts = pack_counts(tally);
    ++counts.records;
    if (outcome == RecordReplayer::Outcome::unchanged) {
      ++tally.unchanged;
      return;
    }
    ++tally.changed;
    ++counts.changed;
    if (!record_.lost().empty()) {
      ++tally.loosened;
      ++counts.loosened;
      count_controls(tally.lost, record_.lost());
    }
    if (!record_.gained().empty()) {
      ++tally.tightened;
      ++counts.tightened;
      count_controls(tally.gained, record_.gained());
    }
    if (record_.provenance_only()) ++tally.provenance_only;
    if (tally.examples.size() < max_examples_) {
      DecisionLogRecord& record = record_.record();
      tally.examples.push_back(
          Example{number, record.query, std::move(record.strictness), record.decision, std::string(record_.after())});
    }
  }

 private:
  PackCounts& pack_counts(Tally& tally) {
    const auto found = tally.by_pack.find(record_.stem());
    if (found != tally.by_pack.end()) return found->second;
    return tally.by_pack[std::string(record_.stem())];
  }

  RecordReplayer record_;
  std::size_t max_examples_;
};

// Shared by the threads of one block.
struct Block {
  const PackSet& set;
  const ReplayOptions& options;
  const std::vector<std::string_view>& lines;
  std::size_t run_length;
  std::vector<Tally> tallies;
  std::atomic<std::size_t> next_run{0};
  std::mutex fault_mutex;
  std::exception_ptr fault;

  void work() {
    try {
      Replayer replayer(set, options.examples);
      for (std::size_t run = next_run++; run < tallies.size(); run = next_run++) {
        const std::size_t begin = run * run_length;
        const std::size_t end = std::min(lines.size(), begin + run_length);
        for (std::size_t i = begin; i < end; ++i) {
          if (!is_blank_line(lines[i])) replayer.replay(lines[i], options.first_line + i, tallies[run]);
        }
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(fault_mutex);
      if (!fault) fault = std::current_exception();
      next_run = tallies.size();
    }
  }
};

void write_counts(std::string& out, const Counts& counts) {
  out += '{';
  for (const auto& [control, count] : counts) {
    if (out.back() != '{') out += ',';
    json::append_string(out, control);
    out += ':';
    json::append_uint(out, count);
  }
  out += '}';
}

std::string summary_text(const Tally& tally) {
  std::string out = "{\"records\":";
  json::append_uint(out, tally.records);
  const std::pair<const char*, std::uint64_t> counters[] = {{"unchanged", tally.unchanged},
                                                            {"changed", tally.changed},
                                                            {"loosened", tally.loosened},
                                                            {"tightened", tally.tightened},
                                                            {"provenance_only", tally.provenance_only},
                                                            {"bad", tally.bad}};
  for (const auto& [name, value] : counters) {
    out.append(",\"").append(name).append("\":");
    json::append_uint(out, value);
  }
  out += ",\"by_pack\":{";
  for (const auto& [stem, counts] : tally.by_pack) {
    if (out.back() != '{') out += ',';
    json::append_string(out, stem);
    out += ":[";
    json::append_uint(out, counts.records);
    for (const std::uint64_t value : {counts.changed, counts.loosened, counts.tightened}) {
      out += ',';
      json::append_uint(out, value);
    }
    out += ']';
  }
  out += "},\"gained\":";
  write_counts(out, tally.gained);
  out += ",\"lost\":";
  write_counts(out, tally.lost);
  out += ",\"examples\":[";
  for (const Example& example : tally.examples) {
    if (out.back() != '[') out += ',';
    out += "{\"line\":";
    json::append_uint(out, example.line);
    out.append(",\"query\":").append(example.query).append(",\"strictness\":");
    if (example.strictness) {
      json::append_string(out, *example.strictness);
    } else {
      out += "null";
    }
    out.append(",\"before\":").append(example.before).append(",\"after\":").append(example.after).append("}");
  }
  out += "],\"first_bad\":";
  if (tally.first_bad) {
    out += "{\"line\":";
    json::append_uint(out, tally.first_bad->line);
    out += ",\"column\":";
    json::append_uint(out, tally.first_bad->column);
    out += ",\"reason\":";
    json::append_string(out, tally.first_bad->reason);
    out += '}';
  } else {
    out += "null";
  }
  out += '}';
  return out;
}

}  // namespace

std::string replay_lines(const PackSet& set, std::string_view block, const ReplayOptions& options) {
  std::vector<std::string_view> lines;
  for (std::size_t begin = 0; begin < block.size();) {
    std::size_t end = block.find('\n', begin);
    if (end == std::string_view::npos) end = block.size();
    lines.push_back(block.substr(begin, end - begin));
    begin = end + 1;
  }
  const std::size_t threads = std::clamp<std::size_t>(options.threads, 1, std::max<std::size_t>(1, lines.size()));
  const std::size_t runs_wanted = threads * kRunsPerThread;
  const std::size_t run_length = std::max<std::size_t>(1, (lines.size() + runs_wanted - 1) / runs_wanted);
  Block shared{set, options, lines, run_length, {}, {}, {}, {}};
  shared.tallies.resize((lines.size() + run_length - 1) / run_length);

  work_on_threads(threads, [&shared] { shared.work(); });
  if (shared.fault) std::rethrow_exception(shared.fault);

  Tally total;
  for (Tally& tally : shared.tallies) total.add(std::move(tally), options.examples);
  return summary_text(total);
}

}  // namespace zorv::wire
