// JsonValue: a generic JSON value whose objects keep their members in
// ascending byte order of the keys. Documents built from it are written with
// sorted keys at every depth by construction, whatever order members were
// added in. A plain value that owns everything it holds, except texts made
// with JsonValue::borrowed, which must outlive it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zorv::json {

class JsonValue;

using JsonArray = std::vector<JsonValue>;
// std::less<std::string> orders by unsigned byte value (char_traits<char>).
using JsonObject = std::map<std::string, JsonValue, std::less<>>;

// A text the value refers to without copying it.
struct BorrowedText {
  std::string_view text;
  bool operator==(const BorrowedText&) const = default;
};

class JsonValue {
 public:
  using Storage = std::variant<std::nullptr_t, bool, std::uint64_t, std::string, BorrowedText, JsonArray, JsonObject>;

  JsonValue() : storage_(nullptr) {}
  JsonValue(std::nullptr_t) : storage_(nullptr) {}
  JsonValue(bool b) : storage_(b) {}
  JsonValue(std::uint64_t n) : storage_(n) {}
  JsonValue(std::string s) : storage_(std::move(s)) {}
  JsonValue(std::string_view s) : storage_(std::string(s)) {}
  JsonValue(const char* s) : storage_(std::string(s)) {}
  JsonValue(JsonArray a) : storage_(std::move(a)) {}
  JsonValue(JsonObject o) : storage_(std::move(o)) {}

  // A string value that refers to `text` instead of copying it: for large
  // texts owned by something that outlives the value.
  static JsonValue borrowed(std::string_view text) {
    JsonValue value;
    value.storage_ = BorrowedText{text};
    return value;
  }

  const Storage& storage() const { return storage_; }

  bool operator==(const JsonValue&) const = default;

 private:
  Storage storage_;
};

// An array of strings, element order kept: copies of `items`.
JsonArray string_array(const std::vector<std::string>& items);
// The same, borrowing the texts `items` refer to, which must outlive it.
JsonArray borrowed_string_array(const std::vector<std::string_view>& items);

}  // namespace zorv::json
