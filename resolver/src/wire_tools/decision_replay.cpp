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

#include "json/json_reader.h"
#include "json/json_writer.h"
#include "wire_tools/decision_log_record.h"
#include "wire_tools/thread_runs.h"
#include "wire/wire_decision.h"
#include "wire/wire_query.h"

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

// A decision's parts as the comparison needs them.
struct DecisionParts {
  std::string verdict;
  std::vector<std::string> required;
  std::string_view provenance;
  std::size_t provenance_offset = 0;
  std::string disclaimer;
};

bool read_decision(std::string_view text, DecisionParts& parts, text::Fault& fault) {
  static const json::RecordShape kShape{
      "struct WireDecision", {"verdict", "required", "provenance", "disclaimer"}, 0b1111};
  json::JsonReader reader(text);
  const bool ok = reader.read_document([&] {
    return reader.read_record(kShape, [&](std::size_t field) {
      switch (field) {
        case 0:
          return reader.read_string(parts.verdict);
        case 1:
          return reader.read_string_array(parts.required);
        case 2:
          return reader.read_raw(parts.provenance, parts.provenance_offset);
        default:
          return reader.read_string(parts.disclaimer);
      }
    });
  });
  if (!ok) fault = reader.fault();
  return ok;
}

class Replayer {
 public:
  Replayer(const PackSet& set, std::size_t max_examples) : set_(set), max_examples_(max_examples) {}

  void replay(std::string_view line, std::size_t number, Tally& tally) {
    DecisionLogRecord record;
    text::Fault fault;
    if (!DecisionLogRecord::read(line, record, fault)) {
      tally.add_bad(number, fault.offset, "not a decision record: " + fault.detail);
      return;
    }
    WireQuery query;
    json::JsonReader reader(record.query);
    if (!reader.read_document([&] { return WireQuery::read_from(reader, query); })) {
      tally.add_bad(number, record.query_offset + reader.fault().offset,
                    std::string(kQueryJsonPrefix) + reader.fault().detail);
      return;
    }
    stem_.assign(query.profile).append("/").append(query.domain);
    std::optional<Strictness> dial;
    if (record.strictness) dial = Strictness::parse(*record.strictness);
    const ControlDecision decided = set_.decide(std::move(query).into_core(), dial);
    const WireDecision after = WireDecision::from_core(decided);
    after_text_.clear();
    after.write(after_text_);
    if (after_text_ == record.decision || same_without_whitespace(record.decision, after_text_)) {
      ++tally.records;
      ++tally.unchanged;
      ++pack_counts(tally).records;
      return;
    }

    DecisionParts before;
    if (!read_decision(record.decision, before, fault)) {
      tally.add_bad(number, record.decision_offset + fault.offset,
                    "`decision` is not a valid WireDecision: " + fault.detail);
      return;
    }
    std::sort(before.required.begin(), before.required.end());
    before.required.erase(std::unique(before.required.begin(), before.required.end()), before.required.end());
    std::vector<std::string_view> lost;
    std::vector<std::string_view> gained;
    std::set_difference(before.required.begin(), before.required.end(), after.required.begin(), after.required.end(),
                        std::back_inserter(lost));
    std::set_difference(after.required.begin(), after.required.end(), before.required.begin(), before.required.end(),
                        std::back_inserter(gained));

    ++tally.records;
    ++tally.changed;
    PackCounts& counts = pack_counts(tally);
    ++counts.records;
    ++counts.changed;
    if (!lost.empty()) {
      ++tally.loosened;
      ++counts.loosened;
      count_controls(tally.lost, lost);
    }
    if (!gained.empty()) {
      ++tally.tightened;
      ++counts.tightened;
      count_controls(tally.gained, gained);
    }
    if (lost.empty() && gained.empty() && before.verdict == after.verdict && before.disclaimer == after.disclaimer) {
      ++tally.provenance_only;
    }
    if (tally.examples.size() < max_examples_) {
      tally.examples.push_back(
          Example{number, record.query, std::move(record.strictness), record.decision, after_text_});
    }
  }

 private:
  PackCounts& pack_counts(Tally& tally) {
    const auto found = tally.by_pack.find(stem_);
    if (found != tally.by_pack.end()) return found->second;
    return tally.by_pack[stem_];
  }

  const PackSet& set_;
  std::size_t max_examples_;
  std::string stem_;        // reused for every record
  std::string after_text_;  // reused for every record
};

bool is_blank(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

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
          if (!is_blank(lines[i])) replayer.replay(lines[i], options.first_line + i, tallies[run]);
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
