// Hostile input straight to the wire operations, past the Python boundary
// that would have filtered some of it: bytes that are not UTF-8 in every JSON
// argument, raw control characters, nesting far past the limit, and many
// threads at once. Every call ends with a decision or an error naming the
// argument, never a crash.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/pack_decision.h"
#include "wire/resolve_json.h"
#include "wire/resolve_with_receipts_json.h"

namespace zorv::wire {
namespace {

const std::string kPacks =
    R"({"retail/payments.zorv.toml":"[meta]\nstrictness = \"as_configured\"\n[subject.card]\ncontrols = [\"mfa\"]\n"})";
const std::string kQuery =
    R"({"domain":"payments","profile":"retail","jurisdiction":"EU","subject":"card","universe":["mfa","log"]})";
const std::string kContext =
    R"({"record_id":"r","issued_at":"t","issued_at_unix":7,"language":"en","pii_principal_id":"p",)"
    R"("pii_controller":"c","domain":"d","subject":"s","attribution_source":"a","operations":["o"]})";

constexpr std::string_view kPacksPrefix = "packs_json is not an object of path->toml strings: ";
constexpr std::string_view kQueryPrefix = "query_json is not a valid RegulatoryQuery: ";
constexpr std::string_view kCtxPrefix = "ctx_json is not a valid ReceiptContext: ";

// `text` with its first "@" replaced by `bytes`.
std::string with(std::string text, std::string_view bytes) { return text.replace(text.find('@'), 1, bytes); }

std::string error_of(const std::string& packs, const std::string& query, const std::string& ctx) {
  const Result<std::string> result = resolve_with_receipts_json(packs, query, ctx, std::nullopt);
  return result.ok() ? "accepted: " + result.value() : result.error().text;
}

// Where a fault goes: a template of one argument with "@" for the bytes.
struct Place {
  const char* name;
  int argument;  // 0 packs, 1 query, 2 context
  std::string text;
};

