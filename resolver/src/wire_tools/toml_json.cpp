#include "wire_tools/toml_json.h"

#include <cmath>
#include <optional>
#include <vector>

#include "text/double_text.h"
#include "text/text_position.h"
#include "toml/toml_document.h"
#include "json/json_writer.h"

namespace zorv::wire {
namespace {

using toml::Kind;
using toml::Node;

void append_scalar(std::string& out, const Node& node) {
  switch (node.kind) {
    case Kind::string:
      json::append_string(out, node.text);
      return;
    case Kind::integer:
      out += std::to_string(node.integer);
      return;
    case Kind::boolean:
      out += node.boolean ? "true" : "false";
      return;
    case Kind::floating: {
      if (!std::isfinite(node.floating)) {
        json::append_string(out, node.text);
        return;
      }
      text::append_double(out, node.floating);
      return;
    }
    default:
      json::append_string(out, node.text);
      return;  // date-times
  }
}

}  // namespace

Result<std::string> toml_to_json(std::string_view toml_text, bool positions) {
  text::Fault fault;
  const std::optional<toml::TomlDocument> document = toml::TomlDocument::read(toml_text, fault);
  if (!document) {
    const text::TextPosition at = text::position_of(toml_text, fault.offset);
    return ErrorMessage{fault.detail + " at line " + std::to_string(at.line) + " column " + std::to_string(at.column)};
  }
  // Tables and arrays are walked with a stack of their own: how deep a
  // document nests is up to its author.
  struct Open {
    const Node* node;
    std::size_t next;
  };
  std::string out;
  std::vector<Open> open;
  const text::TextPositions where(toml_text);
  const auto append_position = [&](std::string_view name, std::size_t offset) {
    const text::TextPosition at = where.at(offset);
    out += name;
    json::append_uint(out, at.line);
    out += ',';
    json::append_uint(out, at.column);
    out += ']';
  };
  // `key_offset` is where the key naming the value is written, for a
  // table's member.
  const auto enter = [&](const Node& node, std::optional<std::size_t> key_offset) {
    if (positions) {
      append_position(R"({"at":[)", node.offset);
      if (key_offset) append_position(R"(,"key_at":[)", *key_offset);
      out += R"(,"value":)";
    }
    if (node.kind == Kind::table) {
      out += '{';
    } else if (node.kind == Kind::array) {
      out += '[';
    } else {
      append_scalar(out, node);
      if (positions) out += '}';
      return;
    }
    open.push_back({&node, 0});
  };
  enter(document->root(), std::nullopt);
  while (!open.empty()) {
    Open& top = open.back();
    const bool table = top.node->kind == Kind::table;
    const std::size_t count = table ? top.node->members.size() : top.node->elements.size();
    if (top.next == count) {
      out += table ? '}' : ']';
      if (positions) out += '}';
      open.pop_back();
      continue;
    }
    if (top.next > 0) out += ',';
    const std::size_t index = top.next++;
    if (table) {
      const toml::Member& member = top.node->members[index];
      json::append_string(out, member.key);
      out += ':';
      enter(document->node(member.node), member.key_offset);
    } else {
      enter(document->node(top.node->elements[index]), std::nullopt);
    }
  }
  return out;
}

}  // namespace zorv::wire
