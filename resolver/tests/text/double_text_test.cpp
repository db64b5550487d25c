// Doubles as text through the C library (the path Apple platforms take)
// held to std::to_chars and std::from_chars: edge values, every power of
// two, random bit patterns and random decimal texts, and a decimal-comma
// locale that must not leak into either direction.
#include "text/double_text.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

namespace zorv::text {
namespace {

std::string std_shortest(double value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string std_scientific(double value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr);
}

std::string c_library_shortest(double value) {
  std::string out;
  append_double_by_c_library(out, value);
  return out;
}

std::string c_library_scientific(double value) {
  std::string out;
  append_double_scientific_by_c_library(out, value);
  return out;
}

double from_bits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::uint64_t bits_of(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

struct WrittenRow {
  double value;
  const char* shortest;
  const char* scientific;
};

TEST(DoubleText, WritesEdgeValuesAsTheStdCallsDo) {
  const double kMax = std::numeric_limits<double>::max();
  const double kMinNormal = std::numeric_limits<double>::min();
  const double kTrueMin = std::numeric_limits<double>::denorm_min();
  const WrittenRow rows[] = {
      {0.0, "0", "0e+00"},
      {-0.0, "-0", "-0e+00"},
      {0.1, "0.1", "1e-01"},
      {-1.5, "-1.5", "-1.5e+00"},
      {1.0, "1", "1e+00"},
      {100.0, "100", "1e+02"},
      {10000.0, "10000", "1e+04"},
      {100000.0, "1e+05", "1e+05"},
      {0.001, "0.001", "1e-03"},
      {0.0001, "1e-04", "1e-04"},
      {123456.789, "123456.789", "1.23456789e+05"},
      {1e21, "1e+21", "1e+21"},
      {1e23, "1e+23", "1e+23"},
      {9007199254740992.0, "9007199254740992", "9.007199254740992e+15"},
      {9007199254740993.0, "9007199254740992", "9.007199254740992e+15"},
      {9007199254740994.0, "9007199254740994", "9.007199254740994e+15"},
      {18446744073709551616.0, "18446744073709551616", "1.8446744073709552e+19"},
      {kMax, "1.7976931348623157e+308", "1.7976931348623157e+308"},
      {-kMax, "-1.7976931348623157e+308", "-1.7976931348623157e+308"},
      {kMinNormal, "2.2250738585072014e-308", "2.2250738585072014e-308"},
      {kTrueMin, "5e-324", "5e-324"},
      {from_bits(0x000FFFFFFFFFFFFF), "2.225073858507201e-308", "2.225073858507201e-308"},
      {std::ldexp(1.0, -1000), "9.332636185032189e-302", "9.332636185032189e-302"},
      {std::ldexp(1.0, 1000), "1.0715086071862673e+301", "1.0715086071862673e+301"},
      {std::ldexp(1.0, 67), "147573952589676412928", "1.4757395258967641e+20"},
      {1e-7, "1e-07", "1e-07"},
      {1e100, "1e+100", "1e+100"},
      {std::numeric_limits<double>::infinity(), "inf", "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf", "-inf"},
  };
  for (const WrittenRow& row : rows) {
    SCOPED_TRACE(row.shortest);
    EXPECT_EQ(std_shortest(row.value), row.shortest);
    EXPECT_EQ(std_scientific(row.value), row.scientific);
    EXPECT_EQ(c_library_shortest(row.value), row.shortest);
    EXPECT_EQ(c_library_scientific(row.value), row.scientific);
    std::string through_layer;
    append_double(through_layer, row.value);
    EXPECT_EQ(through_layer, row.shortest);
  }
}

// Every power of two, where the rounding interval is lopsided (the double
// below is half as far as the one above).
TEST(DoubleText, WritesEveryPowerOfTwoAsTheStdCallsDo) {
  for (int exponent = -1074; exponent <= 1023; ++exponent) {
    const double value = std::ldexp(1.0, exponent);
    ASSERT_EQ(c_library_shortest(value), std_shortest(value)) << "2^" << exponent;
    ASSERT_EQ(c_library_scientific(value), std_scientific(value)) << "2^" << exponent;
  }
}

TEST(DoubleText, WritesRandomDoublesAsTheStdCallsDo) {
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> whole(0x1p53, 0x1p75);
  for (int i = 0; i < 300000; ++i) {
    // Mostly any bit pattern; every fourth a large whole number, where the
    // fixed form shows the double's own digits.
    const double value = i % 4 == 3 ? whole(random) : from_bits(random());
    if (std::isnan(value)) continue;
    ASSERT_EQ(c_library_shortest(value), std_shortest(value)) << std::hex << bits_of(value);
    ASSERT_EQ(c_library_scientific(value), std_scientific(value)) << std::hex << bits_of(value);
  }
}

struct ReadRow {
  const char* text;
  std::size_t consumed;
  std::errc error;
  double value;  // what the read leaves: 7 when it leaves the value alone
};

TEST(DoubleText, ReadsEdgeTextsAsFromCharsDoes) {
  const ReadRow rows[] = {
      {"0.1", 3, std::errc(), 0.1},
      {"-0", 2, std::errc(), -0.0},
      {"5e-324", 6, std::errc(), 5e-324},
      {"2.4703282292062328e-324", 23, std::errc(), 5e-324},
      {"1.7976931348623157e308", 22, std::errc(), std::numeric_limits<double>::max()},
      {"1.7976931348623159e308", 22, std::errc::result_out_of_range, 7},
      {"1e400", 5, std::errc::result_out_of_range, 7},
      {"1e-400", 6, std::errc::result_out_of_range, 7},
      {"0e-400", 6, std::errc(), 0.0},
      {"9007199254740993", 16, std::errc(), 9007199254740992.0},
      {"9007199254740993.000000000000000000001", 38, std::errc(), 9007199254740994.0},
      {"1e", 1, std::errc(), 1.0},
      {"1e+", 1, std::errc(), 1.0},
      {"1.", 2, std::errc(), 1.0},
      {".5", 2, std::errc(), 0.5},
      {"1.5x", 3, std::errc(), 1.5},
      {"-", 0, std::errc::invalid_argument, 7},
      {".", 0, std::errc::invalid_argument, 7},
      {"x", 0, std::errc::invalid_argument, 7},
      {"", 0, std::errc::invalid_argument, 7},
  };
  for (const ReadRow& row : rows) {
    SCOPED_TRACE(row.text);
    const char* last = row.text + std::strlen(row.text);
    double from_std = 7;
    const auto std_result = std::from_chars(row.text, last, from_std);
    double from_c_library = 7;
    const auto c_library_result = read_double_by_c_library(row.text, last, from_c_library);
    EXPECT_EQ(static_cast<std::size_t>(std_result.ptr - row.text), row.consumed);
    EXPECT_EQ(std_result.ec, row.error);
    EXPECT_EQ(bits_of(from_std), bits_of(row.value));
    EXPECT_EQ(static_cast<std::size_t>(c_library_result.ptr - row.text), row.consumed);
    EXPECT_EQ(c_library_result.ec, row.error);
    EXPECT_EQ(bits_of(from_c_library), bits_of(row.value));
  }
}

std::string random_decimal(std::mt19937_64& random) {
  const auto digits = [&](std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += static_cast<char>('0' + random() % 10);
    return out;
  };
  std::string text;
  if (random() % 2) text += '-';
  // Now and then a long mantissa, where correct rounding needs every digit.
  const std::size_t length = random() % 50 == 0 ? 200 + random() % 600 : random() % 20;
  text += digits(length);
  if (random() % 2) text += "." + digits(random() % 20);
  if (random() % 3) {
    text += random() % 2 ? 'e' : 'E';
    const auto sign = random() % 3;
    if (sign == 1) text += '+';
    if (sign == 2) text += '-';
    text += std::to_string(random() % 360);
  }
  static const char* const kTails[] = {"", "", "", "", "x", "e", "e+", ".", "-1"};
  text += kTails[random() % 9];
  return text;
}

TEST(DoubleText, ReadsRandomDecimalTextsAsFromCharsDoes) {
  std::mt19937_64 random(9122026);
  for (int i = 0; i < 200000; ++i) {
    const std::string text = random_decimal(random);
    const char* first = text.data();
    const char* last = first + text.size();
    double from_std = 7;
    double from_c_library = 7;
    const auto std_result = std::from_chars(first, last, from_std);
    const auto c_library_result = read_double_by_c_library(first, last, from_c_library);
    ASSERT_EQ(c_library_result.ptr - first, std_result.ptr - first) << text;
    ASSERT_EQ(c_library_result.ec, std_result.ec) << text;
    ASSERT_EQ(bits_of(from_c_library), bits_of(from_std)) << text;
  }
}

// A locale whose decimal point is a comma, for the calling thread only:
// an installed one, else one compiled from the system's sources with
// localedef into a folder of its own. Null when neither can be had.
locale_t decimal_comma_locale() {
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (const locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0))) return locale;
  }
  // Compiled once and kept for later runs (asked for before it exists, the
  // C library would remember that it did not).
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zorv_double_text_locales";
  const std::filesystem::path compiled = folder / "de_DE.UTF-8";
  if (!std::filesystem::exists(compiled)) {
    std::filesystem::create_directories(folder);
    const std::string command = "localedef -i de_DE -f UTF-8 '" + compiled.string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return static_cast<locale_t>(0);
  }
  setenv("LOCPATH", folder.c_str(), 1);
  const locale_t locale = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
  unsetenv("LOCPATH");
  return locale;
}

TEST(DoubleText, IgnoresTheThreadsDecimalComma) {
  const locale_t comma = decimal_comma_locale();
  if (comma == static_cast<locale_t>(0)) GTEST_SKIP() << "no locale with a decimal comma here";
  const locale_t previous = uselocale(comma);
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  const std::string seen_by_printf = probe;

  double read = 0;
  const char text[] = "2.5e-1";
  const auto result = read_double_by_c_library(text, text + 6, read);
  const std::string written = c_library_shortest(1234.5) + " " + c_library_scientific(0.25);
  const bool restored = uselocale(static_cast<locale_t>(0)) == comma;

  uselocale(previous);
  freelocale(comma);
  ASSERT_EQ(seen_by_printf, "0,5");  // the locale really has a decimal comma
  EXPECT_EQ(result.ptr, text + 6);
  EXPECT_EQ(read, 0.25);
  EXPECT_EQ(written, "1234.5 2.5e-01");
  EXPECT_TRUE(restored);
}

}  // namespace
}  // namespace zorv::text
