#include "toml/toml_document.h"

#include "toml/toml_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace zorv::toml {

void TomlReader::add_member(NodeId table, const Key& key, NodeId value) {
  std::vector<Member>& members = node(table).members;
  members.push_back({key.name, key.offset, key.end, value});
  if (members.size() <= kLinearLookup) return;
  if (!doc_.index_)
    doc_.index_ = std::make_unique<std::unordered_map<TomlDocument::IndexKey, std::size_t, TomlDocument::IndexHash>>();
  if (members.size() == kLinearLookup + 1) {
    for (std::size_t i = 0; i < members.size(); ++i)
      doc_.index_->emplace(TomlDocument::IndexKey{table, members[i].key}, i);
  } else {
    doc_.index_->emplace(TomlDocument::IndexKey{table, key.name}, members.size() - 1);
  }
}

bool TomlReader::end_of_line() {
  skip_spaces();
  if (!skip_comment()) return false;
  if (at_end()) return true;
  if (!at_newline()) return fail(text::FaultCode::toml_syntax, pos_, "expected the end of the line");
  consume_newline();
  return true;
}

bool TomlReader::skip_blank() {
  for (;;) {
    skip_spaces();
    if (!skip_comment()) return false;
    if (!at_newline()) return true;
    consume_newline();
  }
}

bool TomlReader::read_key(std::vector<Key>& key) {
  key.clear();
  for (;;) {
    skip_spaces();
    const std::size_t start = pos_;
    std::string_view name;
    if (peek() == '"' || peek() == '\'') {
      if (!read_string_text(name, false)) return false;
    } else {
      while (!at_end() && is_bare_key_char(text_[pos_])) ++pos_;
      if (pos_ == start)
        return fail(text::FaultCode::toml_syntax, pos_,
                    at_end() ? "expected a key, found the end of the text" : "invalid key");
      name = text_.substr(start, pos_ - start);
    }
    key.push_back({name, start, pos_});
    skip_spaces();
    if (peek() != '.') return true;
    ++pos_;
  }
}

bool TomlReader::read_scalar(NodeId& out) {
  const std::size_t start = pos_;
  const char c = peek();
  if (c == '"' || c == '\'') {
    std::string_view text;
    if (!read_string_text(text, true)) return false;
    out = new_node(Kind::string, start, 0);
    node(out).text = text;
    node(out).end = pos_;
    return true;
  }
  while (!at_end() && is_literal_char(text_[pos_])) ++pos_;
  // A date and a time may be separated by one space.
  if (pos_ - start == 10 && peek() == ' ' && is_digit(peek(1)) && is_digit(peek(2)) && peek(3) == ':' &&
      read_date(text_.substr(start, 10))) {
    ++pos_;
    while (!at_end() && is_literal_char(text_[pos_])) ++pos_;
  }
  const std::string_view literal = text_.substr(start, pos_ - start);
  if (literal.empty())
    return fail(text::FaultCode::toml_syntax, start,
                at_end() ? "expected a value, found the end of the text" : "expected a value");
  Node value;
  value.offset = start;
  value.end = pos_;
  value.text = literal;
  if (literal == "true" || literal == "false") {
    value.kind = Kind::boolean;
    value.boolean = literal == "true";
  } else if (const std::optional<Kind> kind = date_time_kind(literal)) {
    value.kind = *kind;
  } else if (read_integer(literal, value.integer)) {
    value.kind = Kind::integer;
  } else if (read_float(literal, value.floating)) {
    value.kind = Kind::floating;
  } else {
    return fail(text::FaultCode::toml_syntax, start, "invalid value");
  }
  out = new_node(value.kind, start, 0);
  node(out) = value;
  return true;
}

bool TomlReader::start_inline_member(Container& table) {
  if (!read_key(table.key)) return false;
  if (peek() != '=') return fail(text::FaultCode::toml_syntax, pos_, "expected `=` after a key");
  ++pos_;
  skip_spaces();
  return true;
}

