#include "text/double_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#if !defined(_WIN32)
#include <locale.h>
#if defined(__APPLE__)
#include <xlocale.h>
#endif
#endif

namespace zorv::text {

#if !defined(_WIN32)
namespace {

// Switches the calling thread to the "C" locale for its lifetime, so that
// snprintf and strtod use '.' whatever setlocale the host program called.
class CLocaleScope {
 public:
  CLocaleScope() : previous_(uselocale(c_locale())) {}
  ~CLocaleScope() { uselocale(previous_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  static locale_t c_locale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
  }
  locale_t previous_;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool same_double(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A positive decimal d.ddd × 10^exponent with up to 17 significant digits.
struct Decimal {
  char digits[17];
  int count = 0;
  int exponent = 0;
};

// Parses snprintf's "%.*e" text of a positive number.
Decimal decimal_from_scientific(const char* text) {
  Decimal decimal;
  const char* p = text;
  for (; *p != 'e'; ++p) {
    if (*p != '.') decimal.digits[decimal.count++] = *p;
  }
  decimal.exponent = std::atoi(p + 1);
  return decimal;
}

// Writes d.ddde<exponent>, text that strtod reads.
void scientific_text(const Decimal& decimal, char* out, std::size_t size) {
  std::snprintf(out, size, "%c.%.*se%d", decimal.digits[0], decimal.count - 1, decimal.digits + 1, decimal.exponent);
}

double read_back(const Decimal& decimal) {
  char text[48];
  scientific_text(decimal, text, sizeof text);
  return std::strtod(text, nullptr);
}

// The next decimal up with the same number of digits: 1.29 -> 1.30,
// 9.99 -> 1.00e+1.
Decimal next_up(Decimal decimal) {
  int i = decimal.count - 1;
  while (i >= 0 && decimal.digits[i] == '9') decimal.digits[i--] = '0';
  if (i >= 0) {
    ++decimal.digits[i];
  } else {
    decimal.digits[0] = '1';
    ++decimal.exponent;
  }
  return decimal;
}

// The nearest decimal of `precision` digits to `magnitude` (positive,
// finite) that reads back to it, if there is one of that length. snprintf
// rounds correctly, and the nearest decimal lies within the double's
// rounding interval whenever any of that length does, except where the
// interval is lopsided: at a power of two the double below is half as far
// as the one above, so the nearest decimal may fall just short below while
// the next one up still reads back. Only that neighbour is tried besides.
std::optional<Decimal> decimal_of_precision(double magnitude, int precision, bool lopsided) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*e", precision - 1, magnitude);
  const Decimal nearest = decimal_from_scientific(text);
  const double read = std::strtod(text, nullptr);
  if (same_double(read, magnitude)) return nearest;
  if (lopsided && read < magnitude) {
    const Decimal above = next_up(nearest);
    if (same_double(read_back(above), magnitude)) return above;
  }
  return std::nullopt;
}

// The shortest decimal that reads back to `magnitude`, the nearest of that
// length. Whether some decimal of n digits reads back only turns from no to
// yes as n grows (the decimals of n digits are among those of n + 1), and 17
// always do, so the least n is found by bisection.
Decimal shortest_decimal(double magnitude) {
  std::uint64_t bits;
  std::memcpy(&bits, &magnitude, sizeof bits);
  const bool lopsided = (bits & ((std::uint64_t{1} << 52) - 1)) == 0 && (bits >> 52) > 1;
  int low = 1;
  int high = 17;
  std::optional<Decimal> shortest;
  while (low < high) {
    const int middle = (low + high) / 2;
    if (const auto decimal = decimal_of_precision(magnitude, middle, lopsided)) {
      high = middle;
      shortest = decimal;
    } else {
      low = middle + 1;
    }
  }
  if (!shortest) shortest = decimal_of_precision(magnitude, 17, lopsided);
  Decimal decimal = *shortest;
  while (decimal.count > 1 && decimal.digits[decimal.count - 1] == '0') --decimal.count;
  return decimal;
}

void append_scientific(std::string& out, const Decimal& decimal) {
  out += decimal.digits[0];
  if (decimal.count > 1) {
    out += '.';
    out.append(decimal.digits + 1, static_cast<std::size_t>(decimal.count - 1));
  }
  char exponent[16];
  std::snprintf(exponent, sizeof exponent, "e%c%02d", decimal.exponent < 0 ? '-' : '+', std::abs(decimal.exponent));
  out += exponent;
}

std::size_t scientific_length(const Decimal& decimal) {
  const int magnitude = std::abs(decimal.exponent);
  const std::size_t exponent_digits = magnitude >= 100 ? 3 : 2;
  return static_cast<std::size_t>(decimal.count) + (decimal.count > 1 ? 1 : 0) + 2 + exponent_digits;
}

std::size_t fixed_length(const Decimal& decimal) {
  if (decimal.exponent < 0) return 2 + static_cast<std::size_t>(-decimal.exponent - 1 + decimal.count);
  if (decimal.exponent + 1 >= decimal.count) return static_cast<std::size_t>(decimal.exponent + 1);
  return static_cast<std::size_t>(decimal.count + 1);
}

void append_fixed(std::string& out, const Decimal& decimal, double magnitude) {
  if (decimal.exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-decimal.exponent - 1), '0');
    out.append(decimal.digits, static_cast<std::size_t>(decimal.count));
  } else if (decimal.exponent + 1 >= decimal.count) {
    // A whole number: every digit of the double, not the shortest digits
    // padded with zeros, as printf's fixed form would show it.
    char whole[320];
    std::snprintf(whole, sizeof whole, "%.0f", magnitude);
    out += whole;
  } else {
    const auto point = static_cast<std::size_t>(decimal.exponent + 1);
    out.append(decimal.digits, point);
    out += '.';
    out.append(decimal.digits + point, static_cast<std::size_t>(decimal.count) - point);
  }
}

// Signs, zeros and the values with no digits; true when nothing is left.
bool append_special(std::string& out, double value) {
  if (std::signbit(value)) out += '-';
  if (std::isnan(value)) {
    out += "nan";
  } else if (std::isinf(value)) {
    out += "inf";
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::from_chars_result read_double_by_c_library(const char* first, const char* last, double& value) {
  const char* p = first;
  if (p != last && *p == '-') ++p;
  std::size_t digits = 0;
  bool nonzero = false;
  const auto take_digits = [&] {
    for (; p != last && is_digit(*p); ++p, ++digits) nonzero |= *p != '0';
  };
  take_digits();
  if (p != last && *p == '.') {
    ++p;
    take_digits();
  }
  if (digits == 0) return {first, std::errc::invalid_argument};
  if (p != last && (*p == 'e' || *p == 'E')) {
    const char* exponent = p + 1;
    if (exponent != last && (*exponent == '+' || *exponent == '-')) ++exponent;
    if (exponent != last && is_digit(*exponent)) {
      while (exponent != last && is_digit(*exponent)) ++exponent;
      p = exponent;
    }
  }
  const std::string text(first, p);
  double parsed;
  {
    const CLocaleScope c_locale;
    parsed = std::strtod(text.c_str(), nullptr);
  }
  if (std::isinf(parsed) || (parsed == 0 && nonzero)) return {p, std::errc::result_out_of_range};
  value = parsed;
  return {p, std::errc()};
}

void append_double_by_c_library(std::string& out, double value) {
  if (append_special(out, value)) return;
  const double magnitude = std::fabs(value);
  if (magnitude == 0) {
    out += '0';
    return;
  }
  const CLocaleScope c_locale;
  const Decimal decimal = shortest_decimal(magnitude);
  if (fixed_length(decimal) <= scientific_length(decimal)) {
    append_fixed(out, decimal, magnitude);
  } else {
    append_scientific(out, decimal);
  }
}

void append_double_scientific_by_c_library(std::string& out, double value) {
  if (append_special(out, value)) return;
  const double magnitude = std::fabs(value);
  if (magnitude == 0) {
    out += "0e+00";
    return;
  }
  const CLocaleScope c_locale;
  append_scientific(out, shortest_decimal(magnitude));
}
#endif

#if defined(__APPLE__)

std::from_chars_result read_double(const char* first, const char* last, double& value) {
  return read_double_by_c_library(first, last, value);
}

void append_double(std::string& out, double value) { append_double_by_c_library(out, value); }

void append_double_scientific(std::string& out, double value) { append_double_scientific_by_c_library(out, value); }

#else

std::from_chars_result read_double(const char* first, const char* last, double& value) {
  return std::from_chars(first, last, value);
}

void append_double(std::string& out, double value) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  out.append(text, written.ptr);
}

void append_double_scientific(std::string& out, double value) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
  out.append(text, written.ptr);
}

#endif

}  // namespace zorv::text
