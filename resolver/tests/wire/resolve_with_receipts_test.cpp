// The combined operation: its decision member is resolve_json's decision with
// keys sorted, receipts are nested objects, and faults are reported in the
// order the inputs are read (packs, query, then context).
#include <gtest/gtest.h>

#include <simdjson.h>

#include <string>

#include "json/json_writer.h"
#include "wire/resolve_json.h"
#include "wire/resolve_with_receipts_json.h"
#include "wire/pack_index.h"
#include "wire/wire_query.h"
#include "wire/wire_receipt_context.h"

namespace zorv::wire {
namespace {

const std::string kPacks =
    R"({"retail/payments.zorv.toml":"[meta]\nstrictness = \"as_configured\"\n[meta.legal_review]\nstatus = \"ok\"\n)"
    R"([subject.card]\ncontrols = [\"mfa\", \"tok\"]\n"})";
const std::string kQuery =
    R"({"domain":"payments","profile":"retail","jurisdiction":"EU","subject":"card","universe":["tok","mfa","log"]})";
const std::string kContext =
    R"({"record_id":"r","issued_at":"t","issued_at_unix":7,"language":"en","pii_principal_id":"p",)"
    R"("pii_controller":"c","domain":"d","subject":"s","attribution_source":"a"})";

// Re-writes any JSON text as a generic value: same members, keys sorted.
json::JsonValue sorted_value(simdjson::dom::element element) {
  switch (element.type()) {
    case simdjson::dom::element_type::OBJECT: {
      json::JsonObject object;
      for (auto field : element.get_object()) object.emplace(std::string(field.key), sorted_value(field.value));
      return object;
    }
    case simdjson::dom::element_type::ARRAY: {
      json::JsonArray array;
      for (auto item : element.get_array()) array.push_back(sorted_value(item));
      return array;
    }
    case simdjson::dom::element_type::STRING:
      return std::string_view(element.get_string());
    case simdjson::dom::element_type::BOOL:
      return bool(element.get_bool());
    case simdjson::dom::element_type::UINT64:
      return std::uint64_t(element.get_uint64());
    case simdjson::dom::element_type::INT64:
      return std::uint64_t(element.get_int64());
    default:
      return nullptr;
  }
}

std::string sorted_text(const std::string& text) {
  simdjson::dom::parser parser;
  std::string out;
  json::append_value(out, sorted_value(parser.parse(text)));
  return out;
}

std::string member_text(const std::string& text, const char* key) {
  simdjson::dom::parser parser;
  return simdjson::minify(parser.parse(text)[key]);
}

TEST(ResolveWithReceipts, DecisionMemberIsTheResolvedDecisionWithSortedKeys) {
  for (const std::optional<std::string_view> dial : {std::optional<std::string_view>{}, {"minimal"}, {"Strict"}}) {
    const auto combined = resolve_with_receipts_json(kPacks, kQuery, kContext, dial);
    const auto decision = resolve_json(kPacks, kQuery, dial);
    ASSERT_TRUE(combined.ok() && decision.ok());
    EXPECT_EQ(member_text(combined.value(), "decision"), sorted_text(decision.value()));
    EXPECT_EQ(combined.value().rfind(R"({"decision":{"disclaimer":)", 0), 0u);
    // Sorted at every depth: writing the parsed text sorted changes nothing.
    EXPECT_EQ(sorted_text(combined.value()), combined.value());
  }
}

TEST(ResolveWithReceipts, ReceiptsAreNestedObjectsAfterTheDecision) {
  const auto combined = resolve_with_receipts_json("{}", kQuery, kContext, std::nullopt);
  ASSERT_TRUE(combined.ok());
  simdjson::dom::parser parser;
  const simdjson::dom::object top = parser.parse(combined.value()).get_object();
  std::vector<std::string> keys;
  for (auto field : top) {
    keys.emplace_back(field.key);
    EXPECT_TRUE(field.value.is_object());
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"decision", "receipt_dpv27560", "receipt_kantara_cr_v1_1"}));
  EXPECT_EQ(std::string_view(top["receipt_kantara_cr_v1_1"]["kwdx"]["pack_source"]),
            "<missing:retail/payments.zorv.toml>");
}

struct OrderCase {
  std::string packs, query, context;
  std::string expected_prefix;
};

class FaultOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(FaultOrder, FirstUnusableInputInReadingOrderIsReported) {
  const auto result = resolve_with_receipts_json(GetParam().packs, GetParam().query, GetParam().context, "minimal");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().text.rfind(GetParam().expected_prefix, 0), 0u) << result.error().text;
}

INSTANTIATE_TEST_SUITE_P(
    All, FaultOrder,
    testing::Values(OrderCase{"[]", "{", "null", std::string(kPacksJsonPrefix)},
                    OrderCase{kPacks, "{", "null", std::string(kQueryJsonPrefix)},
                    OrderCase{kPacks, "[]", "{", std::string(kQueryJsonPrefix)},
                    OrderCase{kPacks, kQuery, "null",
                              std::string(kCtxJsonPrefix) +
                                  "invalid type: null, expected struct WireReceiptContext at line 1 column 4"},
                    OrderCase{"{}", kQuery, "{}",
                              std::string(kCtxJsonPrefix) + "missing field `record_id` at line 1 column 2"}));

}  // namespace
}  // namespace zorv::wire