// After a value inside a container: record it, then read the separator, or
// the bracket that closes the container (whose node is then the value).
bool TomlReader::after_value(std::vector<Container>& open, NodeId& value, bool& done) {
  for (;;) {
    if (open.empty()) {
      done = true;
      return true;
    }
    Container& top = open.back();
    Node& container = node(top.node);
    if (container.kind == Kind::array) {
      // Control lists run to dozens of elements; skip the smallest steps of
      // the vector's growth.
      if (container.elements.empty()) container.elements.reserve(16);
      container.elements.push_back(value);
      if (!skip_blank()) return false;
      if (peek() == ',') {
        ++pos_;
        if (!skip_blank()) return false;
        if (peek() != ']') return true;  // another element
      }
      if (peek() != ']')
        return fail(text::FaultCode::toml_syntax, pos_,
                    at_end() ? "unterminated array" : "expected `,` or `]` in an array");
    } else {
      if (!assign(top.node, top.key, value, false)) return false;
      skip_spaces();
      if (peek() == ',') {
        ++pos_;
        skip_spaces();
        return start_inline_member(top);
      }
      if (peek() != '}') {
        return fail(text::FaultCode::toml_syntax, pos_,
                    at_end() ? "unterminated inline table" : "expected `,` or `}` in an inline table");
      }
    }
    ++pos_;
    value = top.node;
    node(value).end = pos_;  // `container` may have moved: assigning can add nodes
    open.pop_back();
  }
}

bool TomlReader::read_value(NodeId& out) {
  std::vector<Container> open;
  for (;;) {
    const std::size_t start = pos_;
    NodeId value;
    if (peek() == '[') {
      ++pos_;
      open.push_back({new_node(Kind::array, start, kFrozen), {}});
      if (!skip_blank()) return false;
      if (peek() != ']') continue;
      ++pos_;
      value = open.back().node;
      node(value).end = pos_;
      open.pop_back();
    } else if (peek() == '{') {
      ++pos_;
      open.push_back({new_node(Kind::table, start, kFrozen), {}});
      skip_spaces();
      if (peek() != '}') {
        if (!start_inline_member(open.back())) return false;
        continue;
      }
      ++pos_;
      value = open.back().node;
      node(value).end = pos_;
      open.pop_back();
    } else if (!read_scalar(value)) {
      return false;
    }
    bool done = false;
    if (!after_value(open, value, done)) return false;
    if (done) {
      out = value;
      return true;
    }
  }
}

bool TomlReader::assign(NodeId table, const std::vector<Key>& key, NodeId value, bool in_section) {
  for (std::size_t i = 0; i + 1 < key.size(); ++i) {
    const std::optional<NodeId> existing = member(table, key[i].name);
    if (!existing) {
      const NodeId created = new_node(Kind::table, key[i].offset, 0);
      if (in_section) pending_.push_back(created);
      add_member(table, key[i], created);
      table = created;
      continue;
    }
    const std::uint8_t flags = flags_[*existing];
    if (node(*existing).kind != Kind::table || (flags & (kFrozen | kExplicit))) {
      return fail(text::FaultCode::toml_redefinition, key[i].offset,
                  "cannot add keys to `" + std::string(key[i].name) + "`, defined before");
    }
    table = *existing;
  }
  if (member(table, key.back().name)) {
    return fail(text::FaultCode::toml_redefinition, key.back().offset,
                "duplicate key `" + std::string(key.back().name) + "`");
  }
  add_member(table, key.back(), value);
  return true;
}

bool TomlReader::walk_header(const std::vector<Key>& key, NodeId& table) {
  table = 0;
  for (std::size_t i = 0; i + 1 < key.size(); ++i) {
    const std::optional<NodeId> existing = member(table, key[i].name);
    if (!existing) {
      const NodeId created = new_node(Kind::table, key[i].offset, 0);
      add_member(table, key[i], created);
      table = created;
      continue;
    }
    const Node& found = node(*existing);
    const std::uint8_t flags = flags_[*existing];
    if (found.kind == Kind::array && (flags & kArrayOfTables)) {
      table = found.elements.back();
    } else if (found.kind == Kind::table && !(flags & kFrozen)) {
      table = *existing;
    } else {
      return fail(text::FaultCode::toml_redefinition, key[i].offset,
                  "`" + std::string(key[i].name) + "` is not a table that can be extended");
    }
  }
  return true;
}

