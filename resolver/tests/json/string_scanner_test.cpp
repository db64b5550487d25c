// The block scan of string literals against the byte-by-byte scan it must
// agree with exactly, on random literals built from the bytes that matter
// (quotes, backslashes and what follows them, control characters, UTF-8
// lead and continuation bytes), at every alignment across block edges.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "json/json_string_scanner.h"
#include "text/utf8_validation.h"

namespace zorv::wire {
namespace {

std::string random_literal(std::mt19937& random) {
  // Pieces the block scan handles itself, then pieces it leaves to the
  // precise scan; half of the literals draw from the first kind only.
  static const std::string pieces[] = {"a",
                                       "z",
                                       "\"",
                                       "\\\\",
                                       "\\\"",
                                       "\\n",
                                       "\\t",
                                       "\\/",
                                       "\\\\\\",
                                       "\x7f",
                                       "\xc3\xa9",
                                       "\xe2\x82\xac",
                                       "\xf0\x9f\x98\x80",
                                       " ",
                                       "\\u00e9",
                                       "\\ud83d\\ude00",
                                       "\\u0022",
                                       "\\u005C",
                                       "\\uFFFF",
                                       "\\uDBFF\\uDFFF",
                                       "\\ud800",
                                       "\\udc00",
                                       "\\ud800\\u0041",
                                       "\\ud800\\n",
                                       "\\u12g4",
                                       "\\u00",
                                       "\\x",
                                       "\\",
                                       "\x01",
                                       "\x1f",
                                       "\xc3",
                                       "\xff",
                                       "\xed\xa0\x80"};
  constexpr size_t kHandled = 20;
  const size_t choices = random() % 2 ? kHandled : std::size(pieces);
  std::string text = "\"";
  const size_t length = random() % 160;
  for (size_t i = 0; i < length; ++i) {
    // Mostly plain text, as in real packs, with the interesting bytes mixed in.
    text += random() % 3 ? std::string(1 + random() % 20, 'a' + static_cast<char>(random() % 26))
                         : pieces[random() % choices];
  }
  if (random() % 4) text += '"';
  if (random() % 2) text += std::string(random() % 80, 'x');
  return text;
}

// Bytes outside printable ASCII as \xNN, so a failing literal prints whole.
std::string shown(const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7f) {
      out += ch;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

TEST(StringScanner, BlockScanAgreesWithThePreciseScan) {
  std::mt19937 random(20261208);
  size_t accepted = 0;
  for (int round = 0; round < 200000; ++round) {
    const std::string literal = random_literal(random);
    const std::string text = std::string(random() % 64, ' ') + literal;
    const size_t open_quote = text.size() - literal.size();
    json::RawJsonString fast_raw, precise_raw;
    size_t fast_end = 0, precise_end = 0;
    text::Fault fast_fault, precise_fault;
    const bool fast = json::scan_string(text, open_quote, fast_raw, fast_end, fast_fault);
    const bool precise = json::scan_string_precisely(text, open_quote, precise_raw, precise_end, precise_fault);
    ASSERT_EQ(fast, precise) << shown(text);
    // A reader that checked the whole text's UTF-8 first scans the same way.
    if (text::is_valid_utf8(text)) {
      json::RawJsonString known_raw;
      size_t known_end = 0;
      text::Fault known_fault;
      ASSERT_EQ(json::scan_string(text, open_quote, known_raw, known_end, known_fault, true), precise) << shown(text);
      if (precise) ASSERT_EQ(known_end, precise_end);
    }
    if (precise) {
      ++accepted;
      ASSERT_EQ(fast_raw.content.data(), precise_raw.content.data());
      ASSERT_EQ(fast_raw.content.size(), precise_raw.content.size()) << shown(text);
      ASSERT_EQ(fast_raw.has_escapes, precise_raw.has_escapes) << shown(text);
      ASSERT_EQ(fast_end, precise_end);
    } else {
      ASSERT_EQ(fast_fault.code, precise_fault.code);
      ASSERT_EQ(fast_fault.detail, precise_fault.detail);
      ASSERT_EQ(fast_fault.offset, precise_fault.offset);
    }
  }
  // Both outcomes must be well represented for the comparison to mean much.
  EXPECT_GT(accepted, 20000u);
  EXPECT_LT(accepted, 180000u);
}

}  // namespace
}  // namespace zorv::wire
