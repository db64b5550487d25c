// A TOML decoder in toml-test's interface: reads a TOML document on standard
// input and writes its tagged JSON on standard output, exit 0; or the fault
// ("line L column C: description") on standard error, exit 1.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "core/toml_document.h"
#include "support/toml_tagged_json.h"

int main() {
  const std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  zorv::toml::TomlFault fault;
  const auto document = zorv::toml::TomlDocument::read(text, fault);
  if (!document) {
    const auto position = zorv::toml::position_of(text, fault.offset);
    std::fprintf(stderr, "line %zu column %zu: %s\n", position.line, position.column, fault.description.c_str());
    return 1;
  }
  std::cout << zorv::testing_support::tagged_json(*document) << '\n';
  return 0;
}
