#include "wire/json_string_scanner.h"

#include <simdjson.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorv::wire {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads four hex digits at text[pos]. On a bad or missing digit sets
// `fault` and returns false.
bool read_hex4(std::string_view text, size_t pos, unsigned& value, JsonFault& fault) {
  value = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (pos + i >= text.size()) {
      fault = {"EOF while parsing a string", text.size()};
      return false;
    }
    const int digit = hex_value(text[pos + i]);
    if (digit < 0) {
      fault = {"invalid escape", pos + i + 1};
      return false;
    }
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return true;
}

// Validates the escape whose backslash is at text[pos]; sets `next` to the
// offset after it.
bool scan_escape(std::string_view text, size_t pos, size_t& next, JsonFault& fault) {
  if (pos + 1 >= text.size()) {
    fault = {"EOF while parsing a string", text.size()};
    return false;
  }
  switch (text[pos + 1]) {
    case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't':
      next = pos + 2;
      return true;
    case 'u':
      break;
    default:
      fault = {"invalid escape", pos + 2};
      return false;
  }
  unsigned unit = 0;
  if (!read_hex4(text, pos + 2, unit, fault)) return false;
  next = pos + 6;
  if (unit >= 0xDC00 && unit <= 0xDFFF) {
    fault = {"lone trailing surrogate in hex escape", next};
    return false;
  }
  if (unit < 0xD800 || unit > 0xDBFF) return true;
  // A leading surrogate must be followed at once by an escaped trailing one.
  if (next + 1 >= text.size() || text[next] != '\\' || text[next + 1] != 'u') {
    if (next >= text.size()) {
      fault = {"EOF while parsing a string", text.size()};
    } else {
      fault = {"lone leading surrogate in hex escape", next};
    }
    return false;
  }
  unsigned trailing = 0;
  if (!read_hex4(text, next + 2, trailing, fault)) return false;
  if (trailing < 0xDC00 || trailing > 0xDFFF) {
    fault = {"lone leading surrogate in hex escape", next + 6};
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
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i control_max = _mm_set1_epi8(0x1F);
  while (pos + 16 <= size) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
    const __m128i is_control = _mm_cmpeq_epi8(_mm_max_epu8(chunk, control_max), control_max);
    const __m128i special = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(chunk, quote), _mm_cmpeq_epi8(chunk, backslash)), is_control);
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(chunk));
    if (mask != 0) {
      const unsigned first = static_cast<unsigned>(__builtin_ctz(mask));
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

void append_utf8(std::string& out, unsigned code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

unsigned hex4(const char* digits) {
  unsigned value = 0;
  for (int i = 0; i < 4; ++i) value = value * 16 + static_cast<unsigned>(hex_value(digits[i]));
  return value;
}

}  // namespace

size_t first_invalid_utf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  size_t pos = 0;
  while (pos < size) {
    const unsigned char lead = bytes[pos];
    if (lead < 0x80) {
      ++pos;
      continue;
    }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;  // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return pos;
    }
    if (pos + 1 >= size || bytes[pos + 1] < low || bytes[pos + 1] > high) return pos;
    for (size_t i = 2; i < length; ++i) {
      if (pos + i >= size || bytes[pos + i] < 0x80 || bytes[pos + i] > 0xBF) return pos;
    }
    pos += length;
  }
  return size;
}

bool scan_string(std::string_view text, size_t open_quote, RawJsonString& raw, size_t& end,
                 JsonFault& fault) {
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
    if (simdjson::validate_utf8(span.data(), span.size())) return false;
    fault = {"invalid unicode code point", content_start + first_invalid_utf8(span) + 1};
    return true;
  };
  for (;;) {
    pos = find_special(text, pos, high_bits);
    if (pos >= text.size()) {
      if (!utf8_fault_before(text.size())) fault = {"EOF while parsing a string", text.size()};
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
      fault = {"control character (\\u0000-\\u001F) found while parsing a string", pos + 1};
    }
    return false;
  }
  if (utf8_fault_before(pos)) return false;
  raw = {text.substr(content_start, pos - content_start), has_escapes};
  end = pos + 1;
  return true;
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
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        unsigned code_point = hex4(content.data() + pos + 2);
        next = pos + 6;
        if (code_point >= 0xD800 && code_point <= 0xDBFF) {
          const unsigned trailing = hex4(content.data() + pos + 8);
          code_point = 0x10000 + ((code_point - 0xD800) << 10) + (trailing - 0xDC00);
          next = pos + 12;
        }
        append_utf8(out, code_point);
        break;
      }
      default: out += kind; break;  // '"', '\\' and '/' stand for themselves
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

}  // namespace zorv::wire
