// Fuzzes resolve_json, the operation behind `resolve`.
// Input: packs_json 0xFF query_json [0xFF strictness_override].
// The prepared pack set must answer every input exactly as the call does:
// one query, its explanation, and a batch on one thread and on several.
#include <simdjson.h>

#include "text/utf8_validation.h"
#include "fuzz_input.h"
#include "wire_tools/explain_json.h"
#include "wire/pack_index.h"
#include "wire_tools/pack_set.h"
#include "wire/resolve_json.h"
#include "wire/resolve_many_json.h"
#include "wire_checks.h"

using namespace zorv;
using namespace zorv::fuzz;

namespace {

bool same(const wire::Result<std::string>& a, const wire::Result<std::string>& b) {
  if (a.ok() != b.ok()) return false;
  return a.ok() ? a.value() == b.value() : a.error().text == b.error().text;
}

void check_pack_set(std::string_view packs, std::string_view query, std::optional<std::string_view> dial,
                    const wire::Result<std::string>& resolved) {
  const wire::Result<wire::PackSet> set = wire::PackSet::read(packs);
  require(set.ok() == wire::PackIndex::read(packs).ok(), "a set is built exactly from a usable map");
  if (!set.ok()) {
    require(!resolved.ok() && resolved.error().text == set.error().text, "the set blames the map as resolve does");
    return;
  }
  require(same(set.value().resolve_json(query, dial), resolved), "the set resolves as resolve does");
  require(same(set.value().explain_json(query, dial), wire::explain_json(packs, query, dial)),
          "the set explains as explain does");
  const std::string batch = "[" + std::string(query) + ",\n" + std::string(query) + "]";
  const wire::Result<std::string> many = wire::resolve_many_json(packs, batch, dial);
  require(same(set.value().resolve_many_json(batch, dial, 1), many), "a batch on one thread is resolve_many's");
  require(same(set.value().resolve_many_json(batch, dial, 3), many), "a batch on three threads is resolve_many's");
  // The same batch handed over in two pieces, cut where the second query
  // begins or anywhere else: the answer is resolve_many's, or none at all
  // (the caller then reads the whole text); where the cut is between the
  // queries of a usable batch, there is an answer.
  const std::size_t between = 1 + query.size() + 2;
  for (const std::size_t cut : {between, batch.size() / 3, batch.size() / 2, batch.size() - 2}) {
    if (cut == 0 || cut >= batch.size()) continue;
    std::size_t next = 0;
    const std::optional<std::string> pieces = set.value().resolve_many_in_pieces(
        [&](std::string_view& piece) {
          if (next == 2) return wire::PackSet::Piece::end;
          piece = next++ == 0 ? std::string_view(batch).substr(0, cut) : std::string_view(batch).substr(cut);
          return wire::PackSet::Piece::made;
        },
        [] {}, dial, 2);
    if (pieces) require(many.ok() && *pieces == many.value(), "a batch in pieces answers as resolve_many does");
    if (cut == between && many.ok()) require(pieces.has_value(), "a batch cut between its queries is answered");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = split_input(data, size);
  const std::string_view packs = part(parts, 0);
  const std::string_view query = part(parts, 1);
  const std::optional<std::string_view> dial = optional_part(parts, 2);
  // The module hands over the dial as the UTF-8 of a str; it is no JSON and
  // is never validated, so other bytes are outside the operation's contract.
  if (dial && !text::is_valid_utf8(*dial)) return -1;

  wire::Result<std::string> result = wire::resolve_json(packs, query, dial);
  check_pack_set(packs, query, dial, result);
  if (!result.ok()) {
    const std::string& message = result.error().text;
    check_error(message);
    require(message.starts_with(wire::kPacksJsonPrefix) || message.starts_with(wire::kQueryJsonPrefix),
            "resolve_json fails only on its two JSON arguments", message);
    require(message.starts_with(wire::kPacksJsonPrefix) != wire::PackIndex::read(packs).ok(),
            "the pack map is blamed exactly when it is unusable", message);
    const wire::Result<std::string> without_dial = wire::resolve_json(packs, query, std::nullopt);
    require(!without_dial.ok() && without_dial.error().text == message, "the dial never changes or hides a JSON error",
            message);
    return 0;
  }

  const std::string& text = result.value();
  simdjson::dom::parser parser;
  simdjson::dom::element decision;
  require(!parser.parse(text).get(decision), "the decision text is JSON", text);
  const QueryFacts facts = query_facts(query);
  check_decision(decision, facts, /*sorted=*/false, text);

  bool fell_back = true;
  std::string_view strictness;
  require(!decision["provenance"]["fell_back"].get(fell_back) && !decision["provenance"]["strictness"].get(strictness),
          "provenance readable", text);
  if (dial && !fell_back) require(strictness == *dial, "a pack decision shows the dial it was given", text);
  return 0;
}
