// JsonReader: a strict RFC 8259 pull reader over one JSON text, for reading
// records with named fields. It validates every value it passes, also values
// it skips, and stops at the first fault in text order, which it keeps as a
// text::Fault (code, byte offset and detail). Nesting deeper than
// kMaxNestingDepth arrays or objects is a fault, never a deep recursion.
//
// The reader borrows the text; views it hands out (raw strings, keys) point
// into that text and live as long as it does. Not thread-safe; one reader
// per text, used by one thread.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_fault.h"
#include "json/json_number.h"
#include "json/json_string_scanner.h"

namespace zorv::json {

inline constexpr int kMaxNestingDepth = 128;

// A record's defined members in declaration order, and which are required.
struct RecordShape {
  std::string_view name;  // "struct WireQuery" etc., used in type faults
  std::vector<std::string_view> fields;
  std::bitset<32> required;
};

class JsonReader {
 public:
  // The whole text's UTF-8 is checked once, up front; only when that check
  // fails is each string literal checked on its own, to find the first
  // fault in text order.
  explicit JsonReader(std::string_view text);

  // Reads one complete document: `read_value` reads the top-level value,
  // then only whitespace may follow. Returns false on a fault.
  bool read_document(const std::function<bool()>& read_value);

  // Typed reads of the next value. A value of another type is a fault
  // "invalid type: <found>, expected <expected>"; the value is still
  // validated first, so a syntax fault inside it is reported instead.
  bool read_string(RawJsonString& out, std::string_view expected = "a string");
  bool read_string(std::string& out) { return read_decoded(out, "a string"); }
  bool read_optional_string(std::optional<std::string>& out);
  bool read_string_array(std::vector<std::string>& out);
  // An array of strings as views: into the text where a string has no
  // escapes, else into one string appended to `decoded` that holds the
  // decoded forms of all of them, back to back.
  bool read_string_views(std::vector<std::string_view>& out, std::deque<std::string>& decoded);
  bool read_bool(bool& out);
  bool read_u64(std::uint64_t& out);
  // Consumes the next value if it is null; `is_null` tells whether it was.
  bool read_null(bool& is_null);

  // Reads an object as a record: `read_field(index)` reads the value of the
  // defined member `shape.fields[index]`; other members are validated and
  // skipped. A defined member given twice and a required member missing
  // are faults; so is any value other than an object.
  bool read_record(const RecordShape& shape, const std::function<bool(std::size_t)>& read_field);

  // Reads an object whose every value is a string: `on_member(key, value)`
  // gets each raw key and raw value in text order, both validated.
  bool read_string_map(const std::function<void(RawJsonString, RawJsonString)>& on_member);

  // Reads an array, each element by `read_element`; any other value is a
  // type fault naming `expected`.
  bool read_array(const std::function<bool()>& read_element, std::string_view expected);

  // Reads a piece of an array whose text arrives cut into pieces just
  // before elements, each element by `read_element`: the piece that `opens`
  // the array begins with its "["; each piece holds at least one element,
  // and ends either just after a "," (and whitespace), where the next piece
  // goes on, or with the closing "]" and whitespace, which sets `closes`.
  // The array's own level counts towards the nesting limit, as when the
  // whole array is read. Pieces that are all read, in order, the last alone
  // closing, are the text of one array, read element by element as
  // read_array reads it; a cut anywhere else leaves a piece unfinished.
  // A fault's message is not the whole text's: read that to report it.
  bool read_array_piece(const std::function<bool()>& read_element, bool opens, bool& closes);

  // Validates and skips one value of any type.
  bool skip_value();
  // Validates and skips one value of any type, giving its text as written
  // (a view into the reader's text) and the offset where it begins.
  bool read_raw(std::string_view& out, std::size_t& offset);

  const text::Fault& fault() const { return fault_; }

 private:
  void skip_whitespace();
  bool at_end() const { return pos_ >= text_.size(); }
  bool fail(text::FaultCode code, std::size_t offset, std::string detail);
  bool fail_syntax(std::string detail);  // offset just past the current byte
  bool fail_eof(std::string_view what);

  bool read_decoded(std::string& out, std::string_view expected);
  bool scan_string_here(RawJsonString& raw);
  // scan_number (json_number.h) at the current byte.
  bool scan_number_here(JsonNumber& out, bool syntax_only = false);
  bool scan_literal(std::string_view word);
  bool enter_nesting();
  // Reads "[", then calls `read_element` for each element until "]".
  // After a member or element: consumes "," or `close`; `more` tells which.
  bool next_in_container(char close, bool& more);
  // Reads an object key and the ":" after it; `key_end` is the offset just
  // past the key's closing quote.
  bool read_key(RawJsonString& key, std::size_t& key_end);
  // The two halves of read_key: the key itself, then the ":" after it.
  bool read_key_text(RawJsonString& key, std::size_t& key_end);
  bool read_colon();
  // After "{": true in `has_member` when a key follows, false when "}" does.
  bool open_object(bool& has_member);

  // Reads the next value to describe it in a type fault, then fails.
  bool invalid_type(std::string_view expected);

  std::string_view text_;
  bool text_is_utf8_ = false;
  std::size_t pos_ = 0;
  int depth_ = 0;
  text::Fault fault_;
  std::string key_buffer_;  // decoded record keys that carried escapes
};

}  // namespace zorv::json
