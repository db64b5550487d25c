// A TOML decoder in toml-test's interface: reads a TOML document on standard
// input and writes its tagged JSON on standard output, exit 0; or the fault
// ("line L column C: detail") on standard error, exit 1.
//
// With --batch it reads many documents instead, each as its length in bytes,
// a line feed and the bytes, and writes one line for each: "ok " and the
// tagged JSON, or "error " and the fault. The differential test against
// Python's tomllib drives it this way.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#include "text/text_position.h"
#include "toml/toml_document.h"
#include "support/toml_tagged_json.h"

namespace {

// "ok <json>" or "error line L column C: detail".
bool decode(const std::string& text, std::string& out) {
  zorv::text::Fault fault;
  const auto document = zorv::toml::TomlDocument::read(text, fault);
  if (!document) {
    const auto position = zorv::text::position_of(text, fault.offset);
    out = "line " + std::to_string(position.line) + " column " + std::to_string(position.column) + ": " + fault.detail;
    return false;
  }
  out = zorv::testing_support::tagged_json(*document);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::string out;
  if (argc > 1 && std::strcmp(argv[1], "--batch") == 0) {
    for (std::size_t length; std::cin >> length;) {
      std::cin.get();
      std::string text(length, '\0');
      std::cin.read(text.data(), static_cast<std::streamsize>(length));
      const bool ok = decode(text, out);
      std::cout << (ok ? "ok " : "error ") << out << '\n';
    }
    return 0;
  }
  const std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  if (!decode(text, out)) {
    std::fprintf(stderr, "%s\n", out.c_str());
    return 1;
  }
  std::cout << out << '\n';
  return 0;
}
