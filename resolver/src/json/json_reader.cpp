#include "json/json_reader.h"

#include "text/double_text.h"
#include "text/utf8_validation.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <utility>

namespace zorv::json {

namespace {

bool is_whitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decoded string as it is shown in a type fault: in double quotes, with
// quotes, backslashes and control characters escaped.
std::string quoted_for_fault(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u{";
          if (c >= 0x10) out += kHex[c >> 4];
          out += kHex[c & 0xF];
          out += '}';
        } else {
          out += ch;
        }
    }
  }
  out += '"';
  return out;
}

// Shortest round-trip digits, written out without an exponent and always
// with a fractional part: 1e3 reads 1000.0, 2^64 reads 18446744073709552000.0.
std::string float_for_fault(double value) {
  std::string scientific;
  text::append_double_scientific(scientific, value);
  const std::string_view text(scientific);
  const size_t e = text.find('e');
  std::string out;
  std::string_view mantissa = text.substr(0, e);
  if (!mantissa.empty() && mantissa[0] == '-') {
    out += '-';
    mantissa.remove_prefix(1);
  }
  std::string digits;
  for (const char c : mantissa) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
  // The decimal point goes after `point` digits.
  const int point = exponent + 1;
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-point), '0');
    out += digits;
  } else if (static_cast<size_t>(point) >= digits.size()) {
    out += digits;
    out.append(static_cast<size_t>(point) - digits.size(), '0');
    out += ".0";
  } else {
    out.append(digits, 0, static_cast<size_t>(point));
    out += '.';
    out.append(digits, static_cast<size_t>(point));
  }
  return out;
}

}  // namespace

bool JsonReader::fail(std::string description, std::size_t offset) {
  fault_ = {std::move(description), offset};
  return false;
}

bool JsonReader::fail_syntax(std::string description) { return fail(std::move(description), pos_ + 1); }

bool JsonReader::fail_eof(std::string_view what) {
  return fail("EOF while parsing " + std::string(what), text_.size());
}

void JsonReader::skip_whitespace() {
  while (pos_ < text_.size() && is_whitespace(text_[pos_])) ++pos_;
}

bool JsonReader::read_document(const std::function<bool()>& read_value) {
  if (!read_value()) return false;
  skip_whitespace();
  if (!at_end()) return fail_syntax("trailing characters");
  return true;
}

bool JsonReader::enter_nesting() {
  if (depth_ >= kMaxNestingDepth) return fail_syntax("recursion limit exceeded");
  ++depth_;
  return true;
}

JsonReader::JsonReader(std::string_view text) : text_(text), text_is_utf8_(text::is_valid_utf8(text)) {}

bool JsonReader::scan_string_here(RawJsonString& raw) {
  std::size_t end = 0;
  if (!scan_string(text_, pos_, raw, end, fault_, text_is_utf8_)) return false;
  pos_ = end;
  return true;
}

bool JsonReader::scan_literal(std::string_view word) {
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (pos_ >= text_.size()) return fail_eof("a value");
    if (text_[pos_] != word[i]) return fail_syntax("expected ident");
    ++pos_;
  }
  return true;
}

