// Decisions and receipt contexts shared by the receipt builder tests, and the
// written text of a JSON value. Each fixture is a plain value that a test
// copies and changes; nothing here is shared between test cases.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/control_decision.h"
#include "json/json_value.h"
#include "json/json_writer.h"
#include "receipt/receipt_context.h"

namespace zorv::receipt::fixtures {

inline std::string written(const json::JsonValue& value) {
  std::string text;
  json::append_value(text, value);
  return text;
}

// A pack answer: dial as_configured, review status but no guidance date.
inline ControlDecision pack_decision() {
  ControlDecision decision;
  decision.required = ControlSet::from_list({"tokenisation", "mfa"});
  decision.provenance.profile = "retail";
  decision.provenance.strictness = Strictness::as_configured();
  decision.provenance.source = "retail/payments.zorv.toml";
  decision.provenance.legal_review_status = "approved";
  return decision;
}

inline ControlDecision reviewed_pack_decision() {
  ControlDecision decision = pack_decision();
  decision.provenance.last_reviewed_against_guidance = "EDPB-2024-07";
  return decision;
}

// The missing-pack fall-back over the universe {mfa, MFA, audit_log}.
inline ControlDecision fall_back_decision() {
  ControlDecision decision;
  decision.required = ControlSet::from_list({"mfa", "MFA", "audit_log"});
  decision.provenance.profile = "retail";
  decision.provenance.strictness = Strictness::aggressive();
  decision.provenance.source = "<missing:retail/payments.zorv.toml>";
  decision.provenance.fell_back = true;
  return decision;
}

// Only the nine members a caller must give; everything else defaulted.
inline ReceiptContext minimal_context() {
  ReceiptContext context;
  context.record_id = "rcpt-0001";
  context.issued_at = "2025-01-01T00:00:00Z";
  context.issued_at_unix = 1735689600;
  context.language = "en";
  context.pii_principal_id = "user-42";
  context.pii_controller = "acme-bank";
  context.domain = "payments";
  context.subject = "card";
  context.attribution_source = "pack";
  return context;
}

// Every optional member present, every flag set, lists out of order and
// with duplicates.
inline ReceiptContext full_context() {
  ReceiptContext context = minimal_context();
  context.policy_url = "https://acme.example/policy";
  context.operations = {"b", "a", "b"};
  context.jurisdictions = {"EU", "DE", "EU"};
  context.gpc_signal = true;
  context.ieee7012_no_recording = true;
  context.sensitive = true;
  context.spi_cat = {"health", "biometric", "health"};
  context.ai_disclosure = AiDisclosure{"2025-01-01T00:00:05Z", "banner"};
  context.pack_sha256 = "9f86d081";
  return context;
}

// `tag` followed by a NUL, control characters, a quotation mark, a
// backslash, a solidus, DEL and non-ASCII text: every byte class the writer
// treats differently. The tag tells the fields apart.
inline std::string awkward(std::string_view tag) {
  using namespace std::string_literals;
  return std::string(tag) + "\0\x01\x1f\b\t\n\f\r\"\\/"s + "\x7f" + "é—";
}

// The same text as written inside a JSON string, quotes included.
inline std::string awkward_written(std::string_view tag) {
  return "\"" + std::string(tag) + R"(\u0000\u0001\u001f\b\t\n\f\r\"\\/)" + "\x7f" + "é—" + "\"";
}

inline ControlDecision awkward_decision() {
  ControlDecision decision;
  decision.required = ControlSet::from_list({awkward("b"), awkward("a")});
  decision.provenance.profile = awkward("profile");
  decision.provenance.strictness = Strictness::parse(awkward("dial"));
  decision.provenance.source = awkward("source");
  decision.provenance.legal_review_status = awkward("review");
  decision.provenance.last_reviewed_against_guidance = awkward("guidance");
  return decision;
}

inline ReceiptContext awkward_context() {
  ReceiptContext context;
  context.record_id = awkward("record_id");
  context.issued_at = awkward("issued_at");
  context.issued_at_unix = 7;
  context.language = awkward("language");
  context.pii_principal_id = awkward("pii_principal_id");
  context.pii_controller = awkward("pii_controller");
  context.policy_url = awkward("policy_url");
  context.domain = awkward("domain");
  context.subject = awkward("subject");
  context.operations = {awkward("operation")};
  context.jurisdictions = {awkward("j1"), awkward("j2")};
  context.attribution_source = awkward("attribution_source");
  context.spi_cat = {awkward("spi_cat")};
  context.ai_disclosure = AiDisclosure{awkward("disclosed_at"), awkward("method")};
  context.pack_sha256 = awkward("pack_sha256");
  return context;
}

// One change to the inputs of a receipt, and the text it must make in the
// receipt: every `from` becomes `to`, `occurrences` times, nothing else moves.
struct ReceiptChange {
  const char* name;
  std::function<void(ControlDecision&, ReceiptContext&)> change;
  std::string from;  // empty: the text must not change at all
  std::string to;
  int occurrences;
};

inline std::string replace_all(std::string text, const std::string& from, const std::string& to, int& count) {
  count = 0;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
    ++count;
  }
  return text;
}

}  // namespace zorv::receipt::fixtures
