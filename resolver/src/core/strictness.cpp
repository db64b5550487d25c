#include "core/strictness.h"

namespace zorv {

Strictness Strictness::parse(std::string_view text) {
  if (text == "aggressive") return aggressive();
  if (text == "as_configured") return as_configured();
  if (text == "minimal") return minimal();
  return Strictness(Level::unrecognised, std::string(text));
}

std::string_view Strictness::text_form() const {
  switch (level_) {
    case Level::aggressive:
      return "aggressive";
    case Level::as_configured:
      return "as_configured";
    case Level::minimal:
      return "minimal";
    case Level::unrecognised:
      break;
  }
  return unrecognised_text_;
}

}  // namespace zorv
