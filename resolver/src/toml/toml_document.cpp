#include "toml/toml_document.h"

#include "text/utf8.h"
#include "toml/toml_literal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorv::toml {

namespace {

// A table with more members than this is looked up through the hash index.
constexpr std::size_t kLinearLookup = 8;

bool is_bare_key_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_digit(c) || c == '_' || c == '-';
}
// The characters a number, boolean or date-time literal is made of.
bool is_literal_char(char c) { return is_bare_key_char(c) || c == '+' || c == '.' || c == ':'; }

int hex_value(char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// Whether byte `c` needs a look of its own inside a string or comment closed
// by `stop` ('"', '\'' or '#' for comments): a control character, DEL, a
// non-ASCII byte, the closing quote, or (basic strings) a backslash.
bool is_special(unsigned char c, char stop) {
  return c < 0x20 || c >= 0x7F || c == static_cast<unsigned char>(stop) || (stop == '"' && c == '\\');
}

// The first offset from `pos` on whose byte is special, or text.size().
// Plain text, nearly all of a pack, is passed over 16 bytes at a time.
std::size_t skip_plain(std::string_view text, std::size_t pos, char stop) {
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i del = _mm_set1_epi8(0x7F);
  const __m128i quote = _mm_set1_epi8(stop == '#' ? 0x7F : stop);
  const __m128i backslash = _mm_set1_epi8(stop == '"' ? '\\' : 0x7F);
  while (pos + 16 <= text.size()) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
    // As signed bytes, the non-ASCII ones are negative, so "below space"
    // catches them with the control characters.
    const __m128i special = _mm_or_si128(
        _mm_or_si128(_mm_cmplt_epi8(block, space), _mm_cmpeq_epi8(block, del)),
        _mm_or_si128(_mm_cmpeq_epi8(block, quote), _mm_cmpeq_epi8(block, backslash)));
    const int mask = _mm_movemask_epi8(special);
    if (mask != 0) return pos + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    pos += 16;
  }
#endif
  while (pos < text.size() && !is_special(static_cast<unsigned char>(text[pos]), stop)) ++pos;
  return pos;
}

}  // namespace

// The reader proper: one pass, faults as values. Tables carry flags that
// only reading needs: TOML forbids defining a table twice, adding to an
// inline table or a static array, and reopening with a header or with
// dotted keys a table that dotted keys or a header defined before.
class TomlReader {
 public:
  TomlReader(std::string_view text, TomlDocument& document, text::Fault& fault)
      : text_(text), doc_(document), fault_(fault) {}

  bool read();

 private:
  enum Flag : std::uint8_t {
    // A table defined by a header, or by dotted keys in an earlier section
    // (those of the current section are in pending_ until it ends).
    kExplicit = 1,
    kFrozen = 2,         // an inline table or a static array: nothing may be added
    kArrayOfTables = 4,  // an array made by [[header]]s
  };
  struct Key {
    std::string_view name;
    std::size_t offset;
    std::size_t end;
  };
  // An array or inline table being read.
  struct Container {
    NodeId node;
    std::vector<Key> key;  // inline tables: the key whose value is being read
  };

  bool fail(std::string description, std::size_t offset) {
    fault_ = {std::move(description), offset};
    return false;
  }
  bool at_end() const { return pos_ >= text_.size(); }
  char peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  NodeId new_node(Kind kind, std::size_t offset, std::uint8_t flags) {
    Node& created = doc_.nodes_.emplace_back();
    created.kind = kind;
    created.offset = offset;
    flags_.push_back(flags);
    return static_cast<NodeId>(doc_.nodes_.size() - 1);
  }
  Node& node(NodeId id) { return doc_.nodes_[id]; }

  std::optional<NodeId> member(NodeId table, std::string_view key) const {
    const Member* found = doc_.find(doc_.nodes_[table], key);
    return found ? std::optional(found->node) : std::nullopt;
  }
  void add_member(NodeId table, const Key& key, NodeId value);

  void skip_spaces() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  bool skip_comment();
  // Spaces, then an optional comment, then a line end or the end of text.
  bool end_of_line();
  // Spaces, comments and line ends (inside arrays).
  bool skip_blank();
  bool at_newline() const { return peek() == '\n' || (peek() == '\r' && peek(1) == '\n'); }
  void consume_newline() { pos_ += peek() == '\r' ? 2 : 1; }

  bool read_key(std::vector<Key>& key);
  bool read_string_text(std::string_view& out, bool allow_multiline);
  bool read_basic_string(std::string_view& out, bool multiline);
  bool read_literal_string(std::string_view& out, bool multiline);
  bool read_escape(std::string& out);
  // A character inside a string or comment at pos_ that is allowed there;
  // advances over it.
  bool string_char(bool multiline);
  std::string_view keep(std::string&& decoded) {
    doc_.decoded_.push_back(std::move(decoded));
    return doc_.decoded_.back();
  }

  bool read_value(NodeId& out);
  bool read_scalar(NodeId& out);
  bool after_value(std::vector<Container>& open, NodeId& value, bool& done);
  bool start_inline_member(Container& table);

