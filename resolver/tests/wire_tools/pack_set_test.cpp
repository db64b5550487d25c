#include "wire_tools/pack_set.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <functional>
#include <thread>

#include "json/json_array_elements.h"
#include "json/json_reader.h"
#include "wire/resolve_json.h"
#include "wire/resolve_many_json.h"

namespace zorv::wire {
namespace {

const std::string kPacks =
    R"({"retail/payments.zorv.toml":"[meta]\nstrictness = \"as_configured\"\n[subject.card]\ncontrols = [\"mfa\"]",)"
    R"("retail/pay\u006dents.zorv.toml":"[meta]\nstrictness = \"minimal\"\n[legally_required]\ncontrols = [\"pin\"]",)"
    R"("retail/broken.toml":"[meta"})";

std::string query(const std::string& domain) {
  return R"({"domain":")" + domain +
         R"(","profile":"retail","jurisdiction":"EU","subject":"card","universe":["pin","mfa","log"]})";
}

TEST(ArrayElements, FindsEachElementOrDeclinesTheFrame) {
  const struct {
    std::string_view text;
    std::optional<std::vector<std::string_view>> elements;
    int deepest;
  } rows[] = {
      {" [ ] ", std::vector<std::string_view>{}, 0},
      {"[1]", std::vector<std::string_view>{"1"}, 0},
      {"[ {\"a\": [1, \"],\"]} ,\n\"x\\\"]\" ]", std::vector<std::string_view>{"{\"a\": [1, \"],\"]}", "\"x\\\"]\""},
       2},
      {"[1 2, 3]", std::vector<std::string_view>{"1 2", "3"}, 0},  // an element the reader will refuse
      {"[[[]]]", std::vector<std::string_view>{"[[]]"}, 2},
      {"[1,]", std::nullopt, 0},
      {"[,1]", std::nullopt, 0},
      {"[1] x", std::nullopt, 0},
      {"{}", std::nullopt, 0},
      {"[\"open]", std::nullopt, 0},
      {"[{]", std::nullopt, 0},
      {"[}]", std::nullopt, 0},
      {"[1", std::nullopt, 0},
      {"", std::nullopt, 0},
      // Scanned in two halves, the second from the "{" after the middle:
      {"[{\"a\":1}, {\"b\":[2]}]", std::vector<std::string_view>{"{\"a\":1}", "{\"b\":[2]}"}, 2},
      {"[1, \"x, {y\"]", std::vector<std::string_view>{"1", "\"x, {y\""}, 0},  // that "{" is in a string
      {"[{\"a\":\"[\"}, {\"b\":2}]", std::vector<std::string_view>{"{\"a\":\"[\"}", "{\"b\":2}"}, 1},
      {"[{\"a\":[1,\n {}]}]", std::vector<std::string_view>{"{\"a\":[1,\n {}]}"}, 3},  // inside an element
      {"[{\"a\":1}, {\"b\":2}, ]", std::nullopt, 0},
      {"[{\"a\":1}, {\"b\":2}] x", std::nullopt, 0},
      {"{\"a\":1, {\"b\":2}]", std::nullopt, 0},
  };
  const json::RunBoth one_after_the_other = [](const std::function<void()>& other, const std::function<void()>& here) {
    here();
    other();
  };
  for (const auto& row : rows) {
    for (const bool halves : {false, true}) {
      const std::optional<json::ArrayElements> found =
          halves ? json::array_elements(row.text, one_after_the_other) : json::array_elements(row.text);
      ASSERT_EQ(found.has_value(), row.elements.has_value()) << row.text << (halves ? " in halves" : "");
      if (!found) continue;
      EXPECT_EQ(found->elements, *row.elements) << row.text << (halves ? " in halves" : "");
      EXPECT_EQ(found->deepest, row.deepest) << row.text << (halves ? " in halves" : "");
    }
  }
}

