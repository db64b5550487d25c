#include "wire_tools/decision_log_record.h"

#include "json/json_reader.h"

namespace zorv::wire {

bool DecisionLogRecord::read(std::string_view line, DecisionLogRecord& record, text::Fault& fault) {
  static const json::RecordShape kShape{
      "struct DecisionLogRecord", {"query", "strictness", "decision", "pack_sha256"}, 0b0101};
  // The record reader would take an array as the members in order; a log
  // line is an object.
  const std::size_t first = line.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && line[first] == '[') {
    fault = {text::FaultCode::json_wrong_type, first + 1, "invalid type: sequence, expected struct DecisionLogRecord"};
    return false;
  }
  json::JsonReader reader(line);
  std::optional<std::string> pack_sha256;
  const bool ok = reader.read_document([&] {
    return reader.read_record(kShape, [&](std::size_t field) {
      switch (field) {
        case 0:
          return reader.read_raw(record.query, record.query_offset);
        case 1:
          return reader.read_optional_string(record.strictness);
        case 2:
          return reader.read_raw(record.decision, record.decision_offset);
        default:
          return reader.read_optional_string(pack_sha256);
      }
    });
  });
  if (!ok) {
    fault = reader.fault();
    return false;
  }
  if (record.decision.front() != '{') {
    fault = {text::FaultCode::json_wrong_type, record.decision_offset + 1, "`decision` is not an object"};
    return false;
  }
  return true;
}

bool same_without_whitespace(std::string_view text, std::string_view compact) {
  std::size_t at = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!in_string && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) continue;
    if (at == compact.size() || compact[at] != c) return false;
    ++at;
    if (c == '"') {
      in_string = !in_string;
    } else if (in_string && c == '\\') {
      // The escaped character is copied as it is, a quotation mark included.
      if (++i == text.size() || at == compact.size() || compact[at] != text[i]) return false;
      ++at;
    }
  }
  return at == compact.size();
}

}  // namespace zorv::wire
