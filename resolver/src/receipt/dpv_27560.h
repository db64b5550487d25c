// dpv_27560: the JSON-LD receipt of one control decision, shaped after
// ISO/IEC TS 27560 and using W3C Data Privacy Vocabulary terms. It records
// which controls a decision requires, for whom and under which
// jurisdictions, and from which pack and dial; never consent obtained.
//
// The context is inline ("@vocab" and the `kwdx` prefix are the resolver's
// own namespace, `dpv` the DPV namespace), so a JSON-LD processor needs no
// network to read it. Every value is a literal, a verbatim copy of a field
// of the two inputs, or the text form of the verdict or the dial.
//
// Pure: reads only its two arguments, never fails, returns a new object the
// caller owns, which borrows the decision's control keys: keep the decision
// alive while the receipt is used. Key order comes from the ordered objects
// of json::JsonValue.
#pragma once

#include "core/control_decision.h"
#include "json/json_value.h"
#include "receipt/receipt_context.h"

namespace zorv::receipt {

json::JsonValue dpv_27560(const ControlDecision& decision, const ReceiptContext& context);

}  // namespace zorv::receipt