// Pieces of an array cut just before an element begins, or anywhere else.
TEST(JsonReader, ReadsAPieceOfAnArrayOnlyWhenItEndsBetweenElements) {
  struct Expected {
    std::vector<std::string_view> elements;
    bool closes;
  };
  const std::string deep =
      "{\"a\":" + std::string(json::kMaxNestingDepth - 2, '[') + std::string(json::kMaxNestingDepth - 2, ']') + "}, ";
  const std::string too_deep =
      "{\"a\":" + std::string(json::kMaxNestingDepth - 1, '[') + std::string(json::kMaxNestingDepth - 1, ']') + "}, ";
  const struct {
    std::string_view piece;
    bool opens;
    std::optional<Expected> expected;
  } rows[] = {
      {" [ {\"a\":1}, ", true, Expected{{"{\"a\":1}"}, false}},
      {"[{\"a\":1},{\"b\":\"]\"},\n", true, Expected{{"{\"a\":1}", "{\"b\":\"]\"}"}, false}},
      {"{\"a\":1}, {\"b\":2}] ", false, Expected{{"{\"a\":1}", "{\"b\":2}"}, true}},
      {"[{\"a\":1}]", true, Expected{{"{\"a\":1}"}, true}},  // the whole array in one piece
      {"{\"a\":\",{\"}, ", false, Expected{{"{\"a\":\",{\"}"}, false}},
      {deep, false, Expected{{std::string_view(deep).substr(0, deep.size() - 2)}, false}},
      {too_deep, false, std::nullopt},        // the array's level counts
      {"{\"a\":\"x, ", false, std::nullopt},  // cut inside a string
      {"{\"a\":[1, ", false, std::nullopt},   // inside an element
      {"{\"a\":1}", false, std::nullopt},     // neither a comma nor the end after it
      {"{\"a\":1}] x", false, std::nullopt},
      {"{\"a\":1},]", false, std::nullopt},
      {"{\"a\":1}, ", true, std::nullopt},    // no opening bracket
      {"[{\"a\":1}, ", false, std::nullopt},  // "[" is an element's start, never closed
      {"[]", true, std::nullopt},             // no element
      {"[ ", true, std::nullopt},
      {"", false, std::nullopt},
      {", {\"a\":1}, ", false, std::nullopt},
  };
  for (const auto& row : rows) {
    json::JsonReader reader(row.piece);
    std::vector<std::string_view> elements;
    bool closes = false;
    const bool read = reader.read_array_piece(
        [&] {
          std::string_view element;
          std::size_t offset = 0;
          if (!reader.read_raw(element, offset)) return false;
          elements.push_back(element);
          return true;
        },
        row.opens, closes);
    ASSERT_EQ(read, row.expected.has_value()) << row.piece;
    if (!read) continue;
    EXPECT_EQ(elements, row.expected->elements) << row.piece;
    EXPECT_EQ(closes, row.expected->closes) << row.piece;
  }
}

TEST(PackSet, KeepsTheLastTextOfARepeatedKeyEscapedOrNot) {
  const Result<PackSet> set = PackSet::read(kPacks);
  ASSERT_TRUE(set.ok());
  std::vector<std::string_view> keys;
  for (const PackTable::Entry& entry : set.value().entries()) keys.push_back(entry.key);
  EXPECT_EQ(keys, (std::vector<std::string_view>{"retail/broken.toml", "retail/payments.zorv.toml"}));
  EXPECT_EQ(set.value().pack_text("retail/payments.zorv.toml"),
            "[meta]\nstrictness = \"minimal\"\n[legally_required]\ncontrols = [\"pin\"]");
  EXPECT_EQ(set.value().pack_text("retail/payments.toml"), std::nullopt);
}

