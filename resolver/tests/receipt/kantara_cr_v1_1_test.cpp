#include "receipt/kantara_cr_v1_1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/disclaimer.h"
#include "receipt/receipt_fixtures.h"

namespace zorv::receipt {
namespace {

using namespace fixtures;

const std::string kDisclaimer = "\"" + std::string(kNotLegalAdvice) + "\"";
const std::string kNoticeMember = R"("notice":"KWDX control-prescription receipt — records REQUIRED controls, )"
                                  R"(NOT obtained consent. )" +
                                  std::string(kNotLegalAdvice) + "\"";
const std::string kPurposeTail = R"("primaryPurpose":true,"purpose":"card","purposeCategory":["payments"],)"
                                 R"("termination":"per_pack_effective_until"}],)"
                                 R"("service":"payments"}],)";

const std::string kMinimalPackReceipt =
    R"({"collectionMethod":"kwdx_resolver","consentReceiptID":"rcpt-0001","consentTimestamp":1735689600,)"
    R"("jurisdiction":"","kwdx":{"advisory_only":true,"disclaimer":)" +
    kDisclaimer +
    R"(,"fell_back":false,"gpc_signal":false,"legal_review_status":"approved",)"
    R"("pack_source":"retail/payments.zorv.toml","posture":"as_configured","provenance_verified":false,)"
    R"("required_controls":["mfa","tokenisation"]},"language":"en",)" +
    kNoticeMember +
    R"(,"piiControllers":[{"piiController":"acme-bank"}],"piiPrincipalId":"user-42",)"
    R"("policyUrl":"urn:kwdx:policy:unspecified","sensitive":false,"services":[{"purposes":[{"piiCategory":[],)" +
    kPurposeTail + R"("spiCat":[],"version":"KI-CR-v1.1.0"})";

struct WholeDocumentCase {
  const char* name;
  ControlDecision decision;
  ReceiptContext context;
  std::string expected;
};

std::vector<WholeDocumentCase> whole_document_cases() {
  const auto w = awkward_written;
  // Joined jurisdictions are one string: drop the quotes where items meet.
  const std::string joined = w("j1").substr(0, w("j1").size() - 1) + " " + w("j2").substr(1);
  return {
      {"minimal context, pack answer", pack_decision(), minimal_context(), kMinimalPackReceipt},
      {"full context, reviewed pack answer", reviewed_pack_decision(), full_context(),
       R"({"collectionMethod":"kwdx_resolver","consentReceiptID":"rcpt-0001","consentTimestamp":1735689600,)"
       R"("jurisdiction":"EU DE EU","kwdx":{"advisory_only":true,)"
       R"("ai_disclosure":{"disclosed_at":"2025-01-01T00:00:05Z","method":"banner"},"disclaimer":)" +
           kDisclaimer +
           R"(,"fell_back":false,"gpc_signal":true,"legal_review_status":"approved","pack_sha256":"9f86d081",)"
           R"("pack_source":"retail/payments.zorv.toml","posture":"as_configured","provenance_verified":false,)"
           R"("required_controls":["mfa","tokenisation"]},"language":"en",)" +
           kNoticeMember +
           R"(,"piiControllers":[{"piiController":"acme-bank"}],"piiPrincipalId":"user-42",)"
           R"("policyUrl":"https://acme.example/policy","sensitive":true,)"
           R"("services":[{"purposes":[{"piiCategory":["b","a","b"],)" +
           kPurposeTail + R"("spiCat":["health","biometric","health"],"version":"KI-CR-v1.1.0"})"},
      {"fall-back", fall_back_decision(), minimal_context(),
       R"({"collectionMethod":"kwdx_resolver","consentReceiptID":"rcpt-0001","consentTimestamp":1735689600,)"
       R"("jurisdiction":"","kwdx":{"advisory_only":true,"disclaimer":)" +
           kDisclaimer +
           R"(,"fell_back":true,"gpc_signal":false,"legal_review_status":null,)"
           R"("pack_source":"<missing:retail/payments.zorv.toml>","posture":"aggressive","provenance_verified":false,)"
           R"("required_controls":["MFA","audit_log","mfa"]},"language":"en",)" +
           kNoticeMember +
           R"(,"piiControllers":[{"piiController":"acme-bank"}],"piiPrincipalId":"user-42",)"
           R"("policyUrl":"urn:kwdx:policy:unspecified","sensitive":false,)"
           R"("services":[{"purposes":[{"piiCategory":[],)" +
           kPurposeTail + R"("spiCat":[],"version":"KI-CR-v1.1.0"})"},
      {"control and non-ASCII characters in every copied text", awkward_decision(), awkward_context(),
       R"({"collectionMethod":"kwdx_resolver","consentReceiptID":)" + w("record_id") +
           R"(,"consentTimestamp":7,"jurisdiction":)" + joined + R"(,"kwdx":{"advisory_only":true,)" +
           R"("ai_disclosure":{"disclosed_at":)" + w("disclosed_at") + R"(,"method":)" + w("method") +
           R"(},"disclaimer":)" + kDisclaimer + R"(,"fell_back":false,"gpc_signal":false,"legal_review_status":)" +
           w("review") + R"(,"pack_sha256":)" + w("pack_sha256") + R"(,"pack_source":)" + w("source") +
           R"(,"posture":)" + w("dial") + R"(,"provenance_verified":false,"required_controls":[)" + w("a") + "," +
           w("b") + R"(]},"language":)" + w("language") + "," + kNoticeMember +
           R"(,"piiControllers":[{"piiController":)" + w("pii_controller") + R"(}],"piiPrincipalId":)" +
           w("pii_principal_id") + R"(,"policyUrl":)" + w("policy_url") +
           R"(,"sensitive":false,"services":[{"purposes":[{"piiCategory":[)" + w("operation") +
           R"(],"primaryPurpose":true,"purpose":)" + w("subject") + R"(,"purposeCategory":[)" + w("domain") +
           R"(],"termination":"per_pack_effective_until"}],"service":)" + w("domain") + R"(}],"spiCat":[)" +
           w("spi_cat") + R"(],"version":"KI-CR-v1.1.0"})"},
  };
}

TEST(KantaraCrV11Test, WritesWholeDocument) {
  for (const auto& c : whole_document_cases()) {
    EXPECT_EQ(written(kantara_cr_v1_1(c.decision, c.context)), c.expected) << c.name;
  }
}

TEST(KantaraCrV11Test, OneChangeShowsOnlyWhereItBelongs) {
  using D = ControlDecision;
  using C = ReceiptContext;
  const std::vector<ReceiptChange> cases = {
      {"timestamp zero", [](D&, C& c) { c.issued_at_unix = 0; }, R"("consentTimestamp":1735689600,)",
       R"("consentTimestamp":0,)", 1},
      {"largest timestamp", [](D&, C& c) { c.issued_at_unix = 18446744073709551615u; },
       R"("consentTimestamp":1735689600,)", R"("consentTimestamp":18446744073709551615,)", 1},
      {"empty policy url is present", [](D&, C& c) { c.policy_url = ""; },
       R"("policyUrl":"urn:kwdx:policy:unspecified")", R"("policyUrl":"")", 1},
      {"one jurisdiction", [](D&, C& c) { c.jurisdictions = {"EU"}; }, R"("jurisdiction":"")", R"("jurisdiction":"EU")",
       1},
      {"jurisdictions joined untrimmed, empty items kept", [](D&, C& c) { c.jurisdictions = {" EU", "", "DE "}; },
       R"("jurisdiction":"")", R"("jurisdiction":" EU  DE ")", 1},
      {"unrecognised dial", [](D& d, C&) { d.provenance.strictness = Strictness::parse("strict"); },
       R"("posture":"as_configured")", R"("posture":"strict")", 1},
      {"empty dial text", [](D& d, C&) { d.provenance.strictness = Strictness::parse(""); },
       R"("posture":"as_configured")", R"("posture":"")", 1},
      {"no required controls", [](D& d, C&) { d.required = ControlSet(); },
       R"("required_controls":["mfa","tokenisation"])", R"("required_controls":[])", 1},
      {"no legal review status", [](D& d, C&) { d.provenance.legal_review_status.reset(); },
       R"("legal_review_status":"approved")", R"("legal_review_status":null)", 1},
      {"empty pack digest is present", [](D&, C& c) { c.pack_sha256 = ""; }, R"("legal_review_status":"approved",)",
       R"("legal_review_status":"approved","pack_sha256":"",)", 1},
      {"gpc signal", [](D&, C& c) { c.gpc_signal = true; }, R"("gpc_signal":false)", R"("gpc_signal":true)", 1},
      {"sensitive", [](D&, C& c) { c.sensitive = true; }, R"("sensitive":false)", R"("sensitive":true)", 1},
      {"decision fields the receipt does not carry",
       [](D& d, C&) {
         d.verdict = Verdict::block;
         d.provenance.profile = "other";
         d.provenance.last_reviewed_against_guidance = "EDPB-2024-07";
       },
       "", "", 0},
      {"context fields the receipt does not carry",
       [](D&, C& c) {
         c.issued_at = "yesterday";
         c.attribution_source = "override";
         c.ieee7012_no_recording = true;
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
    EXPECT_EQ(written(kantara_cr_v1_1(decision, context)), expected) << c.name;
  }
}

}  // namespace
}  // namespace zorv::receipt
