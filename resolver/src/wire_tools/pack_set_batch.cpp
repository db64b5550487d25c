// PackSet::resolve_many_json: a batch shared out over threads. On one thread
// the batch is read and decided in a single pass, as resolve_many_json does.
// On more, a long batch is cut into pieces where queries seem to begin, and
// each thread reads and decides whole pieces (resolve_many_in_pieces, which
// also serves a caller that makes the text a piece at a time). A shorter
// batch, or one whose pieces cannot be read alone, has its queries' texts
// found first (json_array_elements.h), then cut into small runs that the
// threads take in turn. Either way each piece's or run's decisions are
// written into a text of its own and the texts are joined in order, so the
// answer does not depend on the number of threads or on which thread took
// what. Any query that cannot be read, and any doubt about the array's
// frame, sends the whole batch through the one-reader path instead, which
// reports the first fault in text order with its usual message.
#include <algorithm>
#include <atomic>
#include <exception>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <span>
#include <thread>

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
// Batches at least this long are cut into pieces of at least this length
// (JsonReader::read_array_piece), which the threads read and decide at once.
constexpr std::size_t kPiecesFrom = 256 * 1024;
constexpr std::size_t kPieceLength = 64 * 1024;
// The bytes of a decision beyond its required controls: verdict,
// provenance and disclaimer.
constexpr std::size_t kDecisionOverhead = 400;

// Appends the decisions of `queries` to `text`, separated by commas; false
// when a query cannot be read. The text is written in a string of the
// calling thread's own and moved to its place when done: the string
// objects of neighbouring runs share cache lines, and growing them in place
// from two threads would bounce those lines between the cores at every
// append.
bool decide_queries(const PackSet& set, const std::optional<Strictness>& strictness,
                    std::span<const std::string_view> queries, std::string& text) {
  // A decision is about as long as its query's universe, plus its fixed
  // members: reserved once, the text seldom grows.
  std::size_t estimate = text.size() + 1;
  for (const std::string_view query : queries) estimate += query.size() + kDecisionOverhead;
  text.reserve(estimate);
  bool first = true;
  for (const std::string_view query_text : queries) {
    Result<WireQuery> query = WireQuery::read(query_text);
    if (!query.ok()) return false;
    if (!first) text += ',';
    first = false;
    WireDecision::from_core(set.decide(std::move(query.value()).into_core(), strictness)).write(text);
  }
  return true;
}

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

  // Decides one run; false when a query cannot be read.
  bool decide_run(std::size_t run) {
    const std::size_t begin = run * run_length;
    const std::size_t end = std::min(queries.size(), begin + run_length);
    std::string text;
    // The answer's opening bracket starts the first run, so that a batch
    // of one run is answered without copying its text again.
    if (run == 0) text += '[';
    if (!decide_queries(set, strictness, {queries.data() + begin, end - begin}, text)) return false;
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

// A batch decided while its text is still arriving a piece at a time: the
// calling thread receives the pieces while the others decide those already
// there, each piece by one thread, in its own text.
struct PieceBatch {
  struct Piece {
    std::string_view text;
    std::string decisions;
    bool closes = false;
  };
  PieceBatch(const PackSet& set, const std::optional<Strictness>& strictness) : set(set), strictness(strictness) {}

  const PackSet& set;
  const std::optional<Strictness>& strictness;
  // Pieces are only added at the end, so a thread's reference to one stays
  // good while others arrive.
  std::deque<Piece> pieces;  // grows under `mutex`
  std::size_t taken = 0;     // under `mutex`
  bool all_here = false;     // under `mutex`
  std::mutex mutex;
  std::condition_variable arrived;
  std::atomic<bool> declined{false};
  std::exception_ptr fault;  // under `mutex`

  void decline(std::exception_ptr error = nullptr) {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      if (error && !fault) fault = error;
      declined = true;
    }
    arrived.notify_all();
  }

  // Takes pieces from `next_piece` until there are no more, or the batch
  // is declined; then lets the other threads know that none will follow.
  void receive(const PackSet::NextPiece& next_piece) {
    try {
      while (!declined) {
        std::string_view text;
        const PackSet::Piece made = next_piece(text);
        if (made == PackSet::Piece::failed) decline();
        if (made != PackSet::Piece::made) break;
        {
          const std::lock_guard<std::mutex> lock(mutex);
          pieces.push_back(Piece{text, {}, false});
        }
        arrived.notify_one();
      }
    } catch (...) {
      decline(std::current_exception());
    }
    {
      const std::lock_guard<std::mutex> lock(mutex);
      all_here = true;
    }
    arrived.notify_all();
  }

  // The next piece to decide and its place, or null when none is left.
  Piece* take(std::size_t& index) {
    std::unique_lock<std::mutex> lock(mutex);
    arrived.wait(lock, [&] { return taken < pieces.size() || all_here || declined; });
    if (declined || taken >= pieces.size()) return nullptr;
    index = taken++;
    return &pieces[index];
  }

  void work() {
    try {
      std::size_t index = 0;
      for (Piece* piece = take(index); piece != nullptr; piece = take(index)) {
        // A decision is about as long as its query (its universe), plus
        // its fixed members: reserved once, the text seldom grows.
        std::string decisions;
        decisions.reserve(piece->text.size() + kDecisionOverhead * 4);
        if (index == 0) decisions += '[';
        json::JsonReader reader(piece->text);
        bool first = true;
        const bool read = reader.read_array_piece(
            [&] {
              WireQuery query;
              if (!WireQuery::read_from(reader, query)) return false;
              if (!first) decisions += ',';
              first = false;
              WireDecision::from_core(set.decide(std::move(query).into_core(), strictness)).write(decisions);
              return true;
            },
            index == 0, piece->closes);
        if (!read) {
          decline();
          break;
        }
        piece->decisions = std::move(decisions);
      }
    } catch (...) {
      decline(std::current_exception());
    }
  }
};

