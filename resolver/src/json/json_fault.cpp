#include "json/json_fault.h"

#include <algorithm>

namespace zorv::json {

std::string fault_message(std::string_view prefix, std::string_view text, const text::Fault& fault) {
  const std::string_view consumed = text.substr(0, std::min(fault.offset, text.size()));
  const size_t line = 1 + static_cast<size_t>(std::count(consumed.begin(), consumed.end(), '\n'));
  const size_t last_line_feed = consumed.rfind('\n');
  const size_t column =
      last_line_feed == std::string_view::npos ? consumed.size() : consumed.size() - last_line_feed - 1;
  std::string message;
  message.reserve(prefix.size() + fault.detail.size() + 48);
  message.append(prefix).append(fault.detail);
  message.append(" at line ").append(std::to_string(line));
  message.append(" column ").append(std::to_string(column));
  return message;
}

}  // namespace zorv::json
