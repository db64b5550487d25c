#include "text/utf8_validation.h"

#include "text/utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ZORV_UTF8_AVX2 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace zorv::text {

namespace {

bool all_ascii(const unsigned char* bytes) {
  std::uint64_t first, second;
  std::memcpy(&first, bytes, 8);
  std::memcpy(&second, bytes + 8, 8);
  return ((first | second) & 0x8080808080808080ULL) == 0;
}

#if ZORV_UTF8_AVX2

// The error classes of the lookup method: each pair of adjacent bytes is
// classified by the first byte's two nibbles and the second byte's high
// nibble, and a pair is wrong when all three lookups share a class bit.
constexpr std::uint8_t kTooShort = 1 << 0;      // lead byte followed by a non-continuation
constexpr std::uint8_t kTooLong = 1 << 1;       // ASCII followed by a continuation
constexpr std::uint8_t kOverlong3 = 1 << 2;     // E0 80..9F
constexpr std::uint8_t kTooLarge = 1 << 3;      // F4 90..BF, F5..FF
constexpr std::uint8_t kSurrogate = 1 << 4;     // ED A0..BF
constexpr std::uint8_t kOverlong2 = 1 << 5;     // C0, C1
constexpr std::uint8_t kTooLarge1000 = 1 << 6;  // F5..FF followed by 80..8F
constexpr std::uint8_t kOverlong4 = 1 << 6;     // F0 80..8F
constexpr std::uint8_t kTwoConts = 1 << 7;      // two continuations in a row
constexpr std::uint8_t kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("avx2"))) inline __m256i lookup16(__m256i nibbles, const std::uint8_t (&table)[16]) {
  const __m128i half = _mm_loadu_si128(reinterpret_cast<const __m128i*>(table));
  return _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(half), nibbles);
}

// The block shifted by `n` bytes towards the end, with the last `n` bytes of
// the previous block in front.
template <int n>
__attribute__((target("avx2"))) inline __m256i previous(__m256i block, __m256i prior) {
  return _mm256_alignr_epi8(block, _mm256_permute2x128_si256(prior, block, 0x21), 16 - n);
}

__attribute__((target("avx2"))) inline __m256i block_errors(__m256i block, __m256i prior) {
  static constexpr std::uint8_t kByte1High[16] = {kTooLong,
                                                  kTooLong,
                                                  kTooLong,
                                                  kTooLong,
                                                  kTooLong,
                                                  kTooLong,
                                                  kTooLong,
                                                  kTooLong,
                                                  kTwoConts,
                                                  kTwoConts,
                                                  kTwoConts,
                                                  kTwoConts,
                                                  kTooShort | kOverlong2,
                                                  kTooShort,
                                                  kTooShort | kOverlong3 | kSurrogate,
                                                  kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
  static constexpr std::uint8_t kByte1Low[16] = {kCarry | kOverlong3 | kOverlong2 | kOverlong4,
                                                 kCarry | kOverlong2,
                                                 kCarry,
                                                 kCarry,
                                                 kCarry | kTooLarge,
                                                 kCarry | kTooLarge | kTooLarge1000,
                                                 kCarry | kTooLarge | kTooLarge1000,
                                                 kCarry | kTooLarge | kTooLarge1000,
                                                 kCarry | kTooLarge | kTooLarge1000,
                                                 kCarry | kTooLarge | kTooLarge1000,
                                                 kCarry | kTooLarge | kTooLarge1000,
                                                 kCarry | kTooLarge | kTooLarge1000,
                                                 kCarry | kTooLarge | kTooLarge1000,
                                                 kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
                                                 kCarry | kTooLarge | kTooLarge1000,
                                                 kCarry | kTooLarge | kTooLarge1000};
  static constexpr std::uint8_t kByte2High[16] = {
      kTooShort,
      kTooShort,
      kTooShort,
      kTooShort,
      kTooShort,
      kTooShort,
      kTooShort,
      kTooShort,
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
      kTooShort,
      kTooShort,
      kTooShort,
      kTooShort};
  const __m256i low_nibble = _mm256_set1_epi8(0x0F);
  const __m256i prev1 = previous<1>(block, prior);
  const __m256i byte1_high = lookup16(_mm256_and_si256(_mm256_srli_epi16(prev1, 4), low_nibble), kByte1High);
  const __m256i byte1_low = lookup16(_mm256_and_si256(prev1, low_nibble), kByte1Low);
  const __m256i byte2_high = lookup16(_mm256_and_si256(_mm256_srli_epi16(block, 4), low_nibble), kByte2High);
  const __m256i special = _mm256_and_si256(_mm256_and_si256(byte1_high, byte1_low), byte2_high);
  // Third and fourth bytes of three- and four-byte sequences must be
  // continuations; they are the only places where kTwoConts is no error.
  const __m256i prev2 = previous<2>(block, prior);
  const __m256i prev3 = previous<3>(block, prior);
  const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
  const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
  const __m256i must_continue =
      _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
  return _mm256_xor_si256(must_continue, special);
}

// Non-zero where the block's last bytes start a sequence it does not finish:
// a lead of two bytes or more in the last, of three or more in the second
// last, of four in the third last place.
__attribute__((target("avx2"))) inline __m256i left_open(__m256i block) {
  const __m256i limits = _mm256_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                          -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, static_cast<char>(0xF0 - 1),
                                          static_cast<char>(0xE0 - 1), static_cast<char>(0xC0 - 1));
  return _mm256_subs_epu8(block, limits);
}

