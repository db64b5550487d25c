// Fuzzes resolve_with_receipts_json, the operation behind
// `resolve_with_receipts`.
// Input: packs_json 0xFF query_json 0xFF ctx_json [0xFF strictness_override].
#include <simdjson.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "text/utf8_validation.h"
#include "fuzz_input.h"
#include "wire/resolve_json.h"
#include "wire/resolve_with_receipts_json.h"
#include "wire/wire_receipt_context.h"
#include "wire_checks.h"

using namespace zorv;
using namespace zorv::fuzz;

namespace {

// Every object at every depth has its keys in strictly ascending byte order.
void require_sorted_keys(simdjson::dom::element value, std::string_view text) {
  if (simdjson::dom::array items; !value.get_array().get(items)) {
    for (auto item : items) require_sorted_keys(item, text);
  } else if (simdjson::dom::object record; !value.get_object().get(record)) {
    std::string_view previous;
    bool first = true;
    for (auto field : record) {
      require(first || previous < field.key, "keys ascend at every depth", text);
      previous = field.key;
      first = false;
      require_sorted_keys(field.value, text);
    }
  }
}

// A text form in which two values are equal exactly when their JSON is,
// whatever order their members were written in.
std::string canonical(simdjson::dom::element value) {
  if (simdjson::dom::object record; !value.get_object().get(record)) {
    std::vector<std::pair<std::string_view, std::string>> fields;
    for (auto field : record) fields.emplace_back(field.key, canonical(field.value));
    std::sort(fields.begin(), fields.end());
    std::string out = "{";
    for (const auto& [key, member] : fields) out.append(key).append(":").append(member).append(",");
    return out + "}";
  }
  return simdjson::to_string(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = split_input(data, size);
  const std::string_view packs = part(parts, 0);
  const std::string_view query = part(parts, 1);
  const std::string_view ctx = part(parts, 2);
  const std::optional<std::string_view> dial = optional_part(parts, 3);
  // See resolve_json_fuzzer.cpp: the dial arrives as UTF-8 from the module.
  if (dial && !text::is_valid_utf8(*dial)) return -1;

  wire::Result<std::string> result = wire::resolve_with_receipts_json(packs, query, ctx, dial);
  const wire::Result<std::string> alone = wire::resolve_json(packs, query, dial);
  if (!result.ok()) {
    const std::string& message = result.error().text;
    check_error(message);
    if (message.starts_with(wire::kCtxJsonPrefix)) {
      require(alone.ok(), "the context is read only once the decision stands", message);
      const auto context = wire::WireReceiptContext::read(ctx);
      require(!context.ok() && context.error().text == message, "the context's own fault is reported", message);
    } else {
      require(!alone.ok() && alone.error().text == message, "a decision error is resolve_json's error", message);
    }
    return 0;
  }
  require(alone.ok(), "resolve_json succeeds where the combined operation does", result.value());

  const std::string& text = result.value();
  simdjson::dom::parser parser;
  simdjson::dom::element combined;
  require(!parser.parse(text).get(combined), "the combined text is JSON", text);
  require_sorted_keys(combined, text);
  simdjson::dom::object top;
  require(!combined.get_object().get(top) && top.size() == 3, "three members at the top", text);
  simdjson::dom::element decision, dpv, kantara;
  require(!top["decision"].get(decision) && !top["receipt_dpv27560"].get(dpv) &&
              !top["receipt_kantara_cr_v1_1"].get(kantara),
          "decision and both receipts are present", text);
  require(dpv.is_object() && kantara.is_object(), "receipts are objects, not strings", text);
  check_decision(decision, query_facts(query), /*sorted=*/true, text);

  simdjson::dom::parser alone_parser;
  simdjson::dom::element alone_decision;
  require(!alone_parser.parse(alone.value()).get(alone_decision), "resolve_json's text is JSON", alone.value());
  require(canonical(decision) == canonical(alone_decision), "the decision member is resolve's decision", text);

  const auto context = wire::WireReceiptContext::read(ctx);
  require(context.ok(), "the context of a successful call reads", ctx);
  std::uint64_t timestamp = 0;
  require(!kantara["consentTimestamp"].get(timestamp) && timestamp == context.value().issued_at_unix,
          "the consent timestamp is issued_at_unix", text);
  return 0;
}