  bool read_header();
  // Walks from the root along all but the last part of a header's key.
  bool walk_header(const std::vector<Key>& key, NodeId& table);
  // Assigns `value` to the dotted `key` inside `table`.
  bool assign(NodeId table, const std::vector<Key>& key, NodeId value, bool in_section);
  void close_section() {
    for (NodeId id : pending_) flags_[id] |= kExplicit;
    pending_.clear();
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  TomlDocument& doc_;
  text::Fault& fault_;
  std::vector<std::uint8_t> flags_;  // per node
  std::vector<NodeId> pending_;      // tables dotted keys defined in this section
  NodeId section_ = 0;               // the table key/value lines go into
};

void TomlReader::add_member(NodeId table, const Key& key, NodeId value) {
  std::vector<Member>& members = node(table).members;
  members.push_back({key.name, key.offset, key.end, value});
  if (members.size() <= kLinearLookup) return;
  if (!doc_.index_) doc_.index_ = std::make_unique<std::unordered_map<TomlDocument::IndexKey, std::size_t,
                                                                     TomlDocument::IndexHash>>();
  if (members.size() == kLinearLookup + 1) {
    for (std::size_t i = 0; i < members.size(); ++i) doc_.index_->emplace(TomlDocument::IndexKey{table, members[i].key}, i);
  } else {
    doc_.index_->emplace(TomlDocument::IndexKey{table, key.name}, members.size() - 1);
  }
}

bool TomlReader::string_char(bool multiline) {
  const unsigned char c = static_cast<unsigned char>(text_[pos_]);
  if (c >= 0x80) {
    const std::size_t length = text::utf8_sequence_length(text_, pos_);
    if (length == 0) return fail("invalid UTF-8", pos_);
    pos_ += length;
    return true;
  }
  if ((c < 0x20 && c != '\t' && !(multiline && at_newline())) || c == 0x7F) {
    return fail("control character not allowed here", pos_);
  }
  if (multiline && at_newline()) {
    consume_newline();
  } else {
    ++pos_;
  }
  return true;
}

bool TomlReader::skip_comment() {
  if (peek() != '#') return true;
  ++pos_;
  for (;;) {
    pos_ = skip_plain(text_, pos_, '#');
    if (at_end() || text_[pos_] == '\n' || (text_[pos_] == '\r' && peek(1) == '\n')) return true;
    if (!string_char(false)) return false;
  }
}

bool TomlReader::end_of_line() {
  skip_spaces();
  if (!skip_comment()) return false;
  if (at_end()) return true;
  if (!at_newline()) return fail("expected the end of the line", pos_);
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
      if (pos_ == start) return fail(at_end() ? "expected a key, found the end of the text" : "invalid key", pos_);
      name = text_.substr(start, pos_ - start);
    }
    key.push_back({name, start, pos_});
    skip_spaces();
    if (peek() != '.') return true;
    ++pos_;
  }
}

bool TomlReader::read_string_text(std::string_view& out, bool allow_multiline) {
  const char quote = peek();
  const bool multiline = peek(1) == quote && peek(2) == quote;
  if (multiline && !allow_multiline) return fail("a key cannot be a multi-line string", pos_);
  return quote == '"' ? read_basic_string(out, multiline) : read_literal_string(out, multiline);
}

bool TomlReader::read_escape(std::string& out) {
  const std::size_t at = pos_;
  const char kind = peek(1);
  pos_ += 2;
  switch (kind) {
    case 'b': out += '\b'; return true;
    case 't': out += '\t'; return true;
    case 'n': out += '\n'; return true;
    case 'f': out += '\f'; return true;
    case 'r': out += '\r'; return true;
    case '"': out += '"'; return true;
    case '\\': out += '\\'; return true;
    case 'u':
    case 'U': {
      const std::size_t digits = kind == 'u' ? 4 : 8;
      std::uint32_t code_point = 0;
      for (std::size_t i = 0; i < digits; ++i) {
        if (!is_hex(peek())) return fail("invalid unicode escape", at);
        code_point = code_point * 16 + static_cast<std::uint32_t>(hex_value(text_[pos_++]));
      }
      if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
        return fail("unicode escape is not a scalar value", at);
      }
      text::append_utf8(out, code_point);
      return true;
    }
    default:
      return fail("invalid escape", at);
  }
}

