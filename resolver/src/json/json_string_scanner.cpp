#include "json/json_string_scanner.h"

#include "text/utf8_validation.h"
#include "text/utf8.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace zorv::json {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads four hex digits at text[pos]. On a bad or missing digit sets
// `fault` and returns false.
bool read_hex4(std::string_view text, size_t pos, unsigned& value, text::Fault& fault) {
  value = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (pos + i >= text.size()) {
      fault = {text::FaultCode::json_syntax, text.size(), "EOF while parsing a string"};
      return false;
    }
    const int digit = hex_value(text[pos + i]);
    if (digit < 0) {
      fault = {text::FaultCode::json_syntax, pos + i + 1, "invalid escape"};
      return false;
    }
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return true;
}

// Validates the escape whose backslash is at text[pos]; sets `next` to the
// offset after it.
bool scan_escape(std::string_view text, size_t pos, size_t& next, text::Fault& fault) {
  if (pos + 1 >= text.size()) {
    fault = {text::FaultCode::json_syntax, text.size(), "EOF while parsing a string"};
    return false;
  }
  switch (text[pos + 1]) {
    case '"':
    case '\\':
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't':
      next = pos + 2;
      return true;
    case 'u':
      break;
    default:
      fault = {text::FaultCode::json_syntax, pos + 2, "invalid escape"};
      return false;
  }
  unsigned unit = 0;
  if (!read_hex4(text, pos + 2, unit, fault)) return false;
  next = pos + 6;
  if (unit >= 0xDC00 && unit <= 0xDFFF) {
    fault = {text::FaultCode::json_syntax, next, "lone trailing surrogate in hex escape"};
    return false;
  }
  if (unit < 0xD800 || unit > 0xDBFF) return true;
  // A leading surrogate must be followed at once by an escaped trailing one.
  if (next + 1 >= text.size() || text[next] != '\\' || text[next + 1] != 'u') {
    if (next >= text.size()) {
      fault = {text::FaultCode::json_syntax, text.size(), "EOF while parsing a string"};
    } else {
      fault = {text::FaultCode::json_syntax, next, "lone leading surrogate in hex escape"};
    }
    return false;
  }
  unsigned trailing = 0;
  if (!read_hex4(text, next + 2, trailing, fault)) return false;
  if (trailing < 0xDC00 || trailing > 0xDFFF) {
    fault = {text::FaultCode::json_syntax, next + 6, "lone leading surrogate in hex escape"};
    return false;
  }
  next += 6;
  return true;
}

// Offset of the next byte at or after `pos` that is a quote, a backslash or
// below U+0020; ORs the high bits of the bytes skipped into `high_bits`.
size_t find_special(std::string_view text, size_t pos, unsigned& high_bits) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i control_max = _mm_set1_epi8(0x1F);
  while (pos + 16 <= size) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
    const __m128i is_control = _mm_cmpeq_epi8(_mm_max_epu8(chunk, control_max), control_max);
    const __m128i special =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, backslash)), is_control);
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(chunk));
    if (mask != 0) {
      const unsigned first = static_cast<unsigned>(std::countr_zero(mask));
      high_bits |= high & ((1u << first) - 1);
      return pos + first;
    }
    high_bits |= high;
    pos += 16;
  }
#endif
  for (; pos < size; ++pos) {
    const unsigned char c = bytes[pos];
    if (c == '"' || c == '\\' || c < 0x20) return pos;
    high_bits |= c & 0x80;
  }
  return pos;
}

unsigned hex4(const char* digits) {
  unsigned value = 0;
  for (int i = 0; i < 4; ++i) value = value * 16 + static_cast<unsigned>(hex_value(digits[i]));
  return value;
}

}  // namespace

bool scan_string_precisely(std::string_view text, size_t open_quote, RawJsonString& raw, size_t& end,
                           text::Fault& fault) {
  const size_t content_start = open_quote + 1;
  size_t pos = content_start;
  unsigned high_bits = 0;
  bool has_escapes = false;
  // UTF-8 is checked over the spans between escapes once the literal (or the
  // first fault in it) has been found, so a fault reported here is always the
  // first one in text order.
  const auto utf8_fault_before = [&](size_t limit) {
    if (high_bits == 0) return false;
    const std::string_view span = text.substr(content_start, limit - content_start);
    if (text::is_valid_utf8(span)) return false;
    fault = {text::FaultCode::not_utf8, content_start + text::first_invalid_utf8(span) + 1,
             "invalid unicode code point"};
    return true;
  };
  for (;;) {
    pos = find_special(text, pos, high_bits);
    if (pos >= text.size()) {
      if (!utf8_fault_before(text.size()))
        fault = {text::FaultCode::json_syntax, text.size(), "EOF while parsing a string"};
      return false;
    }
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c == '"') break;
    if (c == '\\') {
      has_escapes = true;
      size_t next = 0;
      if (!scan_escape(text, pos, next, fault)) {
        utf8_fault_before(pos);
        return false;
      }
      pos = next;
      continue;
    }
    if (!utf8_fault_before(pos)) {
      fault = {text::FaultCode::json_syntax, pos + 1,
               "control character (\\u0000-\\u001F) found while parsing a string"};
    }
    return false;
  }
  if (utf8_fault_before(pos)) return false;
  raw = {text.substr(content_start, pos - content_start), has_escapes};
  end = pos + 1;
  return true;
}