bool TomlReader::read_header() {
  close_section();
  const std::size_t start = pos_;
  const bool array = peek(1) == '[';
  pos_ += array ? 2 : 1;
  std::vector<Key> key;
  if (!read_key(key)) return false;
  if (peek() != ']' || (array && peek(1) != ']'))
    return fail(text::FaultCode::toml_syntax, pos_, array ? "expected `]]`" : "expected `]`");
  pos_ += array ? 2 : 1;
  NodeId parent;
  if (!walk_header(key, parent)) return false;
  const Key& last = key.back();
  const std::optional<NodeId> existing = member(parent, last.name);
  if (array) {
    NodeId list;
    if (!existing) {
      list = new_node(Kind::array, start, kArrayOfTables);
      add_member(parent, last, list);
    } else if (node(*existing).kind == Kind::array && (flags_[*existing] & kArrayOfTables)) {
      list = *existing;
    } else {
      return fail(text::FaultCode::toml_redefinition, last.offset,
                  "`" + std::string(last.name) + "` is not an array of tables");
    }
    section_ = new_node(Kind::table, start, kExplicit);
    node(list).elements.push_back(section_);
  } else if (!existing) {
    section_ = new_node(Kind::table, start, kExplicit);
    add_member(parent, last, section_);
  } else if (node(*existing).kind == Kind::table && !(flags_[*existing] & (kExplicit | kFrozen))) {
    section_ = *existing;
    flags_[section_] |= kExplicit;
    node(section_).offset = start;
  } else {
    return fail(text::FaultCode::toml_redefinition, last.offset,
                "table `" + std::string(last.name) + "` defined twice");
  }
  node(section_).end = pos_;
  return end_of_line();
}

bool TomlReader::read() {
  new_node(Kind::table, 0, kExplicit);
  if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
  std::vector<Key> key;
  for (;;) {
    skip_spaces();
    if (at_end()) return true;
    const char c = peek();
    if (c == '#' || c == '\n' || c == '\r') {
      if (!end_of_line()) return false;
    } else if (c == '[') {
      if (!read_header()) return false;
    } else {
      if (!read_key(key)) return false;
      if (peek() != '=') return fail(text::FaultCode::toml_syntax, pos_, "expected `=` after a key");
      ++pos_;
      skip_spaces();
      NodeId value;
      if (!read_value(value) || !assign(section_, key, value, true) || !end_of_line()) return false;
    }
  }
}

std::optional<TomlDocument> TomlDocument::read(std::string_view text, text::Fault& fault) {
  TomlDocument document;
  // About one node for every 24 bytes of a typical pack.
  document.nodes_.reserve(text.size() / 24 + 4);
  TomlReader reader(text, document, fault);
  if (!reader.read()) return std::nullopt;
  return document;
}

const Member* TomlDocument::find(const Node& table, std::string_view key) const {
  if (table.members.size() <= kLinearLookup) {
    for (const Member& m : table.members) {
      if (m.key == key) return &m;
    }
    return nullptr;
  }
  const NodeId id = static_cast<NodeId>(&table - nodes_.data());
  const auto found = index_->find(IndexKey{id, key});
  return found == index_->end() ? nullptr : &table.members[found->second];
}

std::string_view kind_name(Kind kind) {
  switch (kind) {
    case Kind::table:
      return "table";
    case Kind::array:
      return "array";
    case Kind::string:
      return "string";
    case Kind::integer:
      return "integer";
    case Kind::floating:
      return "float";
    case Kind::boolean:
      return "boolean";
    case Kind::offset_date_time:
      return "offset date-time";
    case Kind::local_date_time:
      return "local date-time";
    case Kind::local_date:
      return "local date";
    case Kind::local_time:
      break;
  }
  return "local time";
}

}  // namespace zorv::toml
