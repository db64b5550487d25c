#include "receipt/dpv_27560.h"

#include "core/disclaimer.h"
#include "receipt/receipt_fields.h"
#include "receipt/vocabulary.h"

namespace zorv::receipt {

namespace {

using json::JsonArray;
using json::JsonObject;
using json::JsonValue;

JsonValue iri_valued_term(std::string_view term) { return JsonObject{{"@id", term}, {"@type", "@id"}}; }

JsonValue jsonld_context() {
  return JsonObject{
      {"@vocab", kKwdxNamespace},
      {"dpv", kDpvNamespace},
      {"event_type", iri_valued_term("kwdx:event_type")},
      {"id", "@id"},
      {"kwdx", kKwdxNamespace},
      {"operations", iri_valued_term("kwdx:operations")},
  };
}

JsonValue event(std::string_view time, std::string_view type, std::string_view state) {
  return JsonObject{{"event_state", state}, {"event_time", time}, {"event_type", type}};
}

// The decision event records that a decision was issued, not its outcome,
// so its state is "permit" whatever the verdict; the verdict has its own
// member under "decision".
JsonValue events(const ReceiptContext& context) {
  JsonArray list;
  list.push_back(event(context.issued_at, "kwdx:ControlDecision", "permit"));
  if (context.ai_disclosure) {
    list.push_back(event(context.ai_disclosure->disclosed_at, "kwdx:AiDisclosure", context.ai_disclosure->method));
  }
  return list;
}

// Members built from an initializer list are copied into their object, so
// the ones that grow with the decision are moved in afterwards.
JsonValue decision_member(const ControlDecision& decision, const ReceiptContext& context) {
  JsonObject member{
      {"escalation",
       JsonObject{{"gpc_signal", context.gpc_signal}, {"ieee7012_no_recording", context.ieee7012_no_recording}}},
      {"posture", posture(decision.provenance.strictness)},
      {"verdict", decision.verdict == Verdict::block ? "block" : "permit"},
  };
  member.emplace("required_controls", required_controls(decision.required));
  return member;
}

JsonValue provenance_member(const ControlDecision& decision, const ReceiptContext& context) {
  JsonObject provenance = provenance_statement(decision, context);
  provenance.emplace("profile", decision.provenance.profile);
  if (decision.provenance.last_reviewed_against_guidance) {
    provenance.emplace("last_reviewed_against_guidance", *decision.provenance.last_reviewed_against_guidance);
  }
  return provenance;
}

}  // namespace

JsonValue dpv_27560(const ControlDecision& decision, const ReceiptContext& context) {
  JsonObject receipt{
      {"@context", jsonld_context()},
      {"@type", "kwdx:ControlDecisionReceipt"},
      {"disclaimer", kNotLegalAdvice},
      {"event", events(context)},
      {"jurisdiction",
       JsonObject{
           {"attribution_source", context.attribution_source},
           {"dpv:hasJurisdiction", json::string_array(context.jurisdictions)},
       }},
      {"pii_controller", JsonObject{{"@type", "dpv:DataController"}, {"id", context.pii_controller}}},
      {"pii_principal", JsonObject{{"@type", "dpv:DataSubject"}, {"id", context.pii_principal_id}}},
      {"processing",
       JsonObject{
           {"@type", "kwdx:RegulatedActivity"},
           {"domain", context.domain},
           {"operations", json::string_array(context.operations)},
           {"subject", context.subject},
       }},
      {"provenance", provenance_member(decision, context)},
      {"record",
       JsonObject{
           {"issued_at", context.issued_at},
           {"language", context.language},
           {"record_id", context.record_id},
           {"schema_version", "kwdx-receipt/0.1+iso27560"},
       }},
  };
  receipt.emplace("decision", decision_member(decision, context));
  if (context.ai_disclosure) receipt.emplace("ai_disclosure", ai_disclosure_object(*context.ai_disclosure));
  return receipt;
}

}  // namespace zorv::receipt
