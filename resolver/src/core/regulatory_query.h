// RegulatoryQuery: the question the resolver answers. Built by the wire layer
// from the caller's query; the core only reads it.
#pragma once

#include <optional>
#include <string>

#include "core/control_universe.h"

namespace zorv {

struct RegulatoryQuery {
  std::string domain;                // second part of the pack key
  std::string profile;               // first part of the pack key; echoed in provenance
  std::string jurisdiction;          // carried with the query; the core does not read it
  std::string subject;               // looked up in the pack's `subject` table
  ControlUniverse universe;          // every control the caller knows: the fail-closed answer
  std::optional<std::string> as_of;  // compared with the pack's bounds as bytes
};

}  // namespace zorv