// Batches whose every query is usable, and batches that fail at the frame or
// at one query, on any number of threads: the text or message is always
// the one resolve_many_json gives.
TEST(PackSet, BatchesOnAnyNumberOfThreadsAnswerAsResolveMany) {
  std::string many = "[";
  for (int i = 0; i < 300; ++i) many += (i ? ",\n" : "") + query(i % 3 == 0 ? "payments" : i % 3 == 1 ? "broken" : "x");
  // A usable query with an ignored member of `arrays` nested arrays.
  const auto nested = [](int arrays) {
    const std::string usable = query("payments");
    return usable.substr(0, usable.size() - 1) + ",\"n\":" + std::string(arrays, '[') + std::string(arrays, ']') + "}";
  };
  // Over a megabyte: found in two halves at once on more than one thread.
  std::string long_batch = many;
  while (long_batch.size() < (std::size_t{1} << 20) + 1000) long_batch += "," + many.substr(1);
  // Long queries whose strings hold what looks like the start of a query,
  // where a long batch is cut into pieces.
  std::string noted = "[";
  for (int i = 0; i < 12; ++i) {
    const std::string usable = query(i % 2 ? "payments" : "x");
    std::string note;
    while (note.size() < 70'000) note += ", {\"a\":1}";
    noted += (i ? ", " : "") + usable.substr(0, usable.size() - 1) + ",\"note\":\"" + note + "\"}";
  }
  const std::string rows[] = {
      "[]",
      noted + "]",
      many + "]",
      long_batch + "]",
      long_batch + ",{\"domain\":1}]",
      many + ",{\"domain\":1}]",                                           // the last query unusable
      "[" + query("a") + ",{}," + many.substr(1) + "]",                    // an early one, then many good ones
      many + ",]",                                                         // the frame
      many,                                                                // unterminated
      "[" + query("a") + ", " + query("b") + " x]",                        // text after a query
      "[" + query("a") + ", " + nested(json::kMaxNestingDepth - 3) + "]",  // nesting at the reader's limit
      "[" + query("a") + ", " + nested(json::kMaxNestingDepth - 2) + "]",
      "[" + query("a") + ", " + nested(json::kMaxNestingDepth - 1) + "]",
      long_batch + ", " + nested(json::kMaxNestingDepth - 2) + "]",  // at the limit, where cut into pieces
      long_batch + ", " + nested(json::kMaxNestingDepth - 1) + "]",
      "[\"\\ud800\"]",
      "[" + query("a") + ",\"\xff\"]",
  };
  const Result<PackSet> set = PackSet::read(kPacks);
  ASSERT_TRUE(set.ok());
  for (const std::optional<std::string_view> dial :
       {std::optional<std::string_view>(), std::optional<std::string_view>("aggressive")}) {
    for (const std::string& queries : rows) {
      const Result<std::string> expected = resolve_many_json(kPacks, queries, dial);
      for (const std::size_t threads : {1u, 2u, 5u, 64u}) {
        const Result<std::string> got = set.value().resolve_many_json(queries, dial, threads);
        ASSERT_EQ(got.ok(), expected.ok()) << queries.substr(0, 80) << " on " << threads;
        EXPECT_EQ(got.ok() ? got.value() : got.error().text, expected.ok() ? expected.value() : expected.error().text)
            << queries.substr(0, 80) << " on " << threads;
      }
    }
  }
}

// A batch cut into pieces anywhere, as a caller might cut it wrongly, on
// one and more threads: never an answer other than the whole text's, and an
// answer whenever every cut is where a query begins.
TEST(PackSet, BatchesInPiecesAnswerAsTheWholeTextOrDecline) {
  std::vector<std::string> elements;
  for (int i = 0; i < 6; ++i) elements.push_back(query(i % 2 ? "payments" : "broken"));
  elements[2].insert(elements[2].size() - 1, ",\"note\":\"a, {b}, {\"");  // cuts inside a string look right
  std::string batch = "[";
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (i) batch += ", ";
    starts.push_back(batch.size());
    batch += elements[i];
  }
  batch += "] ";
  const Result<PackSet> set = PackSet::read(kPacks);
  ASSERT_TRUE(set.ok());
  const std::string expected = set.value().resolve_many_json(batch, std::nullopt, 1).value();
  const auto in_pieces = [&](const std::vector<std::size_t>& cuts, std::size_t threads, bool fail_last = false) {
    std::size_t next = 0;
    return set.value().resolve_many_in_pieces(
        [&](std::string_view& piece) {
          if (next > cuts.size()) return PackSet::Piece::end;
          if (fail_last && next == cuts.size()) return PackSet::Piece::failed;
          const std::size_t begin = next == 0 ? 0 : cuts[next - 1];
          const std::size_t end = next == cuts.size() ? batch.size() : cuts[next];
          ++next;
          piece = std::string_view(batch).substr(begin, end - begin);
          return PackSet::Piece::made;
        },
        [] {}, std::nullopt, threads);
  };
  for (const std::size_t threads : {1u, 2u, 4u}) {
    // One cut at every place in the text, and cuts at every query's start.
    for (std::size_t cut = 1; cut < batch.size(); ++cut) {
      const std::optional<std::string> got = in_pieces({cut}, threads);
      const bool between = std::find(starts.begin(), starts.end(), cut) != starts.end() && cut != starts[0];
      if (got) EXPECT_EQ(*got, expected) << "cut at " << cut << ": " << batch.substr(cut - 1, 10);
      if (between) EXPECT_TRUE(got) << "cut at " << cut;
    }
    const std::vector<std::size_t> every(starts.begin() + 1, starts.end());
    EXPECT_EQ(in_pieces(every, threads), expected);
    EXPECT_EQ(in_pieces(every, threads, true), std::nullopt);
  }
  // A query that cannot be read, and a frame that does not close.
  for (const std::string& broken :
       {batch.substr(0, starts[3]) + "{\"domain\":1}]", batch.substr(0, batch.size() - 2)}) {
    std::size_t next = 0;
    const std::optional<std::string> got = set.value().resolve_many_in_pieces(
        [&](std::string_view& piece) {
          if (next++ == 1) return PackSet::Piece::end;
          piece = broken;
          return PackSet::Piece::made;
        },
        [] {}, std::nullopt, 2);
    EXPECT_EQ(got, std::nullopt) << broken;
  }
}

