// Strictness: the dial that says how much of the caller's universe a pack
// answer keeps. A plain value type; parsing never fails, so an unknown dial
// text is carried as a value and resolves fail-closed like `aggressive`.
// Immutable after construction; safe to share between threads.
#pragma once

#include <string>
#include <string_view>

namespace zorv {

class Strictness {
 public:
  enum class Level { aggressive, as_configured, minimal, unrecognised };

  // Exact, case-sensitive match of the three known names; every other text,
  // the empty text included, becomes `unrecognised` carrying a copy of it.
  static Strictness parse(std::string_view text);

  static Strictness aggressive() { return Strictness(Level::aggressive, {}); }
  static Strictness as_configured() { return Strictness(Level::as_configured, {}); }
  static Strictness minimal() { return Strictness(Level::minimal, {}); }

  Level level() const { return level_; }

  // How the dial is printed: the variant's name, or the carried text for
  // `unrecognised`. parse(text_form()) gives the same dial back.
  std::string_view text_form() const;

  bool operator==(const Strictness&) const = default;

 private:
  Strictness(Level level, std::string text) : level_(level), unrecognised_text_(std::move(text)) {}

  Level level_;
  std::string unrecognised_text_;  // empty unless level_ is unrecognised
};

}  // namespace zorv