bool JsonReader::scan_number(Number& out, bool syntax_only) {
  const std::size_t start = pos_;
  const bool negative = text_[pos_] == '-';
  if (negative) ++pos_;
  if (at_end()) return fail_eof("a value");
  const std::size_t integer_start = pos_;
  if (text_[pos_] == '0') {
    ++pos_;
    if (!at_end() && is_digit(text_[pos_])) return fail_syntax("invalid number");
  } else if (is_digit(text_[pos_])) {
    while (!at_end() && is_digit(text_[pos_])) ++pos_;
  } else {
    return fail_syntax("invalid number");
  }
  const std::size_t integer_end = pos_;
  std::size_t fraction_start = pos_, fraction_end = pos_;
  bool is_floating = false;
  if (!at_end() && text_[pos_] == '.') {
    is_floating = true;
    ++pos_;
    fraction_start = pos_;
    if (at_end()) return fail_eof("a value");
    if (!is_digit(text_[pos_])) return fail_syntax("invalid number");
    while (!at_end() && is_digit(text_[pos_])) ++pos_;
    fraction_end = pos_;
  }
  long long exponent = 0;
  if (!at_end() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
    is_floating = true;
    ++pos_;
    bool exponent_negative = false;
    if (!at_end() && (text_[pos_] == '+' || text_[pos_] == '-')) {
      exponent_negative = text_[pos_] == '-';
      ++pos_;
    }
    if (at_end()) return fail_eof("a value");
    if (!is_digit(text_[pos_])) return fail_syntax("invalid number");
    while (!at_end() && is_digit(text_[pos_])) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text_[pos_] - '0');
      ++pos_;
    }
    if (exponent_negative) exponent = -exponent;
  }
  const std::string_view token = text_.substr(start, pos_ - start);
  // A value that is only passed over needs no value: the grammar allows
  // numbers that no double holds, and such a number under an ignored key
  // is no fault.
  if (syntax_only) return true;

  if (!is_floating) {
    std::uint64_t magnitude = 0;
    const auto digits = text_.substr(integer_start, integer_end - integer_start);
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const bool fits = parsed.ec == std::errc() && (!negative || magnitude <= (std::uint64_t{1} << 63));
    if (fits) {
      out.kind = negative ? Number::Kind::negative_integer : Number::Kind::unsigned_integer;
      out.magnitude = magnitude;
      return true;
    }
  }
  out.kind = Number::Kind::floating;
  const auto parsed = text::read_double(token.data(), token.data() + token.size(), out.floating);
  if (parsed.ec == std::errc::result_out_of_range) {
    // Tell overflow from underflow by the decimal exponent of the first
    // significant digit.
    long long magnitude_exponent = 0;
    bool found = false;
    for (std::size_t i = integer_start; i < integer_end && !found; ++i) {
      if (text_[i] != '0') {
        magnitude_exponent = static_cast<long long>(integer_end - i) - 1 + exponent;
        found = true;
      }
    }
    for (std::size_t i = fraction_start; i < fraction_end && !found; ++i) {
      if (text_[i] != '0') {
        magnitude_exponent = -static_cast<long long>(i - fraction_start + 1) + exponent;
        found = true;
      }
    }
    if (found && magnitude_exponent > 0) return fail("number out of range", pos_);
    out.floating = negative ? -0.0 : 0.0;
  } else if (parsed.ec != std::errc() || std::isinf(out.floating)) {
    return fail("number out of range", pos_);
  }
  return true;
}

bool JsonReader::invalid_type(std::string_view expected) {
  skip_whitespace();
  if (at_end()) return fail_eof("a value");
  const auto wrong = [&](std::string found, std::size_t offset) {
    return fail("invalid type: " + found + ", expected " + std::string(expected), offset);
  };
  switch (text_[pos_]) {
    case '[':
      return wrong("sequence", pos_);
    case '{':
      return wrong("map", pos_);
    case '"': {
      RawJsonString raw;
      if (!scan_string_here(raw)) return false;
      return wrong("string " + quoted_for_fault(unescaped(raw)), pos_);
    }
    case 't':
      if (!scan_literal("true")) return false;
      return wrong("boolean `true`", pos_);
    case 'f':
      if (!scan_literal("false")) return false;
      return wrong("boolean `false`", pos_);
    case 'n':
      if (!scan_literal("null")) return false;
      return wrong("null", pos_);
    default:
      break;
  }
  if (text_[pos_] == '-' || is_digit(text_[pos_])) {
    Number number;
    if (!scan_number(number)) return false;
    switch (number.kind) {
      case Number::Kind::unsigned_integer:
        return wrong("integer `" + std::to_string(number.magnitude) + "`", pos_);
      case Number::Kind::negative_integer:
        return wrong("integer `" + std::string(number.magnitude ? "-" : "") + std::to_string(number.magnitude) + "`",
                     pos_);
      case Number::Kind::floating:
        return wrong("floating point `" + float_for_fault(number.floating) + "`", pos_);
    }
  }
  return fail_syntax("expected value");
}

bool JsonReader::read_null(bool& is_null) {
  skip_whitespace();
  is_null = !at_end() && text_[pos_] == 'n';
  return !is_null || scan_literal("null");
}

bool JsonReader::read_string(RawJsonString& out, std::string_view expected) {
  skip_whitespace();
  if (at_end()) return fail_eof("a value");
  if (text_[pos_] != '"') return invalid_type(expected);
  return scan_string_here(out);
}

bool JsonReader::read_decoded(std::string& out, std::string_view expected) {
  RawJsonString raw;
  if (!read_string(raw, expected)) return false;
  out.clear();
  append_unescaped(out, raw);
  return true;
}

bool JsonReader::read_optional_string(std::optional<std::string>& out) {
  bool is_null = false;
  if (!read_null(is_null)) return false;
  if (is_null) {
    out.reset();
    return true;
  }
  std::string value;
  if (!read_decoded(value, "a string")) return false;
  out = std::move(value);
  return true;
}

