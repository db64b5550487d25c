#include "wire/wire_receipt_context.h"

#include "json/json_reader.h"

namespace zorv::wire {

namespace {

bool read_ai_disclosure(json::JsonReader& reader, std::optional<WireAiDisclosure>& out) {
  static const json::RecordShape kShape{"struct WireAiDisclosure", {"disclosed_at", "method"}, 0b11};
  bool is_null = false;
  if (!reader.read_null(is_null)) return false;
  if (is_null) {
    out.reset();
    return true;
  }
  WireAiDisclosure disclosure;
  const bool ok = reader.read_record(kShape, [&](std::size_t field) {
    return reader.read_string(field == 0 ? disclosure.disclosed_at : disclosure.method);
  });
  if (ok) out = std::move(disclosure);
  return ok;
}

}  // namespace

Result<WireReceiptContext> WireReceiptContext::read(std::string_view ctx_json) {
  static const json::RecordShape kShape{
      "struct WireReceiptContext",
      {"record_id", "issued_at", "issued_at_unix", "language", "pii_principal_id", "pii_controller", "policy_url",
       "domain", "subject", "operations", "jurisdictions", "attribution_source", "gpc_signal", "ieee7012_no_recording",
       "sensitive", "spi_cat", "ai_disclosure", "pack_sha256"},
      // required: record_id to pii_controller, domain, subject, attribution_source
      0b1001'1011'1111};
  WireReceiptContext ctx;
  json::JsonReader reader(ctx_json);
  const bool ok = reader.read_document([&] {
    return reader.read_record(kShape, [&](std::size_t field) {
      switch (field) {
        case 0:
          return reader.read_string(ctx.record_id);
        case 1:
          return reader.read_string(ctx.issued_at);
        case 2:
          return reader.read_u64(ctx.issued_at_unix);
        case 3:
          return reader.read_string(ctx.language);
        case 4:
          return reader.read_string(ctx.pii_principal_id);
        case 5:
          return reader.read_string(ctx.pii_controller);
        case 6:
          return reader.read_optional_string(ctx.policy_url);
        case 7:
          return reader.read_string(ctx.domain);
        case 8:
          return reader.read_string(ctx.subject);
        case 9:
          return reader.read_string_array(ctx.operations);
        case 10:
          return reader.read_string_array(ctx.jurisdictions);
        case 11:
          return reader.read_string(ctx.attribution_source);
        case 12:
          return reader.read_bool(ctx.gpc_signal);
        case 13:
          return reader.read_bool(ctx.ieee7012_no_recording);
        case 14:
          return reader.read_bool(ctx.sensitive);
        case 15:
          return reader.read_string_array(ctx.spi_cat);
        case 16:
          return read_ai_disclosure(reader, ctx.ai_disclosure);
        default:
          return reader.read_optional_string(ctx.pack_sha256);
      }
    });
  });
  if (!ok) return ErrorMessage{json::fault_message(kCtxJsonPrefix, ctx_json, reader.fault())};
  return ctx;
}

receipt::ReceiptContext WireReceiptContext::into_core() && {
  std::optional<receipt::AiDisclosure> disclosure;
  if (ai_disclosure) {
    disclosure = receipt::AiDisclosure{std::move(ai_disclosure->disclosed_at), std::move(ai_disclosure->method)};
  }
  return receipt::ReceiptContext{
      std::move(record_id),
      std::move(issued_at),
      issued_at_unix,
      std::move(language),
      std::move(pii_principal_id),
      std::move(pii_controller),
      std::move(policy_url),
      std::move(domain),
      std::move(subject),
      std::move(operations),
      std::move(jurisdictions),
      std::move(attribution_source),
      gpc_signal,
      ieee7012_no_recording,
      sensitive,
      std::move(spi_cat),
      std::move(disclosure),
      std::move(pack_sha256),
  };
}

}  // namespace zorv::wire
