// The JSON form of the pack vocabulary table, for the tools that generate
// the pack format's JSON Schema and the README's key table from it.
#pragma once

#include <string>

namespace zorv::wire {

// A JSON array of the vocabulary's keys in table order, each an object with
// "path", "kind" ("table", "table of tables", "string" or "array of
// strings"), "required" (boolean), "absent", "meaning", "detail" and
// "examples" (an array of strings), and "element" (for a list, what each
// element is; else "").
std::string pack_vocabulary_json();

}  // namespace zorv::wire
