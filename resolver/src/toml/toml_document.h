// TomlDocument: a TOML 1.0 document read from its text, as a tree of nodes
// (tables, arrays and typed values), with the byte offset of every key and
// value so that a fault or a finding can point at it.
//
// Reading is one pass over the text, without recursion: arrays and inline
// tables nest on a stack of their own, and the tree lives in one vector of
// nodes, so neither reading nor freeing a document deeper than any thread's
// stack can overflow it. No fixed-size buffer limits a literal: floats and
// fractional seconds of any length are read. Strings without escapes are
// views into the text; the rest are decoded once and owned by the document.
//
// The document borrows the text it was read from and must not outlive it.
// Once read it is never changed; reading it from many threads is safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "text/fault.h"

namespace zorv::toml {

enum class Kind : std::uint8_t {
  table,
  array,
  string,
  integer,
  floating,
  boolean,
  offset_date_time,
  local_date_time,
  local_date,
  local_time,
};

// "table", "array", "string", "integer", "float", "boolean", "offset
// date-time", "local date-time", "local date" or "local time".
std::string_view kind_name(Kind kind);

using NodeId = std::uint32_t;

// One key of a table and the node it names.
struct Member {
  std::string_view key;    // decoded
  std::size_t key_offset;  // where the key (its last dotted part) is written
  std::size_t key_end;     // just past it
  NodeId node;
};

struct Node {
  Kind kind = Kind::table;
  std::size_t offset = 0;  // where the value starts (a table: its header or first key)
  // Just past the value's text (a table under a header: past the header;
  // a table made by dotted keys alone: 0).
  std::size_t end = 0;
  // string: the decoded text; numbers, booleans and date-times: the literal
  // as written (date-times with the separator and "Z" as written).
  std::string_view text;
  union {  // by kind: integer, floating or boolean
    std::int64_t integer = 0;
    double floating;
    bool boolean;
  };
  std::vector<Member> members;   // tables, in the order the keys were written
  std::vector<NodeId> elements;  // arrays
};

class TomlDocument {
 public:
  // Reads `text`; on failure fills `fault` (the first fault in the text and
  // where it was found) and returns nullopt.
  static std::optional<TomlDocument> read(std::string_view text, text::Fault& fault);

  const Node& root() const { return nodes_[0]; }
  const Node& node(NodeId id) const { return nodes_[id]; }
  // The member of `table` named `key`, or nullptr.
  const Member* find(const Node& table, std::string_view key) const;

 private:
  friend class TomlReader;
  TomlDocument() = default;

  std::vector<Node> nodes_;
  std::deque<std::string> decoded_;  // texts that escapes made differ from the source
  // Tables with many keys get a hash index, keyed by node id and key.
  struct IndexKey {
    NodeId table;
    std::string_view key;
    bool operator==(const IndexKey&) const = default;
  };
  struct IndexHash {
    std::size_t operator()(const IndexKey& k) const {
      return std::hash<std::string_view>()(k.key) ^ (std::size_t{k.table} * 0x9E3779B97F4A7C15ULL);
    }
  };
  std::unique_ptr<std::unordered_map<IndexKey, std::size_t, IndexHash>> index_;
};

}  // namespace zorv::toml
