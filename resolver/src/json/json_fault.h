// How a JSON reader's fault (text/fault.h) is reported to a caller:
// "<prefix><detail> at line L column C", worked out only when
// reported, so the success path never counts lines.
#pragma once

#include <string>
#include <string_view>

#include "text/fault.h"

namespace zorv::json {

// Line is 1 + the line feeds before `offset`; column is the bytes consumed
// since the last line feed (0 when none on that line).
std::string fault_message(std::string_view prefix, std::string_view text, const text::Fault& fault);

}  // namespace zorv::json
