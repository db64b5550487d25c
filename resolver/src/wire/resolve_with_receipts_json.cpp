#include "wire/resolve_with_receipts_json.h"

#include "json/json_writer.h"
#include "receipt/dpv_27560.h"
#include "receipt/kantara_cr_v1_1.h"
#include "wire/resolve_json.h"
#include "wire/wire_decision.h"
#include "wire/wire_receipt_context.h"

namespace zorv::wire {

Result<std::string> resolve_with_receipts_json(std::string_view packs_json, std::string_view query_json,
                                               std::string_view ctx_json,
                                               std::optional<std::string_view> strictness_override) {
  Result<ControlDecision> decision = decide(packs_json, query_json, strictness_override);
  if (!decision.ok()) return std::move(decision.error());
  return decision_with_receipts_json(decision.value(), ctx_json);
}

Result<std::string> decision_with_receipts_json(const ControlDecision& core, std::string_view ctx_json) {
  Result<WireReceiptContext> wire_context = WireReceiptContext::read(ctx_json);
  if (!wire_context.ok()) return std::move(wire_context.error());
  const receipt::ReceiptContext context = std::move(wire_context.value()).into_core();

  json::JsonObject combined;
  combined.emplace("decision", WireDecision::from_core(core).to_json_value());
  combined.emplace("receipt_dpv27560", receipt::dpv_27560(core, context));
  combined.emplace("receipt_kantara_cr_v1_1", receipt::kantara_cr_v1_1(core, context));

  // The required keys appear three times; the rest is a few KB at most.
  size_t keys_size = 0;
  for (const std::string_view key : core.required.keys()) keys_size += key.size() + 3;
  std::string text;
  text.reserve(4096 + 3 * keys_size);
  json::append_value(text, json::JsonValue(std::move(combined)));
  return text;
}

}  // namespace zorv::wire