__attribute__((target("avx2"))) bool is_valid_utf8_avx2(const unsigned char* bytes, std::size_t size) {
  __m256i prior = _mm256_setzero_si256();
  __m256i errors = _mm256_setzero_si256();
  std::size_t pos = 0;
  for (; pos + 32 <= size; pos += 32) {
    const __m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + pos));
    // An ASCII block is right by itself; it is wrong only when the block
    // before it left a sequence open.
    if (_mm256_movemask_epi8(block) == 0) {
      errors = _mm256_or_si256(errors, left_open(prior));
    } else {
      errors = _mm256_or_si256(errors, block_errors(block, prior));
    }
    prior = block;
  }
  // The tail, padded with zero bytes; the zeros after it also expose a
  // sequence left open at the very end.
  alignas(32) unsigned char tail[32] = {};
  // An empty view may have no data at all, and memcpy takes no null pointer.
  if (size > pos) std::memcpy(tail, bytes + pos, size - pos);
  const __m256i block = _mm256_load_si256(reinterpret_cast<const __m256i*>(tail));
  errors = _mm256_or_si256(errors, block_errors(block, prior));
  if (size - pos > 29) {
    errors = _mm256_or_si256(errors, block_errors(_mm256_setzero_si256(), block));
  }
  return _mm256_testz_si256(errors, errors) != 0;
}

// Asked of the processor itself: AVX2 is usable when the processor has it
// and the operating system saves the 256-bit registers on a context switch
// (XCR0 bits 1 and 2). Some toolchains' __builtin_cpu_supports always answers
// no, which would silently leave only the portable path.
bool has_avx2() {
  static const bool supported = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    constexpr unsigned kOsxsave = 1u << 27, kAvx = 1u << 28;
    if ((ecx & kOsxsave) == 0 || (ecx & kAvx) == 0) return false;
    unsigned xcr0_low = 0, xcr0_high = 0;
    __asm__ volatile("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
    if ((xcr0_low & 0x6u) != 0x6u) return false;
    if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return false;
    constexpr unsigned kAvx2 = 1u << 5;
    return (ebx & kAvx2) != 0;
  }();
  return supported;
}

#endif

}  // namespace

std::size_t first_invalid_utf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (pos + 16 <= text.size() && all_ascii(bytes + pos)) {
      pos += 16;
      continue;
    }
    const std::size_t length = utf8_sequence_length(text, pos);
    if (length == 0) return pos;
    pos += length;
  }
  return text.size();
}

bool is_valid_utf8_portably(std::string_view text) { return first_invalid_utf8(text) == text.size(); }

bool is_valid_utf8(std::string_view text) {
#if ZORV_UTF8_AVX2
  if (has_avx2()) {
    return is_valid_utf8_avx2(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  }
#endif
  return is_valid_utf8_portably(text);
}

}  // namespace zorv::text
