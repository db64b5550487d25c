// The string, escape and comment grammar of the TOML reader: basic and
// literal strings, single- and multi-line, with escapes decoded once into
// the document, and comments checked for what they may not hold.
#include "toml/toml_reader.h"

#include <bit>
#include <utility>

#include "text/utf8.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace zorv::toml {

namespace {

int hex_value(char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

// Whether byte `c` needs a look of its own inside a string or comment closed
// by `stop` ('"', '\'' or '#' for comments): a control character, DEL, a
// non-ASCII byte, the closing quote, or (basic strings) a backslash.
bool is_special(unsigned char c, char stop) {
  return c < 0x20 || c >= 0x7F || c == static_cast<unsigned char>(stop) || (stop == '"' && c == '\\');
}

// The first offset from `pos` on whose byte is special, or text.size().
// Plain text, nearly all of a pack, is passed over 16 bytes at a time.
std::size_t skip_plain(std::string_view text, std::size_t pos, char stop) {
#if defined(__SSE2__) || defined(_M_X64)
  const __m128i space = _mm_set1_epi8(0x20);
  const __m128i del = _mm_set1_epi8(0x7F);
  const __m128i quote = _mm_set1_epi8(stop == '#' ? 0x7F : stop);
  const __m128i backslash = _mm_set1_epi8(stop == '"' ? '\\' : 0x7F);
  while (pos + 16 <= text.size()) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
    // As signed bytes, the non-ASCII ones are negative, so "below space"
    // catches them with the control characters.
    const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(block, space), _mm_cmpeq_epi8(block, del)),
                                         _mm_or_si128(_mm_cmpeq_epi8(block, quote), _mm_cmpeq_epi8(block, backslash)));
    const int mask = _mm_movemask_epi8(special);
    if (mask != 0) return pos + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(mask)));
    pos += 16;
  }
#endif
  while (pos < text.size() && !is_special(static_cast<unsigned char>(text[pos]), stop)) ++pos;
  return pos;
}

}  // namespace

bool TomlReader::string_char(bool multiline) {
  const unsigned char c = static_cast<unsigned char>(text_[pos_]);
  if (c >= 0x80) {
    const std::size_t length = text::utf8_sequence_length(text_, pos_);
    if (length == 0) return fail(text::FaultCode::not_utf8, pos_, "invalid UTF-8");
    pos_ += length;
    return true;
  }
  if ((c < 0x20 && c != '\t' && !(multiline && at_newline())) || c == 0x7F) {
    return fail(text::FaultCode::toml_syntax, pos_, "control character not allowed here");
  }
  if (multiline && at_newline()) {
    consume_newline();
  } else {
    ++pos_;
  }
  return true;
}

bool TomlReader::skip_comment() {
  if (peek() != '#') return true;
  ++pos_;
  for (;;) {
    pos_ = skip_plain(text_, pos_, '#');
    if (at_end() || text_[pos_] == '\n' || (text_[pos_] == '\r' && peek(1) == '\n')) return true;
    if (!string_char(false)) return false;
  }
}

bool TomlReader::read_string_text(std::string_view& out, bool allow_multiline) {
  const char quote = peek();
  const bool multiline = peek(1) == quote && peek(2) == quote;
  if (multiline && !allow_multiline)
    return fail(text::FaultCode::toml_syntax, pos_, "a key cannot be a multi-line string");
  return quote == '"' ? read_basic_string(out, multiline) : read_literal_string(out, multiline);
}

bool TomlReader::read_escape(std::string& out) {
  const std::size_t at = pos_;
  const char kind = peek(1);
  pos_ += 2;
  switch (kind) {
    case 'b':
      out += '\b';
      return true;
    case 't':
      out += '\t';
      return true;
    case 'n':
      out += '\n';
      return true;
    case 'f':
      out += '\f';
      return true;
    case 'r':
      out += '\r';
      return true;
    case '"':
      out += '"';
      return true;
    case '\\':
      out += '\\';
      return true;
    case 'u':
    case 'U': {
      const std::size_t digits = kind == 'u' ? 4 : 8;
      std::uint32_t code_point = 0;
      for (std::size_t i = 0; i < digits; ++i) {
        if (!is_hex(peek())) return fail(text::FaultCode::toml_syntax, at, "invalid unicode escape");
        code_point = code_point * 16 + static_cast<std::uint32_t>(hex_value(text_[pos_++]));
      }
      if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
        return fail(text::FaultCode::toml_syntax, at, "unicode escape is not a scalar value");
      }
      text::append_utf8(out, code_point);
      return true;
    }
    default:
      return fail(text::FaultCode::toml_syntax, at, "invalid escape");
  }
}

