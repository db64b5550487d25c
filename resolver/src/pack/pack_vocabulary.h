// The pack vocabulary: every key a pack may hold, with its TOML kind, what
// its absence means, and what it is for. The one table the pack reader reads
// through, lint checks against, and the JSON Schema of the pack format and
// the README's key table are generated from. A new key is one row here.
//
// Paths are dotted from the top of the document; `<name>` stands for any
// subject name. The table is constant and lives for the whole program; safe
// to read from many threads at once.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "toml/toml_document.h"

namespace zorv::pack_vocabulary {

// What a key holds, as TOML sees it. A table of tables is a table whose
// every member is a table (one per name); a list of strings is an array
// whose every element is a string.
enum class KeyKind { table, table_of_tables, string, string_list };

struct PackKey {
  std::string_view path;  // e.g. "meta.strictness", "subject.<name>.controls"
  KeyKind kind;
  bool required;
  std::string_view absent;                     // what it means when the key is not there
  std::string_view meaning;                    // one line, for the README's key table ("" when not listed there)
  std::string_view detail;                     // for editors: the schema's description
  std::span<const std::string_view> examples;  // values worth suggesting, if any
};

// Every key, parents before their children, in the README's order.
std::span<const PackKey> keys();

// The row for `path`, which must be one of the table's paths.
const PackKey& key(std::string_view path);

// The last part of a path: "strictness" for "meta.strictness".
std::string_view name_of(const PackKey& key);

// The names of the keys directly under the table at `parent` ("" for the
// top level), in table order.
std::span<const std::string_view> names_under(std::string_view parent);

// The TOML kind a key of `kind` must have.
toml::Kind toml_kind(KeyKind kind);

// "a table", "a string" or "an array": what a fault says a key must be.
std::string_view expected_text(KeyKind kind);

// The one wording of a wrong type, for the reader and lint alike:
// "`meta.strictness` must be a string, found integer".
std::string wrong_type_detail(std::string_view path, std::string_view expected, toml::Kind found);

// The description of a list element that is not a string.
inline constexpr std::string_view kListElementDetail = "A control identifier, compared byte for byte.";

}  // namespace zorv::pack_vocabulary
