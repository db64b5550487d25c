// Namespace IRIs of the receipts' JSON-LD terms: the resolver's own
// vocabulary (prefix `kwdx:` and "@vocab") and the W3C Data Privacy
// Vocabulary (prefix `dpv:`).
#pragma once

#include <string_view>

namespace zorv::receipt {

inline constexpr std::string_view kKwdxNamespace = "https://kwdx.zorv.dev/ns#";
inline constexpr std::string_view kDpvNamespace = "https://w3id.org/dpv#";

}  // namespace zorv::receipt
