// JsonFault: the first problem a JSON reader met, as a description and the
// byte offset at which it was detected. Turned into a caller-facing message
// ("<prefix><description> at line L column C") only when reported, so the
// success path never counts lines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zorv::json {

struct JsonFault {
  std::string description;
  std::size_t offset = 0;  // bytes consumed when the fault was detected
};

// Line is 1 + the line feeds before `offset`; column is the bytes consumed
// since the last line feed (0 when none on that line).
std::string fault_message(std::string_view prefix, std::string_view text, const JsonFault& fault);

}  // namespace zorv::json