// The runs' texts (the first opening the array) joined into the answer.
std::string joined(std::vector<std::string>& texts) {
  if (texts.empty()) return std::string("[]");
  if (texts.size() == 1) return std::move(texts[0]) + ']';
  std::size_t size = 1 + texts.size();
  for (const std::string& text : texts) size += text.size();
  std::string text;
  text.reserve(size);
  for (const std::string& part : texts) {
    if (!text.empty()) text += ',';
    text += part;
  }
  text += ']';
  return text;
}

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
  // A long batch is cut into pieces where queries seem to begin, and the
  // threads find and decide the queries of each piece at once; only where
  // that cannot be done are the queries found first, on this thread.
  if (queries_json.size() >= kPiecesFrom) {
    const std::size_t piece_length = std::max(kPieceLength, queries_json.size() / (threads * kRunsPerThread * 4));
    std::size_t at = 0;
    std::optional<std::string> answer = resolve_many_in_pieces(
        [&](std::string_view& piece) {
          if (at >= queries_json.size()) return Piece::end;
          const std::size_t cut =
              std::min(json::element_start_after(queries_json, at + piece_length), queries_json.size());
          piece = queries_json.substr(at, cut - at);
          at = cut;
          return Piece::made;
        },
        [] {}, strictness_override, threads);
    if (answer) return std::move(*answer);
  }
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

  return joined(batch.run_texts);
}

std::optional<std::string> PackSet::resolve_many_in_pieces(const NextPiece& next_piece,
                                                           const std::function<void()>& after_last_piece,
                                                           std::optional<std::string_view> strictness_override,
                                                           std::size_t threads) const {
  std::optional<Strictness> strictness;
  if (strictness_override) strictness = Strictness::parse(*strictness_override);
  PieceBatch batch(*this, strictness);
  const std::thread::id caller = std::this_thread::get_id();
  work_on_threads(std::max<std::size_t>(threads, 1), [&] {
    if (std::this_thread::get_id() == caller) {
      batch.receive(next_piece);
      after_last_piece();
    }
    batch.work();
  });
  if (batch.fault) std::rethrow_exception(batch.fault);
  if (batch.declined || batch.pieces.empty()) return std::nullopt;
  // Every cut was between two queries only when the array closes in the
  // last piece and in no other.
  for (std::size_t i = 0; i < batch.pieces.size(); ++i) {
    if (batch.pieces[i].closes != (i + 1 == batch.pieces.size())) return std::nullopt;
  }
  std::vector<std::string> texts;
  texts.reserve(batch.pieces.size());
  for (PieceBatch::Piece& piece : batch.pieces) texts.push_back(std::move(piece.decisions));
  return joined(texts);
}

}  // namespace zorv::wire