bool TomlReader::read_basic_string(std::string_view& out, bool multiline) {
  const std::size_t open = pos_;
  pos_ += multiline ? 3 : 1;
  if (multiline && at_newline()) consume_newline();
  const std::size_t start = pos_;
  std::string decoded;
  bool escaped = false;
  for (;;) {
    const std::size_t run = skip_plain(text_, pos_, '"');
    if (escaped) decoded.append(text_.substr(pos_, run - pos_));
    pos_ = run;
    if (at_end()) return fail(text::FaultCode::toml_syntax, open, "unterminated string");
    const char c = text_[pos_];
    if (c == '"') {
      if (!multiline) break;
      std::size_t quotes = 0;
      while (peek(quotes) == '"') ++quotes;
      if (quotes >= 3) {
        if (quotes > 5)
          return fail(text::FaultCode::toml_syntax, pos_ + 5, "too many quotation marks closing a multi-line string");
        if (escaped) decoded.append(quotes - 3, '"');
        pos_ += quotes - 3;
        break;
      }
      if (escaped) decoded.append(quotes, '"');
      pos_ += quotes;
      continue;
    }
    if (c == '\\') {
      if (!escaped) {
        decoded.assign(text_.substr(start, pos_ - start));
        escaped = true;
      }
      if (multiline) {
        // A backslash ending a line drops the line end and the white space
        // and line ends after it.
        std::size_t after = pos_ + 1;
        while (after < text_.size() && (text_[after] == ' ' || text_[after] == '\t')) ++after;
        if (after < text_.size() &&
            (text_[after] == '\n' || (text_[after] == '\r' && after + 1 < text_.size() && text_[after + 1] == '\n'))) {
          pos_ = after;
          while (!at_end() && (peek() == ' ' || peek() == '\t' || at_newline())) {
            if (at_newline()) {
              consume_newline();
            } else {
              ++pos_;
            }
          }
          continue;
        }
      }
      if (!read_escape(decoded)) return false;
      continue;
    }
    // A line end inside a multi-line string reads as a line feed, whether
    // it was written LF or CRLF.
    if (multiline && c == '\r' && peek(1) == '\n') {
      if (!escaped) {
        decoded.assign(text_.substr(start, pos_ - start));
        escaped = true;
      }
      decoded += '\n';
      pos_ += 2;
      continue;
    }
    const std::size_t before = pos_;
    if (!string_char(multiline)) return false;
    if (escaped) decoded.append(text_.substr(before, pos_ - before));
  }
  out = escaped ? keep(std::move(decoded)) : text_.substr(start, pos_ - start);
  pos_ += multiline ? 3 : 1;
  return true;
}

bool TomlReader::read_literal_string(std::string_view& out, bool multiline) {
  const std::size_t open = pos_;
  pos_ += multiline ? 3 : 1;
  if (multiline && at_newline()) consume_newline();
  const std::size_t start = pos_;
  bool crlf = false;
  for (;;) {
    pos_ = skip_plain(text_, pos_, '\'');
    if (at_end()) return fail(text::FaultCode::toml_syntax, open, "unterminated string");
    if (text_[pos_] == '\'') {
      if (!multiline) break;
      std::size_t quotes = 0;
      while (peek(quotes) == '\'') ++quotes;
      if (quotes >= 3) {
        if (quotes > 5)
          return fail(text::FaultCode::toml_syntax, pos_ + 5, "too many apostrophes closing a multi-line string");
        pos_ += quotes - 3;
        break;
      }
      pos_ += quotes;
      continue;
    }
    if (multiline && at_newline() && text_[pos_] == '\r') crlf = true;
    if (!string_char(multiline)) return false;
  }
  out = text_.substr(start, pos_ - start);
  if (crlf) {
    // Line ends read as line feeds, as in basic strings.
    std::string normal;
    for (std::size_t i = 0; i < out.size(); ++i) {
      if (!(out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n')) normal += out[i];
    }
    out = keep(std::move(normal));
  }
  pos_ += multiline ? 3 : 1;
  return true;
}

}  // namespace zorv::toml
