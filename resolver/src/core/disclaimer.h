// The fixed disclaimer every decision and receipt carries.
#pragma once

#include <string_view>

namespace zorv {

inline constexpr std::string_view kNotLegalAdvice =
    "NOT LEGAL ADVICE. This receipt records a control decision and its provenance; "
    "it is not a statement of law or a compliance claim. 'aggressive' != 'compliant'.";

static_assert(kNotLegalAdvice.size() == 158);

}  // namespace zorv
