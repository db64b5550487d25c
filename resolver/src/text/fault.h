// Fault: the first problem a reader met, as a description and the byte
// offset at which it was found. The one fault type of every reader (JSON,
// TOML, the pack reader): a plain value, turned into a caller-facing message
// with a line and column only when reported, so the success path never
// counts lines.
#pragma once

#include <cstddef>
#include <string>

namespace zorv::text {

struct Fault {
  std::string description;  // e.g. "expected a value"
  std::size_t offset = 0;   // bytes into the text read
};

}  // namespace zorv::text
