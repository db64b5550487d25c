#include "json/json_writer.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace zorv::json {

namespace {

// 0: written as is; otherwise the character after the backslash ('u' meaning
// the \u00xx form).
constexpr std::array<char, 256> make_escape_table() {
  std::array<char, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[c] = 'u';
  table['\b'] = 'b';
  table['\t'] = 't';
  table['\n'] = 'n';
  table['\f'] = 'f';
  table['\r'] = 'r';
  table['"'] = '"';
  table['\\'] = '\\';
  return table;
}

constexpr std::array<char, 256> kEscape = make_escape_table();

struct ValueWriter {
  std::string& out;

  void operator()(std::nullptr_t) const { out += "null"; }
  void operator()(bool b) const { out += b ? "true" : "false"; }
  void operator()(std::uint64_t n) const { append_uint(out, n); }
  void operator()(const std::string& s) const { append_string(out, s); }
  void operator()(const BorrowedText& s) const { append_string(out, s.text); }
  void operator()(const JsonArray& array) const {
    out += '[';
    bool first = true;
    for (const auto& element : array) {
      if (!first) out += ',';
      first = false;
      append_value(out, element);
    }
    out += ']';
  }
  void operator()(const JsonObject& object) const {
    out += '{';
    bool first = true;
    for (const auto& [key, member] : object) {
      if (!first) out += ',';
      first = false;
      append_string(out, key);
      out += ':';
      append_value(out, member);
    }
    out += '}';
  }
};

// Whether any of the eight bytes at `at` is below 0x20, '"' or '\\': exact
// for the eight as a whole (bytes of 0x80 and above never count).
bool may_need_escape(const char* at) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  std::uint64_t word = 0;
  std::memcpy(&word, at, sizeof word);
  const std::uint64_t quote = word ^ (kOnes * '"');
  const std::uint64_t backslash = word ^ (kOnes * '\\');
  const std::uint64_t below_space = word - kOnes * 0x20;
  return (((below_space & ~word) | ((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash)) & kHighs) != 0;
}

}  // namespace

void append_string(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  size_t run_start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // Most text needs no escape at all: eight bytes are cleared at once.
    while (i + 8 <= text.size() && !may_need_escape(text.data() + i)) i += 8;
    if (i >= text.size()) break;
    const char escape = kEscape[static_cast<unsigned char>(text[i])];
    if (escape == 0) continue;
    out.append(text, run_start, i - run_start);
    run_start = i + 1;
    out += '\\';
    if (escape == 'u') {
      const auto c = static_cast<unsigned char>(text[i]);
      const char unicode[] = {'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      out.append(unicode, sizeof unicode);
    } else {
      out += escape;
    }
  }
  out.append(text, run_start, text.size() - run_start);
  out += '"';
}

void append_uint(std::string& out, std::uint64_t number) {
  char digits[20];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  out.append(digits, result.ptr);
}

void append_value(std::string& out, const JsonValue& value) { std::visit(ValueWriter{out}, value.storage()); }

}  // namespace zorv::json