const Place kStringPlaces[] = {
    {"pack key", 0, R"({"retail/payments.zorv.toml":"[meta]","@":"x"})"},
    {"pack text", 0, R"({"retail/payments.zorv.toml":"[meta]\n# @"})"},
    {"query string", 1,
     R"({"domain":"payments","profile":"retail","jurisdiction":"E@U","subject":"card","universe":[]})"},
    {"universe element", 1,
     R"({"domain":"payments","profile":"retail","jurisdiction":"EU","subject":"card","universe":["a","@"]})"},
    {"unknown query key", 1,
     R"({"domain":"payments","x@":1,"profile":"retail","jurisdiction":"EU","subject":"card","universe":[]})"},
    {"skipped query value", 1,
     R"({"note":[{"a":"@"}],"domain":"payments","profile":"retail","jurisdiction":"EU","subject":"card","universe":[]})"},
    {"context string", 2, std::string(kContext).replace(kContext.find("\"r\""), 3, "\"r@\"")},
    {"context list element", 2, std::string(kContext).replace(kContext.find("\"o\""), 3, "\"@\"")},
};

// Sequences that are not UTF-8: a lone continuation byte, overlong forms, an
// encoded surrogate, a code point past U+10FFFF, bytes no sequence uses, and
// sequences cut short.
const std::string_view kNotUtf8[] = {
    "\x80",
    "\xBF",
    "\xC0\xAF",
    "\xC1\xBF",
    "\xE0\x80\xAF",
    "\xF0\x80\x80\xAF",
    "\xED\xA0\x80",
    "\xED\xBF\xBF",
    "\xF4\x90\x80\x80",
    "\xF5\x80\x80\x80",
    "\xF8\x88\x80\x80\x80",
    "\xFE",
    "\xFF",
    "\xC3",
    "\xE2\x82",
    "\xF0\x9F\x98",
    "\xC3\x28",
};

std::string argument_error(const Place& place, std::string_view bytes) {
  std::string args[3] = {kPacks, kQuery, kContext};
  args[place.argument] = with(place.text, bytes);
  return error_of(args[0], args[1], args[2]);
}

std::string_view prefix_of(int argument) {
  return argument == 0 ? kPacksPrefix : argument == 1 ? kQueryPrefix : kCtxPrefix;
}

TEST(InvalidUtf8, InsideAnyStringOfAnyArgumentIsAnInvalidCodePoint) {
  for (const Place& place : kStringPlaces) {
    ASSERT_TRUE(argument_error(place, "ok").starts_with("accepted: ")) << place.name;
    for (const std::string_view bytes : kNotUtf8) {
      const std::string error = argument_error(place, bytes);
      EXPECT_TRUE(
          error.starts_with(std::string(prefix_of(place.argument)) + "invalid unicode code point at line 1 column "))
          << place.name << ": " << error;
    }
  }
}

TEST(InvalidUtf8, OutsideStringsIsASyntaxFault) {
  const Place places[] = {
      {"packs value", 0, R"({"a": @})"},
      {"query top level", 1, "@"},
      {"query after a member", 1, R"({"domain":"d"@})"},
      {"context value", 2, R"({"record_id":@})"},
  };
  for (const Place& place : places) {
    for (const std::string_view bytes : kNotUtf8) {
      const std::string error = argument_error(place, bytes);
      EXPECT_TRUE(error.starts_with(prefix_of(place.argument))) << place.name << ": " << error;
      EXPECT_EQ(error.find("invalid unicode code point"), std::string::npos) << place.name << ": " << error;
    }
  }
}

TEST(InvalidUtf8, EveryPrefixOfAValidSequenceIsRefusedAndTheWholeAccepted) {
  const std::string_view valid[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"};
  for (const std::string_view sequence : valid) {
    for (const Place& place : kStringPlaces) {
      EXPECT_TRUE(argument_error(place, sequence).starts_with("accepted: ")) << place.name;
      for (size_t cut = 1; cut < sequence.size(); ++cut) {
        EXPECT_TRUE(argument_error(place, sequence.substr(0, cut)).find("invalid unicode code point") !=
                    std::string::npos)
            << place.name << " cut at " << cut;
      }
    }
  }
}

TEST(ControlCharacters, RawInsideStringsAreRefusedEscapedAreKept) {
  for (const Place& place : kStringPlaces) {
    for (const std::string_view raw : {std::string_view("\0", 1), std::string_view("\x1F"), std::string_view("\n")}) {
      const std::string error = argument_error(place, raw);
      EXPECT_TRUE(error.starts_with(std::string(prefix_of(place.argument)) +
                                    "control character (\\u0000-\\u001F) found while parsing a string"))
          << place.name << ": " << error;
    }
    EXPECT_TRUE(argument_error(place, "\\u0000").starts_with("accepted: ")) << place.name;
  }
}

TEST(ControlCharacters, NulInsideTheDialIsPartOfItsText) {
  const std::string dial("as_configured\0", 14);
  const Result<std::string> result = resolve_json(kPacks, kQuery, dial);
  ASSERT_TRUE(result.ok());
  EXPECT_NE(result.value().find(R"("strictness":"as_configured\u0000")"), std::string::npos) << result.value();
  EXPECT_NE(result.value().find(R"("required":["log","mfa"])"), std::string::npos) << result.value();
}

TEST(DeepNesting, EveryArgumentStopsAtTheLimit) {
  const size_t depth = 100'000;
  const std::string arrays = std::string(depth, '[') + std::string(depth, ']');
  std::string objects;
  for (size_t i = 0; i < depth; ++i) objects += R"({"a":)";
  objects += "1" + std::string(depth, '}');
  const std::string in_member = R"({"note":)" + arrays + "}";
  struct Case {
    std::string packs, query, ctx;
    std::string expected;
  } cases[] = {
      {objects, kQuery, kContext,
       std::string(kPacksPrefix) + "invalid type: map, expected a string at line 1 column 5"},
      {kPacks, objects, kContext, std::string(kQueryPrefix) + "recursion limit exceeded at line 1 column 641"},
      {kPacks, in_member, kContext, std::string(kQueryPrefix) + "recursion limit exceeded at line 1 column 136"},
      {kPacks, kQuery, objects, std::string(kCtxPrefix) + "recursion limit exceeded at line 1 column 641"},
      {kPacks, kQuery, in_member, std::string(kCtxPrefix) + "recursion limit exceeded at line 1 column 136"},
  };
  for (const Case& c : cases) EXPECT_EQ(error_of(c.packs, c.query, c.ctx), c.expected);
}

TEST(PackText, AByteOrderMarkMayOpenItOnlyOnce) {
  const RegulatoryQuery query{"payments",  "retail", "EU", "card", ControlUniverse::from_list({"mfa", "log"}),
                              std::nullopt};
  const std::string pack = "[meta]\nstrictness = \"as_configured\"\n[subject.card]\ncontrols = [\"mfa\"]\n";
  const ControlDecision with_mark = decide_from_pack_text("\xEF\xBB\xBF" + pack, "p", std::nullopt, query);
  EXPECT_FALSE(with_mark.provenance.fell_back);
  EXPECT_EQ(with_mark, decide_from_pack_text(pack, "p", std::nullopt, query));
  for (const std::string& text : {"\xEF\xBB\xBF\xEF\xBB\xBF" + pack, "\xEF\xBB" + pack, pack + "\xEF\xBB\xBF"}) {
    EXPECT_EQ(decide_from_pack_text(text, "p", std::nullopt, query).provenance.source, "<malformed:p>");
  }
}

// The operations share nothing, so threads calling them at once get what
// the same calls get one after another. Each thread asks its own questions.
TEST(Threads, ConcurrentCallsGiveTheSequentialResults) {
  constexpr int kThreads = 8;
  struct Call {
    std::string packs, query, ctx;
    std::optional<std::string> dial;
  };
  std::vector<std::vector<Call>> plans(kThreads);
  for (int thread = 0; thread < kThreads; ++thread) {
    for (int index = 0; index < 24; ++index) {
      const std::string id = std::to_string(thread) + "-" + std::to_string(index);
      const std::string packs =
          R"({"p)" + id + R"(/d.zorv.toml":"[meta]\nstrictness = \"as_configured\"\n[subject.s]\ncontrols = [\"c)" +
          id + R"(\", \"mfa\"]\n[legally_required]\ncontrols = [\"mfa\"]"})";
      const std::string query = R"({"domain":"d","profile":"p)" + id +
                                R"(","jurisdiction":"","subject":"s","universe":["c)" + id + R"(","mfa","x)" + id +
                                R"("]})";
      std::optional<std::string> dial;
      if (index % 3 == 1) dial = "minimal";
      if (index % 3 == 2) dial = "d" + id;
      const std::string ctx =
          index % 4 == 3 ? "{}" : std::string(kContext).replace(kContext.find("\"r\""), 3, "\"r" + id + "\"");
      plans[thread].push_back({packs, index % 5 == 4 ? query.substr(0, query.size() - 2) : query, ctx, dial});
    }
  }
  const auto run = [](const Call& call) {
    const auto dial = call.dial ? std::optional<std::string_view>(*call.dial) : std::nullopt;
    const Result<std::string> alone = resolve_json(call.packs, call.query, dial);
    const Result<std::string> combined = resolve_with_receipts_json(call.packs, call.query, call.ctx, dial);
    return (alone.ok() ? alone.value() : alone.error().text) + "|" +
           (combined.ok() ? combined.value() : combined.error().text);
  };
  std::vector<std::vector<std::string>> expected(kThreads);
  for (int thread = 0; thread < kThreads; ++thread) {
    for (const Call& call : plans[thread]) expected[thread].push_back(run(call));
  }
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back([&, thread] {
      for (int round = 0; round < 30; ++round) {
        for (size_t i = 0; i < plans[thread].size(); ++i) {
          if (run(plans[thread][i]) != expected[thread][i]) ++mismatches[thread];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

}  // namespace
}  // namespace zorv::wire
