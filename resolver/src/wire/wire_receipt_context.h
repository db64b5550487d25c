// WireReceiptContext and WireAiDisclosure: the JSON form of the receipt
// context (`ctx_json`), its reading and its conversion into the core
// ReceiptContext. Values are checked for their JSON type only, never for
// meaning.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "receipt/receipt_context.h"
#include "wire/result.h"

namespace zorv::wire {

inline constexpr std::string_view kCtxJsonPrefix = "ctx_json is not a valid ReceiptContext: ";

struct WireAiDisclosure {
  std::string disclosed_at;
  std::string method;
};

struct WireReceiptContext {
  std::string record_id;
  std::string issued_at;
  std::uint64_t issued_at_unix = 0;
  std::string language;
  std::string pii_principal_id;
  std::string pii_controller;
  std::optional<std::string> policy_url;
  std::string domain;
  std::string subject;
  std::vector<std::string> operations;
  std::vector<std::string> jurisdictions;
  std::string attribution_source;
  bool gpc_signal = false;
  bool ieee7012_no_recording = false;
  bool sensitive = false;
  std::vector<std::string> spi_cat;
  std::optional<WireAiDisclosure> ai_disclosure;
  std::optional<std::string> pack_sha256;

  static Result<WireReceiptContext> read(std::string_view ctx_json);

  receipt::ReceiptContext into_core() &&;
};

}  // namespace zorv::wire