bool JsonReader::read_bool(bool& out) {
  skip_whitespace();
  if (at_end()) return fail_eof("a value");
  if (text_[pos_] == 't') {
    if (!scan_literal("true")) return false;
    out = true;
    return true;
  }
  if (text_[pos_] == 'f') {
    if (!scan_literal("false")) return false;
    out = false;
    return true;
  }
  return invalid_type("a boolean");
}

bool JsonReader::read_u64(std::uint64_t& out) {
  skip_whitespace();
  if (at_end()) return fail_eof("a value");
  if (text_[pos_] != '-' && !is_digit(text_[pos_])) return invalid_type("u64");
  const std::size_t start = pos_;
  Number number;
  if (!scan_number(number)) return false;
  switch (number.kind) {
    case Number::Kind::unsigned_integer:
      out = number.magnitude;
      return true;
    case Number::Kind::negative_integer:
      if (number.magnitude == 0) {  // "-0" is the integer zero
        out = 0;
        return true;
      }
      return fail("invalid value: integer `-" + std::to_string(number.magnitude) + "`, expected u64", pos_);
    case Number::Kind::floating:
      break;
  }
  pos_ = start;
  return invalid_type("u64");
}

bool JsonReader::next_in_container(char close, bool& more) {
  skip_whitespace();
  if (at_end()) return fail_eof(close == ']' ? "a list" : "an object");
  const char c = text_[pos_];
  if (c == ',') {
    ++pos_;
    skip_whitespace();
    if (!at_end() && text_[pos_] == close) return fail_syntax("trailing comma");
    more = true;
    return true;
  }
  if (c == close) {
    ++pos_;
    --depth_;
    more = false;
    return true;
  }
  return fail_syntax(close == ']' ? "expected `,` or `]`" : "expected `,` or `}`");
}

bool JsonReader::read_key(RawJsonString& key, std::size_t& key_end) {
  return read_key_text(key, key_end) && read_colon();
}

bool JsonReader::read_key_text(RawJsonString& key, std::size_t& key_end) {
  skip_whitespace();
  if (at_end()) return fail_eof("a value");
  if (text_[pos_] != '"') return fail_syntax("key must be a string");
  if (!scan_string_here(key)) return false;
  key_end = pos_;
  return true;
}

bool JsonReader::read_colon() {
  skip_whitespace();
  if (at_end()) return fail_eof("an object");
  if (text_[pos_] != ':') return fail_syntax("expected `:`");
  ++pos_;
  return true;
}

bool JsonReader::open_object(bool& has_member) {
  if (!enter_nesting()) return false;
  ++pos_;
  skip_whitespace();
  if (at_end()) return fail_eof("an object");
  if (text_[pos_] == '}') {
    ++pos_;
    --depth_;
    has_member = false;
    return true;
  }
  if (text_[pos_] != '"') return fail_syntax("key must be a string");
  has_member = true;
  return true;
}

bool JsonReader::read_array(const std::function<bool()>& read_element, std::string_view expected) {
  skip_whitespace();
  if (at_end()) return fail_eof("a value");
  if (text_[pos_] != '[') return invalid_type(expected);
  if (!enter_nesting()) return false;
  ++pos_;
  skip_whitespace();
  if (at_end()) return fail_eof("a list");
  if (text_[pos_] == ']') {
    ++pos_;
    --depth_;
    return true;
  }
  for (bool more = true; more;) {
    if (!read_element()) return false;
    if (!next_in_container(']', more)) return false;
  }
  return true;
}

bool JsonReader::read_string_array(std::vector<std::string>& out) {
  out.clear();
  return read_array(
      [&] {
        RawJsonString raw;
        if (!read_string(raw)) return false;
        out.push_back(unescaped(raw));
        return true;
      },
      "a sequence");
}

bool JsonReader::read_string_views(std::vector<std::string_view>& out, std::deque<std::string>& decoded) {
  out.clear();
  // Decoded strings go into one buffer, whose bytes may move while it
  // grows; their views are set once the array is read. The buffer itself
  // is an element of `decoded` and never moves.
  std::string* buffer = nullptr;
  // Where in `out` each decoded string goes, and its length.
  std::vector<std::pair<std::size_t, std::size_t>> decoded_at;
  const bool ok = read_array(
      [&] {
        RawJsonString raw;
        if (!read_string(raw)) return false;
        if (raw.has_escapes) {
          if (buffer == nullptr) buffer = &decoded.emplace_back();
          const std::size_t start = buffer->size();
          append_unescaped(*buffer, raw);
          decoded_at.emplace_back(out.size(), buffer->size() - start);
          out.emplace_back();
        } else {
          out.push_back(raw.content);
        }
        return true;
      },
      "a sequence");
  std::size_t offset = 0;
  for (const auto& [at, length] : decoded_at) {
    out[at] = std::string_view(buffer->data() + offset, length);
    offset += length;
  }
  return ok;
}

