// kantara_cr_v1_1: the receipt of one control decision shaped after the
// Kantara Initiative Consent Receipt v1.1. It borrows that format's member
// names to say which controls a decision requires and where the requirement
// came from; it does not record consent obtained, and its notice and
// disclaimer say so. The resolver's own provenance travels in the extension
// object "kwdx". Members the format defines but the resolver cannot know
// (controller contact details, consent type, third-party disclosure) are
// never written, nor are optional members the context does not carry.
//
// Pure: reads only its two arguments, never fails, returns a new object the
// caller owns, which borrows the decision's control keys: keep the decision
// alive while the receipt is used. Key order comes from the ordered objects
// of json::JsonValue.
#pragma once

#include <string_view>

#include "core/control_decision.h"
#include "json/json_value.h"
#include "receipt/receipt_context.h"

namespace zorv::receipt {

// Opens the notice; the disclaimer follows it directly.
inline constexpr std::string_view kKantaraNoticePrefix =
    "KWDX control-prescription receipt \u2014 records REQUIRED controls, NOT obtained consent. ";
static_assert(kKantaraNoticePrefix.size() == 87, "the em dash is three UTF-8 bytes");

// What `policyUrl` says when the caller names no policy.
inline constexpr std::string_view kUnspecifiedPolicyUrl = "urn:kwdx:policy:unspecified";

json::JsonValue kantara_cr_v1_1(const ControlDecision& decision, const ReceiptContext& context);

}  // namespace zorv::receipt
