#include "json/json_number.h"

#include "text/double_text.h"

#include <charconv>
#include <cmath>

namespace zorv::json {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool scan_number(std::string_view text, std::size_t start, JsonNumber& out, std::size_t& end, text::Fault& fault,
                 bool syntax_only) {
  std::size_t pos = start;
  const auto at_end = [&] { return pos >= text.size(); };
  // A character the grammar does not allow here, reported just past it, as
  // the reader reports every misplaced character.
  const auto invalid = [&] {
    fault = {text::FaultCode::json_syntax, pos + 1, "invalid number"};
    return false;
  };
  const auto early_end = [&] {
    fault = {text::FaultCode::json_syntax, text.size(), "EOF while parsing a value"};
    return false;
  };
  const auto out_of_range = [&] {
    fault = {text::FaultCode::json_number_out_of_range, pos, "number out of range"};
    return false;
  };

  const bool negative = text[pos] == '-';
  if (negative) ++pos;
  if (at_end()) return early_end();
  const std::size_t integer_start = pos;
  if (text[pos] == '0') {
    ++pos;
    if (!at_end() && is_digit(text[pos])) return invalid();
  } else if (is_digit(text[pos])) {
    while (!at_end() && is_digit(text[pos])) ++pos;
  } else {
    return invalid();
  }
  const std::size_t integer_end = pos;
  std::size_t fraction_start = pos, fraction_end = pos;
  bool is_floating = false;
  if (!at_end() && text[pos] == '.') {
    is_floating = true;
    ++pos;
    fraction_start = pos;
    if (at_end()) return early_end();
    if (!is_digit(text[pos])) return invalid();
    while (!at_end() && is_digit(text[pos])) ++pos;
    fraction_end = pos;
  }
  long long exponent = 0;
  if (!at_end() && (text[pos] == 'e' || text[pos] == 'E')) {
    is_floating = true;
    ++pos;
    bool exponent_negative = false;
    if (!at_end() && (text[pos] == '+' || text[pos] == '-')) {
      exponent_negative = text[pos] == '-';
      ++pos;
    }
    if (at_end()) return early_end();
    if (!is_digit(text[pos])) return invalid();
    while (!at_end() && is_digit(text[pos])) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[pos] - '0');
      ++pos;
    }
    if (exponent_negative) exponent = -exponent;
  }
  const std::string_view token = text.substr(start, pos - start);
  // A value that is only passed over needs no value: the grammar allows
  // numbers that no double holds, and such a number under an ignored key
  // is no fault.
  if (syntax_only) {
    end = pos;
    return true;
  }

  if (!is_floating) {
    std::uint64_t magnitude = 0;
    const auto digits = text.substr(integer_start, integer_end - integer_start);
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const bool fits = parsed.ec == std::errc() && (!negative || magnitude <= (std::uint64_t{1} << 63));
    if (fits) {
      out.kind = negative ? JsonNumber::Kind::negative_integer : JsonNumber::Kind::unsigned_integer;
      out.magnitude = magnitude;
      end = pos;
      return true;
    }
  }
  out.kind = JsonNumber::Kind::floating;
  const auto parsed = text::read_double(token.data(), token.data() + token.size(), out.floating);
  if (parsed.ec == std::errc::result_out_of_range) {
    // Tell overflow from underflow by the decimal exponent of the first
    // significant digit.
    long long magnitude_exponent = 0;
    bool found = false;
    for (std::size_t i = integer_start; i < integer_end && !found; ++i) {
      if (text[i] != '0') {
        magnitude_exponent = static_cast<long long>(integer_end - i) - 1 + exponent;
        found = true;
      }
    }
    for (std::size_t i = fraction_start; i < fraction_end && !found; ++i) {
      if (text[i] != '0') {
        magnitude_exponent = -static_cast<long long>(i - fraction_start + 1) + exponent;
        found = true;
      }
    }
    if (found && magnitude_exponent > 0) return out_of_range();
    out.floating = negative ? -0.0 : 0.0;
  } else if (parsed.ec != std::errc() || std::isinf(out.floating)) {
    return out_of_range();
  }
  end = pos;
  return true;
}

std::string float_for_fault(double value) {
  std::string scientific;
  text::append_double_scientific(scientific, value);
  const std::string_view text(scientific);
  const std::size_t e = text.find('e');
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
    out.append(static_cast<std::size_t>(-point), '0');
    out += digits;
  } else if (static_cast<std::size_t>(point) >= digits.size()) {
    out += digits;
    out.append(static_cast<std::size_t>(point) - digits.size(), '0');
    out += ".0";
  } else {
    out.append(digits, 0, static_cast<std::size_t>(point));
    out += '.';
    out.append(digits, static_cast<std::size_t>(point));
  }
  return out;
}

}  // namespace zorv::json
