// How a fuzzer input becomes the arguments of one call, and how a target
// reports a broken invariant.
//
// The input is cut at every 0xFF byte into parts, one argument each, in
// parameter order. 0xFF never occurs in UTF-8, so no well-formed JSON or TOML
// text is out of reach, and invalid UTF-8 still arrives through every other
// byte that cannot start or continue a sequence. The optional override is
// present exactly when the input has a part for it, so the fuzzer switches it
// on and off by adding or dropping one separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

namespace zorv::fuzz {

inline constexpr char kSeparator = '\xFF';

inline std::vector<std::string_view> split_input(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t at = input.find(kSeparator); at != std::string_view::npos; at = input.find(kSeparator, start)) {
    parts.push_back(input.substr(start, at - start));
    start = at + 1;
  }
  parts.push_back(input.substr(start));
  return parts;
}

// Part `index`, or the empty text when the input has fewer parts.
inline std::string_view part(const std::vector<std::string_view>& parts, std::size_t index) {
  return index < parts.size() ? parts[index] : std::string_view();
}

inline std::optional<std::string_view> optional_part(const std::vector<std::string_view>& parts, std::size_t index) {
  if (index < parts.size()) return parts[index];
  return std::nullopt;
}

// Prints what broke and the text it broke on, then aborts so that libFuzzer
// keeps the input as a crash.
[[noreturn]] inline void violated(const char* invariant, std::string_view detail = {}) {
  std::fprintf(stderr, "invariant violated: %s\n%.*s\n", invariant,
               static_cast<int>(detail.size() > 4096 ? 4096 : detail.size()), detail.data());
  std::abort();
}

inline void require(bool holds, const char* invariant, std::string_view detail = {}) {
  if (!holds) violated(invariant, detail);
}

}  // namespace zorv::fuzz