bool TomlReader::read_basic_string(std::string_view& out, bool multiline) {
  const std::size_t open = pos_;
  pos_ += multiline ? 3 : 1;
  if (multiline && at_newline()) consume_newline();
  const std::size_t start = pos_;
  std::string decoded;
  bool escaped = false;
  for (;;) {
    const std::size_t run = skip_plain(text_, pos_, '"');
    if (escaped) decoded.append(text_.substr(pos_, run - pos_));
    pos_ = run;
    if (at_end()) return fail("unterminated string", open);
    const char c = text_[pos_];
    if (c == '"') {
      if (!multiline) break;
      std::size_t quotes = 0;
      while (peek(quotes) == '"') ++quotes;
      if (quotes >= 3) {
        if (quotes > 5) return fail("too many quotation marks closing a multi-line string", pos_ + 5);
        if (escaped) decoded.append(quotes - 3, '"');
        pos_ += quotes - 3;
        break;
      }
      if (escaped) decoded.append(quotes, '"');
      pos_ += quotes;
      continue;
    }
    if (c == '\\') {
      if (!escaped) {
        decoded.assign(text_.substr(start, pos_ - start));
        escaped = true;
      }
      if (multiline) {
        // A backslash ending a line drops the line end and the white space
        // and line ends after it.
        std::size_t after = pos_ + 1;
        while (after < text_.size() && (text_[after] == ' ' || text_[after] == '\t')) ++after;
        if (after < text_.size() && (text_[after] == '\n' || (text_[after] == '\r' && after + 1 < text_.size() &&
                                                                text_[after + 1] == '\n'))) {
          pos_ = after;
          while (!at_end() && (peek() == ' ' || peek() == '\t' || at_newline())) {
            if (at_newline()) {
              consume_newline();
            } else {
              ++pos_;
            }
          }
          continue;
        }
      }
      if (!read_escape(decoded)) return false;
      continue;
    }
    // A line end inside a multi-line string reads as a line feed, whether
    // it was written LF or CRLF.
    if (multiline && c == '\r' && peek(1) == '\n') {
      if (!escaped) {
        decoded.assign(text_.substr(start, pos_ - start));
        escaped = true;
      }
      decoded += '\n';
      pos_ += 2;
      continue;
    }
    const std::size_t before = pos_;
    if (!string_char(multiline)) return false;
    if (escaped) decoded.append(text_.substr(before, pos_ - before));
  }
  out = escaped ? keep(std::move(decoded)) : text_.substr(start, pos_ - start);
  pos_ += multiline ? 3 : 1;
  return true;
}

bool TomlReader::read_literal_string(std::string_view& out, bool multiline) {
  const std::size_t open = pos_;
  pos_ += multiline ? 3 : 1;
  if (multiline && at_newline()) consume_newline();
  const std::size_t start = pos_;
  bool crlf = false;
  for (;;) {
    pos_ = skip_plain(text_, pos_, '\'');
    if (at_end()) return fail("unterminated string", open);
    if (text_[pos_] == '\'') {
      if (!multiline) break;
      std::size_t quotes = 0;
      while (peek(quotes) == '\'') ++quotes;
      if (quotes >= 3) {
        if (quotes > 5) return fail("too many apostrophes closing a multi-line string", pos_ + 5);
        pos_ += quotes - 3;
        break;
      }
      pos_ += quotes;
      continue;
    }
    if (multiline && at_newline() && text_[pos_] == '\r') crlf = true;
    if (!string_char(multiline)) return false;
  }
  out = text_.substr(start, pos_ - start);
  if (crlf) {
    // Line ends read as line feeds, as in basic strings.
    std::string normal;
    for (std::size_t i = 0; i < out.size(); ++i) {
      if (!(out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n')) normal += out[i];
    }
    out = keep(std::move(normal));
  }
  pos_ += multiline ? 3 : 1;
  return true;
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
  if (literal.empty()) return fail(at_end() ? "expected a value, found the end of the text" : "expected a value", start);
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
    return fail("invalid value", start);
  }
  out = new_node(value.kind, start, 0);
  node(out) = value;
  return true;
}

bool TomlReader::start_inline_member(Container& table) {
  if (!read_key(table.key)) return false;
  if (peek() != '=') return fail("expected `=` after a key", pos_);
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
      if (peek() != ']') return fail(at_end() ? "unterminated array" : "expected `,` or `]` in an array", pos_);
    } else {
      if (!assign(top.node, top.key, value, false)) return false;
      skip_spaces();
      if (peek() == ',') {
        ++pos_;
        skip_spaces();
        return start_inline_member(top);
      }
      if (peek() != '}') {
        return fail(at_end() ? "unterminated inline table" : "expected `,` or `}` in an inline table", pos_);
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
      return fail("cannot add keys to `" + std::string(key[i].name) + "`, defined before", key[i].offset);
    }
    table = *existing;
  }
  if (member(table, key.back().name)) {
    return fail("duplicate key `" + std::string(key.back().name) + "`", key.back().offset);
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
      return fail("`" + std::string(key[i].name) + "` is not a table that can be extended", key[i].offset);
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
  if (peek() != ']' || (array && peek(1) != ']')) return fail(array ? "expected `]]`" : "expected `]`", pos_);
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
      return fail("`" + std::string(last.name) + "` is not an array of tables", last.offset);
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
    return fail("table `" + std::string(last.name) + "` defined twice", last.offset);
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
      if (peek() != '=') return fail("expected `=` after a key", pos_);
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
    case Kind::table: return "table";
    case Kind::array: return "array";
    case Kind::string: return "string";
    case Kind::integer: return "integer";
    case Kind::floating: return "float";
    case Kind::boolean: return "boolean";
    case Kind::offset_date_time: return "offset date-time";
    case Kind::local_date_time: return "local date-time";
    case Kind::local_date: return "local date";
    case Kind::local_time: break;
  }
  return "local time";
}

}  // namespace zorv::toml