bool JsonReader::read_record(const RecordShape& shape, const std::function<bool(std::size_t)>& read_field) {
  skip_whitespace();
  if (at_end()) return fail_eof("a value");
  if (text_[pos_] != '{') return invalid_type(shape.name);
  bool more = false;
  if (!open_object(more)) return false;
  std::bitset<32> seen;
  while (more) {
    RawJsonString raw_key;
    std::size_t key_end = 0;
    // A repeated field is a fault at its key, before whatever follows it.
    if (!read_key_text(raw_key, key_end)) return false;
    std::string_view key = raw_key.content;
    if (raw_key.has_escapes) {
      key_buffer_ = unescaped(raw_key);
      key = key_buffer_;
    }
    std::size_t field = 0;
    while (field < shape.fields.size() && shape.fields[field] != key) ++field;
    if (field < shape.fields.size() && seen[field]) {
      return fail("duplicate field `" + std::string(key) + "`", key_end);
    }
    if (!read_colon()) return false;
    if (field == shape.fields.size()) {
      if (!skip_value()) return false;
    } else {
      seen.set(field);
      if (!read_field(field)) return false;
    }
    if (!next_in_container('}', more)) return false;
  }
  for (std::size_t field = 0; field < shape.fields.size(); ++field) {
    if (shape.required[field] && !seen[field]) {
      return fail("missing field `" + std::string(shape.fields[field]) + "`", pos_);
    }
  }
  return true;
}

bool JsonReader::read_string_map(const std::function<void(RawJsonString, RawJsonString)>& on_member) {
  skip_whitespace();
  if (at_end()) return fail_eof("a value");
  if (text_[pos_] != '{') return invalid_type("a map");
  bool more = false;
  if (!open_object(more)) return false;
  while (more) {
    RawJsonString key;
    std::size_t key_end = 0;
    if (!read_key(key, key_end)) return false;
    RawJsonString value;
    if (!read_string(value)) return false;
    on_member(key, value);
    if (!next_in_container('}', more)) return false;
  }
  return true;
}

bool JsonReader::read_raw(std::string_view& out, std::size_t& offset) {
  skip_whitespace();
  offset = pos_;
  if (!skip_value()) return false;
  out = text_.substr(offset, pos_ - offset);
  return true;
}

bool JsonReader::skip_value() {
  // Iterative, so nesting costs no stack: `closers` holds the bracket that
  // ends each open container, innermost last.
  std::string closers;
  for (;;) {
    skip_whitespace();
    if (at_end()) return fail_eof("a value");
    const char c = text_[pos_];
    if (c == '[') {
      if (!enter_nesting()) return false;
      ++pos_;
      skip_whitespace();
      if (at_end()) return fail_eof("a list");
      if (text_[pos_] != ']') {
        closers += ']';
        continue;
      }
      ++pos_;
      --depth_;
    } else if (c == '{') {
      bool has_member = false;
      if (!open_object(has_member)) return false;
      if (has_member) {
        RawJsonString key;
        std::size_t key_end = 0;
        if (!read_key(key, key_end)) return false;
        closers += '}';
        continue;
      }
    } else if (c == '"') {
      RawJsonString raw;
      if (!scan_string_here(raw)) return false;
    } else if (c == 't') {
      if (!scan_literal("true")) return false;
    } else if (c == 'f') {
      if (!scan_literal("false")) return false;
    } else if (c == 'n') {
      if (!scan_literal("null")) return false;
    } else if (c == '-' || is_digit(c)) {
      Number number;
      if (!scan_number(number, true)) return false;
    } else {
      return fail_syntax("expected value");
    }
    // A value is complete: close every container it completes.
    for (;;) {
      if (closers.empty()) return true;
      bool more = false;
      if (!next_in_container(closers.back(), more)) return false;
      if (more) {
        if (closers.back() == '}') {
          RawJsonString key;
          std::size_t key_end = 0;
          if (!read_key(key, key_end)) return false;
        }
        break;
      }
      closers.pop_back();
    }
  }
}

}  // namespace zorv::json