#if defined(__SSE2__) || defined(_M_X64)
namespace {

// Bit i set where byte i of the 64 bytes at `p` satisfies the comparison.
struct BlockMasks {
  std::uint64_t quote, backslash, control, high;
};

std::uint64_t movemask64(__m128i a, __m128i b, __m128i c, __m128i d) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(a))) |
         static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(b))) << 16 |
         static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(c))) << 32 |
         static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(d))) << 48;
}

template <class Compare>
std::uint64_t mask_of(const __m128i (&chunks)[4], Compare compare) {
  return movemask64(compare(chunks[0]), compare(chunks[1]), compare(chunks[2]), compare(chunks[3]));
}

void load_block(const unsigned char* p, __m128i (&chunks)[4]) {
  for (int i = 0; i < 4; ++i) chunks[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
}

// The bytes that follow an escaping backslash: odd runs of backslashes
// escape the byte after them. `carry` says whether the block starts with an
// escaped byte, and is updated for the next block.
std::uint64_t escaped_bytes(std::uint64_t backslash, std::uint64_t& carry) {
  constexpr std::uint64_t kEvenBits = 0x5555555555555555ULL;
  backslash &= ~carry;
  const std::uint64_t follows_escape = backslash << 1 | carry;
  const std::uint64_t odd_starts = backslash & ~kEvenBits & ~follows_escape;
  const std::uint64_t even_started = odd_starts + backslash;
  carry = even_started < odd_starts ? 1 : 0;
  return (kEvenBits ^ (even_started << 1)) & follows_escape;
}

// Bytes that may follow a backslash without further checks (not 'u').
constexpr std::array<bool, 256> make_simple_escape_table() {
  std::array<bool, 256> table{};
  for (const char c : {'"', '\\', '/', 'b', 'f', 'n', 'r', 't'}) table[static_cast<unsigned char>(c)] = true;
  return table;
}

constexpr std::array<bool, 256> kSimpleEscape = make_simple_escape_table();

// The code unit of the four hex digits at text[pos], or false when the text
// has no four hex digits there.
bool hex4_at(std::string_view text, size_t pos, unsigned& unit) {
  if (pos + 4 > text.size()) return false;
  unit = 0;
  for (size_t i = pos; i < pos + 4; ++i) {
    const int digit = hex_value(text[i]);
    if (digit < 0) return false;
    unit = unit * 16 + static_cast<unsigned>(digit);
  }
  return true;
}

// Checks the escapes whose escaped byte sits at the set bits of `escapes`,
// counted from text[block_start]. A \u escape must have four hex digits,
// and a leading surrogate must be followed at once by an escaped trailing
// one; `paired_at` remembers where that trailing escape's 'u' is, since its
// bits may come in the next block. Any fault is left to the precise scan.
bool escapes_are_valid(std::string_view text, size_t block_start, std::uint64_t escapes, size_t& paired_at) {
  for (; escapes != 0; escapes &= escapes - 1) {
    const size_t at = block_start + static_cast<size_t>(std::countr_zero(escapes));
    const auto kind = static_cast<unsigned char>(text[at]);
    if (kSimpleEscape[kind] || at == paired_at) continue;
    unsigned unit = 0;
    if (kind != 'u' || !hex4_at(text, at + 1, unit) || (unit >= 0xDC00 && unit <= 0xDFFF)) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      unsigned trailing = 0;
      if (at + 6 >= text.size() || text[at + 5] != '\\' || text[at + 6] != 'u' || !hex4_at(text, at + 7, trailing) ||
          trailing < 0xDC00 || trailing > 0xDFFF) {
        return false;
      }
      paired_at = at + 6;
    }
  }
  return true;
}

