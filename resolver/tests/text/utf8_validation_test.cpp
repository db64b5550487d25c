// UTF-8 validation against Python's own decoder (utf8_vectors.txt, made by
// make_utf8_vectors.py), and the vector check against the portable one on
// random text around the block edges.
#include "text/utf8_validation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>

namespace zorv::text {
namespace {

std::string from_hex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

std::string printable(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) (hex += digits[c >> 4]) += digits[c & 15];
  return hex;
}

TEST(Utf8Validation, AgreesWithPythonsDecoder) {
  std::ifstream in(ZORV_UTF8_VECTORS);
  ASSERT_TRUE(in) << ZORV_UTF8_VECTORS;
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    const bool valid = line[0] == '1';
    const std::string bytes = from_hex(line.substr(2));
    EXPECT_EQ(is_valid_utf8(bytes), valid) << printable(bytes);
    EXPECT_EQ(is_valid_utf8_portably(bytes), valid) << printable(bytes);
    EXPECT_EQ(first_invalid_utf8(bytes) == bytes.size(), valid) << printable(bytes);
    ++count;
  }
  EXPECT_GT(count, 6000);
}

// An empty view with no data behind it is valid text, and reading it must
// not touch the null pointer (the sanitizer build checks that).
TEST(Utf8Validation, EmptyViewWithoutDataIsValid) {
  EXPECT_TRUE(is_valid_utf8(std::string_view()));
  EXPECT_TRUE(is_valid_utf8_portably(std::string_view()));
}

// Random bytes drawn mostly from lead and continuation bytes, so that every
// kind of sequence meets every position in a 32-byte block.
TEST(Utf8Validation, VectorCheckAgreesWithPortableCheck) {
  std::mt19937 random(7);
  const unsigned char alphabet[] = {'a',  0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0,
                                    0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  for (int round = 0; round < 200000; ++round) {
    std::string bytes(random() % 100, 'a');
    const std::size_t changes = random() % 4;
    for (std::size_t i = 0; i < changes && !bytes.empty(); ++i) {
      bytes[random() % bytes.size()] = static_cast<char>(alphabet[random() % sizeof alphabet]);
    }
    ASSERT_EQ(is_valid_utf8(bytes), is_valid_utf8_portably(bytes)) << printable(bytes);
  }
}

}  // namespace
}  // namespace zorv::text