// Packs are read when a query first needs them: threads that all ask a new
// set for the same packs at the same moment, each in its own order, get the
// answers of the stateless call (a pack read twice in a race is filed once;
// the sanitized run sees any copy that leaks or is freed twice).
TEST(PackSet, ThreadsReadingAPackForTheFirstTimeAtOnceAnswerAsResolve) {
  std::string packs = "{";
  std::vector<std::string> queries;
  for (int i = 0; i < 40; ++i) {
    const std::string profile = "p" + std::to_string(i);
    packs += (i ? "," : "") + ("\"" + profile + "/d.zorv.toml\":") +
             (i % 5 == 4 ? "\"[meta\"" : "\"[meta]\\n[subject.s]\\ncontrols = [\\\"c" + std::to_string(i) + "\\\"]\"");
    queries.push_back(R"({"domain":"d","profile":")" + profile +
                      R"(","jurisdiction":"EU","subject":"s","universe":["c)" + std::to_string(i) + R"(","x"]})");
  }
  packs += "}";
  std::vector<std::string> expected;
  for (const std::string& q : queries) expected.push_back(resolve_json(packs, q, std::nullopt).value());
  for (int round = 0; round < 20; ++round) {
    const Result<PackSet> set = PackSet::read(packs);
    ASSERT_TRUE(set.ok());
    constexpr int kThreads = 4;
    std::barrier start(kThreads);
    std::vector<std::vector<std::string>> answers(kThreads, std::vector<std::string>(queries.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        start.arrive_and_wait();
        for (std::size_t k = 0; k < queries.size(); ++k) {
          const std::size_t i = t % 2 ? queries.size() - 1 - k : k;
          answers[t][i] = set.value().resolve_json(queries[i], std::nullopt).value();
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(answers[t], expected) << "thread " << t << ", round " << round;
  }
}

}  // namespace
}  // namespace zorv::wire