// Scans 64 bytes at a time. Succeeds for every valid literal, escapes of
// every kind included; a literal with a fault is left to the precise scan,
// which finds the first fault in text order.
bool scan_string_quickly(std::string_view text, size_t open_quote, RawJsonString& raw, size_t& end, bool text_is_utf8) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t content_start = open_quote + 1;
  // Most keys and control identifiers are short and plain: one 32-byte look
  // settles them when their closing quote comes before any backslash or
  // control character.
  if (content_start + 32 <= text.size()) {
    const __m128i max = _mm_set1_epi8(0x1F);
    std::uint32_t special = 0, quotes = 0, high = 0;
    for (int half = 0; half < 2; ++half) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + content_start + 16 * half));
      const auto mask = [&](__m128i v) { return static_cast<std::uint32_t>(_mm_movemask_epi8(v)) << (16 * half); };
      special |=
          mask(_mm_or_si128(_mm_cmpeq_epi8(_mm_max_epu8(chunk, max), max), _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\\'))));
      quotes |= mask(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('"')));
      high |= mask(chunk);
    }
    const std::uint32_t before_quote = (quotes & (0 - quotes)) - 1;
    if (quotes != 0 && (special & before_quote) == 0) {
      const size_t length = static_cast<size_t>(std::countr_zero(quotes));
      const std::string_view content = text.substr(content_start, length);
      if (!text_is_utf8 && (high & before_quote) != 0 && text::first_invalid_utf8(content) != content.size()) {
        return false;
      }
      raw = {content, false};
      end = content_start + length + 1;
      return true;
    }
  }
  std::uint64_t carry = 0;
  size_t paired_at = 0;  // never an escaped byte: those follow the opening quote
  bool has_escapes = false, has_high = false;
  alignas(16) unsigned char tail[64];
  for (size_t pos = content_start; pos < text.size(); pos += 64) {
    const unsigned char* block = bytes + pos;
    if (pos + 64 > text.size()) {
      // Zero padding reads as control characters, so a literal that does
      // not end inside the text is declined.
      std::fill(std::copy(block, bytes + text.size(), tail), tail + 64, 0);
      block = tail;
    }
    __m128i chunks[4];
    load_block(block, chunks);
    const std::uint64_t escaped =
        escaped_bytes(mask_of(chunks, [](__m128i v) { return _mm_cmpeq_epi8(v, _mm_set1_epi8('\\')); }), carry);
    const std::uint64_t quotes =
        mask_of(chunks, [](__m128i v) { return _mm_cmpeq_epi8(v, _mm_set1_epi8('"')); }) & ~escaped;
    const std::uint64_t before_end = quotes ? (quotes & (0 - quotes)) - 1 : ~std::uint64_t{0};
    const std::uint64_t control = mask_of(chunks, [](__m128i v) {
      const __m128i max = _mm_set1_epi8(0x1F);
      return _mm_cmpeq_epi8(_mm_max_epu8(v, max), max);
    });
    if (control & before_end) return false;
    // A backslash escaping the closing quote's successor cannot occur: the
    // quote would then be escaped itself.
    if (const std::uint64_t escapes = escaped & before_end) {
      if (!escapes_are_valid(text, pos, escapes, paired_at)) return false;
      has_escapes = true;
    }
    has_high |= (movemask64(chunks[0], chunks[1], chunks[2], chunks[3]) & before_end) != 0;
    if (quotes) {
      const size_t close = pos + static_cast<size_t>(std::countr_zero(quotes));
      const std::string_view content = text.substr(content_start, close - content_start);
      if (has_high && !text_is_utf8 && !text::is_valid_utf8(content)) return false;
      raw = {content, has_escapes};
      end = close + 1;
      return true;
    }
  }
  return false;
}

}  // namespace
#endif

bool scan_string(std::string_view text, size_t open_quote, RawJsonString& raw, size_t& end, text::Fault& fault,
                 bool text_is_utf8) {
#if defined(__SSE2__) || defined(_M_X64)
  if (scan_string_quickly(text, open_quote, raw, end, text_is_utf8)) return true;
#else
  (void)text_is_utf8;
#endif
  return scan_string_precisely(text, open_quote, raw, end, fault);
}

void append_unescaped(std::string& out, RawJsonString raw) {
  const std::string_view content = raw.content;
  if (!raw.has_escapes) {
    out.append(content);
    return;
  }
  size_t run_start = 0;
  size_t pos = content.find('\\');
  while (pos != std::string_view::npos) {
    out.append(content, run_start, pos - run_start);
    const char kind = content[pos + 1];
    size_t next = pos + 2;
    switch (kind) {
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'u': {
        unsigned code_point = hex4(content.data() + pos + 2);
        next = pos + 6;
        if (code_point >= 0xD800 && code_point <= 0xDBFF) {
          const unsigned trailing = hex4(content.data() + pos + 8);
          code_point = 0x10000 + ((code_point - 0xD800) << 10) + (trailing - 0xDC00);
          next = pos + 12;
        }
        text::append_utf8(out, code_point);
        break;
      }
      default:
        out += kind;
        break;  // '"', '\\' and '/' stand for themselves
    }
    run_start = next;
    pos = content.find('\\', next);
  }
  out.append(content, run_start, content.size() - run_start);
}

std::string unescaped(RawJsonString raw) {
  std::string out;
  out.reserve(raw.content.size());
  append_unescaped(out, raw);
  return out;
}

}  // namespace zorv::json
