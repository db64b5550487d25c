// The TOML reader's own parts, shared by the files that implement it: the
// reader class (one pass over the text, faults as values) and the character
// classes its grammar uses. Not for use outside toml/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/fault.h"
#include "toml/toml_document.h"
#include "toml/toml_literal.h"

namespace zorv::toml {

// A table with more members than this is looked up through the hash index.
inline constexpr std::size_t kLinearLookup = 8;

inline bool is_bare_key_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_digit(c) || c == '_' || c == '-';
}
// The characters a number, boolean or date-time literal is made of.
inline bool is_literal_char(char c) { return is_bare_key_char(c) || c == '+' || c == '.' || c == ':'; }

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

  bool fail(text::FaultCode code, std::size_t offset, std::string detail) {
    fault_ = {code, offset, std::move(detail)};
    return false;
  }
  bool at_end() const { return pos_ >= text_.size(); }
  char peek(std::size_t ahead = 0) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }

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

}  // namespace zorv::toml
