#include "toml/toml_literal.h"

#include "text/double_text.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace zorv::toml {

namespace {

// Digits separated by single underscores, each underscore between two
// digits: "1_000", never "1__0", "_1" or "1_".
bool digits_with_underscores(std::string_view s, bool (*digit)(char)) {
  if (s.empty() || !digit(s.front()) || !digit(s.back())) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '_') {
      if (!digit(s[i + 1])) return false;
    } else if (!digit(s[i])) {
      return false;
    }
  }
  return true;
}

std::string without_underscores(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c != '_') out += c;
  }
  return out;
}

bool two_digits(std::string_view s, std::size_t at, int& value) {
  if (at + 2 > s.size() || !is_digit(s[at]) || !is_digit(s[at + 1])) return false;
  value = (s[at] - '0') * 10 + (s[at + 1] - '0');
  return true;
}

// HH:MM:SS with an optional fraction of any length; `rest` gets what follows.
bool read_time(std::string_view s, std::string_view& rest) {
  int hour, minute, second;
  if (s.size() < 8 || s[2] != ':' || s[5] != ':' || !two_digits(s, 0, hour) || !two_digits(s, 3, minute) ||
      !two_digits(s, 6, second) || hour > 23 || minute > 59 || second > 60) {
    return false;
  }
  std::size_t end = 8;
  if (end < s.size() && s[end] == '.') {
    ++end;
    const std::size_t digits = end;
    while (end < s.size() && is_digit(s[end])) ++end;
    if (end == digits) return false;
  }
  rest = s.substr(end);
  return true;
}

bool read_offset(std::string_view s) {
  if (s == "Z" || s == "z") return true;
  int hour, minute;
  return s.size() == 6 && (s[0] == '+' || s[0] == '-') && s[3] == ':' && two_digits(s, 1, hour) &&
         two_digits(s, 4, minute) && hour <= 23 && minute <= 59;
}

}  // namespace

bool read_integer(std::string_view literal, std::int64_t& value) {
  std::string_view body = literal;
  int base = 10;
  if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'o' || body[1] == 'b')) {
    base = body[1] == 'x' ? 16 : body[1] == 'o' ? 8 : 2;
    body.remove_prefix(2);
    bool (*digit)(char) = base == 16  ? is_hex
                          : base == 8 ? +[](char c) { return c >= '0' && c <= '7'; }
                                      : +[](char c) { return c == '0' || c == '1'; };
    if (!digits_with_underscores(body, digit)) return false;
    const std::string digits = without_underscores(body);
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (error != std::errc() || end != digits.data() + digits.size() ||
        magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return false;
    }
    value = static_cast<std::int64_t>(magnitude);
    return true;
  }
  const bool negative = !body.empty() && body[0] == '-';
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) body.remove_prefix(1);
  if (!digits_with_underscores(body, is_digit) || (body.size() > 1 && body[0] == '0')) return false;
  const std::string digits = (negative ? "-" : "") + without_underscores(body);
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return error == std::errc() && end == digits.data() + digits.size();
}

// A decimal float: an integer part, then a fraction, an exponent or both.
// Any number of digits is read; a value beyond the double range reads as
// infinity (or zero, below it), as strtod would.
bool read_float(std::string_view literal, double& value) {
  std::string_view body = literal;
  const bool negative = !body.empty() && body[0] == '-';
  if (!body.empty() && (body[0] == '+' || body[0] == '-')) body.remove_prefix(1);
  if (body == "inf" || body == "nan") {
    value = body == "inf" ? std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
    if (negative) value = -value;
    return true;
  }
  const std::size_t exponent_at = body.find_first_of("eE");
  const std::string_view mantissa = body.substr(0, exponent_at);
  const std::size_t point = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, point);
  if (!digits_with_underscores(whole, is_digit) || (whole.size() > 1 && whole[0] == '0')) return false;
  if (point != std::string_view::npos && !digits_with_underscores(mantissa.substr(point + 1), is_digit)) {
    return false;
  }
  long long exponent = 0;
  if (exponent_at != std::string_view::npos) {
    std::string_view e = body.substr(exponent_at + 1);
    const bool negative_exponent = !e.empty() && e[0] == '-';
    if (!e.empty() && (e[0] == '+' || e[0] == '-')) e.remove_prefix(1);
    if (!digits_with_underscores(e, is_digit)) return false;
    // Only the sign and rough size matter for a value out of range.
    for (char c : e) {
      if (c != '_' && exponent < 100000) exponent = exponent * 10 + (c - '0');
    }
    if (negative_exponent) exponent = -exponent;
  } else if (point == std::string_view::npos) {
    return false;
  }
  const std::string digits = without_underscores(body);
  const auto [end, error] = text::read_double(digits.data(), digits.data() + digits.size(), value);
  if (error == std::errc::result_out_of_range) {
    // Overflow when the decimal exponent of the first significant digit is
    // positive, underflow otherwise.
    const std::string plain = without_underscores(mantissa);
    const std::size_t first = plain.find_first_of("123456789");
    const std::size_t dot = plain.find('.');
    const long long magnitude =
        exponent + (dot == std::string::npos ? static_cast<long long>(plain.size()) : static_cast<long long>(dot)) -
        static_cast<long long>(first) - (first > dot ? 0 : 1);
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc() || end != digits.data() + digits.size()) {
    return false;
  }
  if (negative) value = -value;
  return true;
}

bool read_date(std::string_view s) {
  int century, year, month, day;
  if (s.size() != 10 || s[4] != '-' || s[7] != '-' || !two_digits(s, 0, century) || !two_digits(s, 2, year) ||
      !two_digits(s, 5, month) || !two_digits(s, 8, day)) {
    return false;
  }
  const int full_year = century * 100 + year;
  const bool leap = full_year % 4 == 0 && (full_year % 100 != 0 || full_year % 400 == 0);
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month >= 1 && month <= 12 && day >= 1 && day <= kDays[month - 1] && (month != 2 || leap || day <= 28);
}

// The kind of a date or time literal, or nullopt when it is none.
std::optional<Kind> date_time_kind(std::string_view s) {
  std::string_view rest;
  if (s.size() >= 3 && s[2] == ':') {
    return read_time(s, rest) && rest.empty() ? std::optional(Kind::local_time) : std::nullopt;
  }
  if (!read_date(s.substr(0, 10))) return std::nullopt;
  if (s.size() == 10) return Kind::local_date;
  if (s[10] != 'T' && s[10] != 't' && s[10] != ' ') return std::nullopt;
  if (!read_time(s.substr(11), rest)) return std::nullopt;
  if (rest.empty()) return Kind::local_date_time;
  return read_offset(rest) ? std::optional(Kind::offset_date_time) : std::nullopt;
}

}  // namespace zorv::toml
