// Readable GoogleTest failure output for a reader's fault code: its number
// in the declaration order of text::FaultCode, rather than its raw bytes.
#pragma once

#include <ostream>

#include "text/fault.h"

namespace zorv::text {

inline void PrintTo(FaultCode code, std::ostream* out) { *out << "FaultCode(" << static_cast<int>(code) << ")"; }

}  // namespace zorv::text
