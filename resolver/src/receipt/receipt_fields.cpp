#include "receipt/receipt_fields.h"

namespace zorv::receipt {

json::JsonValue posture(const Strictness& strictness) { return json::JsonValue(strictness.text_form()); }

json::JsonValue required_controls(const ControlSet& required) {
  return json::JsonValue(json::borrowed_string_array(required.keys()));
}

json::JsonValue ai_disclosure_object(const AiDisclosure& disclosure) {
  return json::JsonObject{
      {"disclosed_at", disclosure.disclosed_at},
      {"method", disclosure.method},
  };
}

json::JsonObject provenance_statement(const ControlDecision& decision, const ReceiptContext& context) {
  const PolicyProvenance& provenance = decision.provenance;
  json::JsonObject statement{
      {"advisory_only", true},
      {"fell_back", provenance.fell_back},
      {"legal_review_status",
       provenance.legal_review_status ? json::JsonValue(*provenance.legal_review_status) : json::JsonValue(nullptr)},
      {"pack_source", provenance.source},
      {"provenance_verified", false},
  };
  if (context.pack_sha256) statement.emplace("pack_sha256", *context.pack_sha256);
  return statement;
}

}  // namespace zorv::receipt
