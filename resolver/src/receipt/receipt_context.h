// ReceiptContext: the circumstances of a decision that the resolver cannot
// know by itself (who, when, what, where), supplied by the caller and read by
// both receipt builders. Defaults are already applied; values are copied into
// the receipts verbatim and never checked for meaning.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorv::receipt {

struct AiDisclosure {
  std::string disclosed_at;
  std::string method;

  bool operator==(const AiDisclosure&) const = default;
};

struct ReceiptContext {
  std::string record_id;
  std::string issued_at;             // free-form; the DPV receipt's event time
  std::uint64_t issued_at_unix = 0;  // the Kantara receipt's consent timestamp
  std::string language;
  std::string pii_principal_id;
  std::string pii_controller;
  std::optional<std::string> policy_url;
  std::string domain;
  std::string subject;
  std::vector<std::string> operations;     // caller's order, duplicates kept
  std::vector<std::string> jurisdictions;  // caller's order, duplicates kept
  std::string attribution_source;
  bool gpc_signal = false;
  bool ieee7012_no_recording = false;
  bool sensitive = false;
  std::vector<std::string> spi_cat;  // caller's order, duplicates kept
  std::optional<AiDisclosure> ai_disclosure;
  std::optional<std::string> pack_sha256;

  bool operator==(const ReceiptContext&) const = default;
};

}  // namespace zorv::receipt
