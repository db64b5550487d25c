#include "receipt/kantara_cr_v1_1.h"

#include <string>
#include <vector>

#include "core/disclaimer.h"
#include "receipt/receipt_fields.h"

namespace zorv::receipt {

namespace {

using json::JsonArray;
using json::JsonObject;
using json::JsonValue;

// The format has one string for the jurisdiction; items are joined as given,
// so one that holds a space cannot be told apart afterwards. The DPV receipt
// keeps them as a list.
std::string joined_jurisdictions(const std::vector<std::string>& jurisdictions) {
  std::string joined;
  for (size_t i = 0; i < jurisdictions.size(); ++i) {
    if (i > 0) joined += ' ';
    joined += jurisdictions[i];
  }
  return joined;
}

std::string notice() {
  std::string text;
  text.reserve(kKantaraNoticePrefix.size() + kNotLegalAdvice.size());
  text += kKantaraNoticePrefix;
  text += kNotLegalAdvice;
  return text;
}

JsonValue services(const ReceiptContext& context) {
  JsonObject purpose{
      {"piiCategory", json::string_array(context.operations)},
      {"primaryPurpose", true},
      {"purpose", context.subject},
      {"purposeCategory", JsonArray{JsonValue(context.domain)}},
      {"termination", "per_pack_effective_until"},
  };
  JsonObject service{
      {"purposes", JsonArray{JsonValue(std::move(purpose))}},
      {"service", context.domain},
  };
  return JsonArray{JsonValue(std::move(service))};
}

JsonValue kwdx_extension(const ControlDecision& decision, const ReceiptContext& context) {
  JsonObject extension = provenance_statement(decision, context);
  extension.emplace("disclaimer", kNotLegalAdvice);
  extension.emplace("gpc_signal", context.gpc_signal);
  extension.emplace("posture", posture(decision.provenance.strictness));
  extension.emplace("required_controls", required_controls(decision.required));
  if (context.ai_disclosure) extension.emplace("ai_disclosure", ai_disclosure_object(*context.ai_disclosure));
  return extension;
}

}  // namespace

JsonValue kantara_cr_v1_1(const ControlDecision& decision, const ReceiptContext& context) {
  // Members built from an initializer list are copied into the object, so
  // the one that grows with the decision is moved in afterwards.
  JsonObject receipt{
      {"collectionMethod", "kwdx_resolver"},
      {"consentReceiptID", context.record_id},
      {"consentTimestamp", context.issued_at_unix},
      {"jurisdiction", joined_jurisdictions(context.jurisdictions)},
      {"language", context.language},
      {"notice", notice()},
      {"piiControllers", JsonArray{JsonValue(JsonObject{{"piiController", context.pii_controller}})}},
      {"piiPrincipalId", context.pii_principal_id},
      {"policyUrl", context.policy_url ? JsonValue(*context.policy_url) : JsonValue(kUnspecifiedPolicyUrl)},
      {"sensitive", context.sensitive},
      {"services", services(context)},
      {"spiCat", json::string_array(context.spi_cat)},
      {"version", "KI-CR-v1.1.0"},
  };
  receipt.emplace("kwdx", kwdx_extension(decision, context));
  return receipt;
}

}  // namespace zorv::receipt
