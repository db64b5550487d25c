// PackSet::resolve_many_json: a batch shared out over threads. On one thread
// the batch is read and decided in a single pass, as resolve_many_json does. On
// more, the queries' texts are found first (json_array_elements.h), then cut
// into small runs that the threads take in turn, each run's decisions written
// into a text of its own; the texts are joined in order, so the answer does not
// depend on the number of threads or on which thread took which run. Any query
// that cannot be read, and any doubt about the array's frame, sends the whole
// batch through the one-reader path instead, which reports the first fault in
// text order with its usual message.
#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>

#include "json/json_array_elements.h"
#include "json/json_reader.h"
#include "wire_tools/pack_set.h"
#include "wire_tools/thread_runs.h"
#include "wire/resolve_many_json.h"
#include "wire/wire_decision.h"
#include "wire/wire_query.h"

namespace zorv::wire {
namespace {

// Enough runs per thread that one slow run does not leave the others idle.
constexpr std::size_t kRunsPerThread = 16;
// Batches at least this long are scanned for their queries on two threads;
// for shorter ones starting a thread costs more than it frees.
constexpr std::size_t kSplitScanFrom = 1 << 20;
// The bytes of a decision beyond its required controls: verdict,
// provenance and disclaimer.
constexpr std::size_t kDecisionOverhead = 400;

// Shared by the threads of one batch.
struct Batch {
  const PackSet& set;
  const std::optional<Strictness>& strictness;
  const std::vector<std::string_view>& queries;
  std::size_t run_length;
  std::vector<std::string> run_texts;
  std::atomic<std::size_t> next_run{0};
  std::atomic<bool> unreadable{false};
  std::mutex fault_mutex;
  std::exception_ptr fault;

  // Decides one run; false when a query cannot be read. The run's text is
  // written in a string of this thread's own and moved to its place when
  // done: the string objects of neighbouring runs share cache lines, and
  // growing them in place from two threads would bounce those lines
  // between the cores at every append.
  bool decide_run(std::size_t run) {
    const std::size_t begin = run * run_length;
    const std::size_t end = std::min(queries.size(), begin + run_length);
    std::string text;
    // A decision is about as long as its query's universe, plus its fixed
    // members: reserved once, the text seldom grows.
    std::size_t estimate = 0;
    for (std::size_t i = begin; i < end; ++i) estimate += queries[i].size() + kDecisionOverhead;
    text.reserve(estimate + 2);
    // The answer's opening bracket starts the first run, so that a batch
    // of one run is answered without copying its text again.
    if (run == 0) text += '[';
    for (std::size_t i = begin; i < end; ++i) {
      Result<WireQuery> query = WireQuery::read(queries[i]);
      if (!query.ok()) return false;
      if (i != begin) text += ',';
      WireDecision::from_core(set.decide(std::move(query.value()).into_core(), strictness)).write(text);
    }
    run_texts[run] = std::move(text);
    return true;
  }

  void work() {
    try {
      for (std::size_t run = next_run++; run < run_texts.size() && !unreadable; run = next_run++) {
        if (!decide_run(run)) unreadable = true;
      }
    } catch (...) {
      const std::lock_guard<std::mutex> lock(fault_mutex);
      if (!fault) fault = std::current_exception();
      unreadable = true;
    }
  }
};

}  // namespace

Result<std::string> PackSet::resolve_many_json(std::string_view queries_json,
                                               std::optional<std::string_view> strictness_override,
                                               std::size_t threads) const {
  std::optional<Strictness> strictness;
  if (strictness_override) strictness = Strictness::parse(*strictness_override);
  const auto one_reader = [&] {
    return decide_each_query(queries_json, [&](const RegulatoryQuery& query) { return decide(query, strictness); });
  };
  // One thread reads the queries in one pass as it decides them: finding
  // the elements first would only add a pass over the whole text.
  if (threads <= 1) return one_reader();
  // A long batch is scanned as two halves at once, so that finding the
  // queries costs this thread half as long.
  const std::optional<json::ArrayElements> found = queries_json.size() >= kSplitScanFrom
                                                       ? json::array_elements(queries_json, run_both)
                                                       : json::array_elements(queries_json);
  // Each element is read as a document of its own, one level shallower
  // than inside the array; near the nesting limit that could accept what
  // the array's reader refuses.
  if (!found || found->deepest + 1 >= json::kMaxNestingDepth) return one_reader();
  const std::vector<std::string_view>& queries = found->elements;

  threads = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(1, queries.size()));
  // On one thread (a batch of one query) the whole batch is one run.
  const std::size_t runs_wanted = threads == 1 ? 1 : threads * kRunsPerThread;
  const std::size_t run_length = std::max<std::size_t>(1, (queries.size() + runs_wanted - 1) / runs_wanted);
  Batch batch{*this, strictness, queries, run_length, {}, {}, {}, {}, {}};
  batch.run_texts.resize((queries.size() + run_length - 1) / run_length);

  work_on_threads(threads, [&batch] { batch.work(); });
  if (batch.fault) std::rethrow_exception(batch.fault);
  if (batch.unreadable) return one_reader();

  if (batch.run_texts.empty()) return std::string("[]");
  if (batch.run_texts.size() == 1) return std::move(batch.run_texts[0]) + ']';
  std::size_t size = 1 + batch.run_texts.size();
  for (const std::string& run_text : batch.run_texts) size += run_text.size();
  std::string text;
  text.reserve(size);
  for (const std::string& run_text : batch.run_texts) {
    if (!text.empty()) text += ',';
    text += run_text;
  }
  text += ']';
  return text;
}

}  // namespace zorv::wire
