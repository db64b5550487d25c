#include "wire_tools/lint_json.h"

#include "analysis/pack_lint.h"
#include "text/text_position.h"
#include "toml/toml_document.h"
#include "json/json_writer.h"

namespace zorv::wire {
namespace {

std::string_view severity_name(LintSeverity severity) { return severity == LintSeverity::error ? "error" : "warning"; }

void append_member(std::string& out, std::string_view key, std::size_t value) {
  out += ",\"";
  out += key;
  out += "\":";
  json::append_uint(out, value);
}

// Whether `offset` is at the end of its line (before LF or CRLF) or of the
// text, where a point finding has no character to cover: its range stays
// empty rather than reach past the line or the text.
bool at_line_end(std::string_view text, std::size_t offset) {
  if (offset >= text.size() || text[offset] == '\n') return true;
  return text[offset] == '\r' && offset + 1 < text.size() && text[offset + 1] == '\n';
}

}  // namespace

std::string lint_json(std::string_view pack_text) {
  const text::TextPositions positions(pack_text);
  std::string out = "[";
  for (const LintFinding& finding : lint_pack(pack_text)) {
    if (out.size() > 1) out += ',';
    const text::TextPosition start = positions.at(finding.offset);
    text::TextPosition end = positions.at(finding.end);
    if (finding.end == finding.offset && !at_line_end(pack_text, finding.offset)) {
      end.column += 1;  // a point on a character: that character
    }
    out += R"({"line":)";
    json::append_uint(out, start.line);
    append_member(out, "column", start.column);
    append_member(out, "end_line", end.line);
    append_member(out, "end_column", end.column);
    out += R"(,"severity":)";
    json::append_string(out, severity_name(finding.severity));
    out += R"(,"rule":)";
    json::append_string(out, finding.rule);
    out += R"(,"message":)";
    json::append_string(out, finding.message);
    out += R"(,"suggestion":)";
    if (finding.suggestion) {
      json::append_string(out, *finding.suggestion);
    } else {
      out += "null";
    }
    out += '}';
  }
  out += ']';
  return out;
}

std::string lint_rules_json() {
  std::string out = "[";
  for (const LintRule& rule : lint_rules()) {
    if (out.size() > 1) out += ',';
    out += R"({"id":)";
    json::append_string(out, rule.id);
    out += R"(,"severity":)";
    json::append_string(out, severity_name(rule.severity));
    out += R"(,"description":)";
    json::append_string(out, rule.description);
    out += R"(,"finds":)";
    json::append_string(out, rule.finds);
    out += R"(,"doc":)";
    json::append_string(out, rule.doc);
    out += R"(,"anchor":)";
    json::append_string(out, rule.anchor);
    out += '}';
  }
  out += ']';
  return out;
}

}  // namespace zorv::wire
