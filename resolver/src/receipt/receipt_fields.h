// The values both receipts derive from a decision and its receipt context, in
// the one form both write them: the dial as posture text, the required
// controls as an array, the AI disclosure as an object, and the provenance
// statement (advisory only, never verified, which pack, fell back or not).
// Keeping them here means the two receipts cannot drift apart on any of them.
// Pure functions: they copy what they read, never fail and do no I/O.
#pragma once

#include "core/control_decision.h"
#include "pack/control_set.h"
#include "core/strictness.h"
#include "json/json_value.h"
#include "receipt/receipt_context.h"

namespace zorv::receipt {

// The dial's text form; an unrecognised dial gives the text it carries.
json::JsonValue posture(const Strictness& strictness);

// The keys in the set's order (ascending bytes, no repeats), borrowed from
// the set, which must outlive the value.
json::JsonValue required_controls(const ControlSet& required);

// {"disclosed_at", "method"}.
json::JsonValue ai_disclosure_object(const AiDisclosure& disclosure);

// "advisory_only" (true), "fell_back", "legal_review_status" (null when the
// pack had none), "pack_sha256" (only when the context carries one, even an
// empty one), "pack_source" and "provenance_verified" (false). Each receipt
// adds its own members to the object it gets back.
json::JsonObject provenance_statement(const ControlDecision& decision, const ReceiptContext& context);

}  // namespace zorv::receipt
