#include "receipt/dpv_27560.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/disclaimer.h"
#include "receipt/receipt_fixtures.h"
#include "receipt/vocabulary.h"

namespace zorv::receipt {
namespace {

using namespace fixtures;

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

const std::string kContextMember = R"("@context":{"@vocab":)" + quoted(kKwdxNamespace) +
                                   R"(,"dpv":"https://w3id.org/dpv#",)" +
                                   R"("event_type":{"@id":"kwdx:event_type","@type":"@id"},"id":"@id","kwdx":)" +
                                   quoted(kKwdxNamespace) + R"(,"operations":{"@id":"kwdx:operations","@type":"@id"}})";
const std::string kDisclaimerMember = R"("disclaimer":)" + quoted(kNotLegalAdvice);
const std::string kControllerPrincipal = R"("pii_controller":{"@type":"dpv:DataController","id":"acme-bank"},)"
                                         R"("pii_principal":{"@type":"dpv:DataSubject","id":"user-42"},)";
const std::string kDecisionEvent =
    R"({"event_state":"permit","event_time":"2025-01-01T00:00:00Z","event_type":"kwdx:ControlDecision"})";
const std::string kRecord = R"("record":{"issued_at":"2025-01-01T00:00:00Z","language":"en","record_id":"rcpt-0001",)"
                            R"("schema_version":"kwdx-receipt/0.1+iso27560"}})";

const std::string kMinimalPackReceipt =
    "{" + kContextMember + R"(,"@type":"kwdx:ControlDecisionReceipt",)" +
    R"("decision":{"escalation":{"gpc_signal":false,"ieee7012_no_recording":false},)"
    R"("posture":"as_configured","required_controls":["mfa","tokenisation"],"verdict":"permit"},)" +
    kDisclaimerMember + R"(,"event":[)" + kDecisionEvent + "]," +
    R"("jurisdiction":{"attribution_source":"pack","dpv:hasJurisdiction":[]},)" + kControllerPrincipal +
    R"("processing":{"@type":"kwdx:RegulatedActivity","domain":"payments","operations":[],"subject":"card"},)"
    R"("provenance":{"advisory_only":true,"fell_back":false,"legal_review_status":"approved",)"
    R"("pack_source":"retail/payments.zorv.toml","profile":"retail","provenance_verified":false},)" +
    kRecord;

struct WholeDocumentCase {
  const char* name;
  ControlDecision decision;
  ReceiptContext context;
  std::string expected;
};

std::vector<WholeDocumentCase> whole_document_cases() {
  const auto w = awkward_written;
  return {
      {"minimal context, pack answer", pack_decision(), minimal_context(), kMinimalPackReceipt},
      {"full context, reviewed pack answer", reviewed_pack_decision(), full_context(),
       "{" + kContextMember + R"(,"@type":"kwdx:ControlDecisionReceipt",)" +
           R"("ai_disclosure":{"disclosed_at":"2025-01-01T00:00:05Z","method":"banner"},)"
           R"("decision":{"escalation":{"gpc_signal":true,"ieee7012_no_recording":true},)"
           R"("posture":"as_configured","required_controls":["mfa","tokenisation"],"verdict":"permit"},)" +
           kDisclaimerMember + R"(,"event":[)" + kDecisionEvent + "," +
           R"({"event_state":"banner","event_time":"2025-01-01T00:00:05Z","event_type":"kwdx:AiDisclosure"}],)"
           R"("jurisdiction":{"attribution_source":"pack","dpv:hasJurisdiction":["EU","DE","EU"]},)" +
           kControllerPrincipal +
           R"("processing":{"@type":"kwdx:RegulatedActivity","domain":"payments","operations":["b","a","b"],)"
           R"("subject":"card"},)"
           R"("provenance":{"advisory_only":true,"fell_back":false,"last_reviewed_against_guidance":"EDPB-2024-07",)"
           R"("legal_review_status":"approved","pack_sha256":"9f86d081","pack_source":"retail/payments.zorv.toml",)"
           R"("profile":"retail","provenance_verified":false},)" +
           kRecord},
      {"fall-back", fall_back_decision(), minimal_context(),
       "{" + kContextMember + R"(,"@type":"kwdx:ControlDecisionReceipt",)" +
           R"("decision":{"escalation":{"gpc_signal":false,"ieee7012_no_recording":false},)"
           R"("posture":"aggressive","required_controls":["MFA","audit_log","mfa"],"verdict":"permit"},)" +
           kDisclaimerMember + R"(,"event":[)" + kDecisionEvent + "]," +
           R"("jurisdiction":{"attribution_source":"pack","dpv:hasJurisdiction":[]},)" + kControllerPrincipal +
           R"("processing":{"@type":"kwdx:RegulatedActivity","domain":"payments","operations":[],"subject":"card"},)"
           R"("provenance":{"advisory_only":true,"fell_back":true,"legal_review_status":null,)"
           R"("pack_source":"<missing:retail/payments.zorv.toml>","profile":"retail","provenance_verified":false},)" +
           kRecord},
      {"control and non-ASCII characters in every copied text", awkward_decision(), awkward_context(),
       "{" + kContextMember + R"(,"@type":"kwdx:ControlDecisionReceipt",)" + R"("ai_disclosure":{"disclosed_at":)" +
           w("disclosed_at") + R"(,"method":)" + w("method") + "}," +
           R"("decision":{"escalation":{"gpc_signal":false,"ieee7012_no_recording":false},"posture":)" + w("dial") +
           R"(,"required_controls":[)" + w("a") + "," + w("b") + R"(],"verdict":"permit"},)" + kDisclaimerMember +
           R"(,"event":[{"event_state":"permit","event_time":)" + w("issued_at") +
           R"(,"event_type":"kwdx:ControlDecision"},{"event_state":)" + w("method") + R"(,"event_time":)" +
           w("disclosed_at") + R"(,"event_type":"kwdx:AiDisclosure"}],)" + R"("jurisdiction":{"attribution_source":)" +
           w("attribution_source") + R"(,"dpv:hasJurisdiction":[)" + w("j1") + "," + w("j2") + "]}," +
           R"("pii_controller":{"@type":"dpv:DataController","id":)" + w("pii_controller") + "}," +
           R"("pii_principal":{"@type":"dpv:DataSubject","id":)" + w("pii_principal_id") + "}," +
           R"("processing":{"@type":"kwdx:RegulatedActivity","domain":)" + w("domain") + R"(,"operations":[)" +
           w("operation") + R"(],"subject":)" + w("subject") + "}," +
           R"("provenance":{"advisory_only":true,"fell_back":false,"last_reviewed_against_guidance":)" + w("guidance") +
           R"(,"legal_review_status":)" + w("review") + R"(,"pack_sha256":)" + w("pack_sha256") + R"(,"pack_source":)" +
           w("source") + R"(,"profile":)" + w("profile") + R"(,"provenance_verified":false},)" +
           R"("record":{"issued_at":)" + w("issued_at") + R"(,"language":)" + w("language") + R"(,"record_id":)" +
           w("record_id") + R"(,"schema_version":"kwdx-receipt/0.1+iso27560"}})"},
  };
}

TEST(Dpv27560Test, WritesWholeDocument) {
  for (const auto& c : whole_document_cases()) {
    EXPECT_EQ(written(dpv_27560(c.decision, c.context)), c.expected) << c.name;
  }
}

TEST(Dpv27560Test, OneChangeShowsOnlyWhereItBelongs) {
  using D = ControlDecision;
  using C = ReceiptContext;
  const std::vector<ReceiptChange> cases = {
      {"unrecognised dial", [](D& d, C&) { d.provenance.strictness = Strictness::parse("strict"); },
       R"("posture":"as_configured")", R"("posture":"strict")", 1},
      {"empty dial text", [](D& d, C&) { d.provenance.strictness = Strictness::parse(""); },
       R"("posture":"as_configured")", R"("posture":"")", 1},
      {"block verdict leaves the event state alone", [](D& d, C&) { d.verdict = Verdict::block; },
       R"("verdict":"permit")", R"("verdict":"block")", 1},
      {"no required controls", [](D& d, C&) { d.required = ControlSet(); },
       R"("required_controls":["mfa","tokenisation"])", R"("required_controls":[])", 1},
      {"no legal review status", [](D& d, C&) { d.provenance.legal_review_status.reset(); },
       R"("legal_review_status":"approved")", R"("legal_review_status":null)", 1},
      {"empty guidance date is present", [](D& d, C&) { d.provenance.last_reviewed_against_guidance = ""; },
       R"("fell_back":false,)", R"("fell_back":false,"last_reviewed_against_guidance":"",)", 1},
      {"empty pack digest is present", [](D&, C& c) { c.pack_sha256 = ""; }, R"("legal_review_status":"approved",)",
       R"("legal_review_status":"approved","pack_sha256":"",)", 1},
      {"issued_at is the record time and the event time", [](D&, C& c) { c.issued_at = "yesterday"; },
       R"("2025-01-01T00:00:00Z")", R"("yesterday")", 2},
      {"gpc signal alone", [](D&, C& c) { c.gpc_signal = true; }, R"("gpc_signal":false)", R"("gpc_signal":true)", 1},
      {"no-recording flag alone", [](D&, C& c) { c.ieee7012_no_recording = true; }, R"("ieee7012_no_recording":false)",
       R"("ieee7012_no_recording":true)", 1},
      {"context fields the receipt does not carry",
       [](D&, C& c) {
         c.issued_at_unix = 18446744073709551615u;
         c.policy_url = "https://acme.example/policy";
         c.sensitive = true;
         c.spi_cat = {"health"};
       },
       "", "", 0},
  };
  for (const auto& c : cases) {
    ControlDecision decision = pack_decision();
    ReceiptContext context = minimal_context();
    c.change(decision, context);
    int count = 0;
    const std::string expected =
        c.from.empty() ? kMinimalPackReceipt : replace_all(kMinimalPackReceipt, c.from, c.to, count);
    ASSERT_EQ(count, c.occurrences) << c.name;
    EXPECT_EQ(written(dpv_27560(decision, context)), expected) << c.name;
  }
}

}  // namespace
}  // namespace zorv::receipt
