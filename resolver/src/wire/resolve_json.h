// The wire-level operations behind the Python functions: JSON texts in,
// a JSON text or an error message out. Pure: no I/O, no state, safe to run
// from many threads at once. Problems with packs are never errors; they come
// back inside a normal decision marked as a fall-back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/control_decision.h"
#include "core/disclaimer.h"
#include "receipt/vocabulary.h"
#include "wire/result.h"

namespace zorv::wire {

// Constants the module exposes as attributes.
inline constexpr std::string_view kNotLegalAdviceText = kNotLegalAdvice;
inline constexpr std::string_view kVocabularyNamespace = receipt::kKwdxNamespace;

// Reads the pack map and the query (in that order; the first unusable text
// is reported), applies the optional dial and asks the policy port.
Result<ControlDecision> decide(std::string_view packs_json, std::string_view query_json,
                               std::optional<std::string_view> strictness_override);

// decide, then the decision as compact JSON, members in declaration order.
Result<std::string> resolve_json(std::string_view packs_json, std::string_view query_json,
                                 std::optional<std::string_view> strictness_override);

}  // namespace zorv::wire
