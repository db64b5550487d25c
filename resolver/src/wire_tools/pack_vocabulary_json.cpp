#include "wire_tools/pack_vocabulary_json.h"

#include "json/json_writer.h"
#include "pack/pack_vocabulary.h"

namespace zorv::wire {
namespace {

std::string_view kind_text(pack_vocabulary::KeyKind kind) {
  switch (kind) {
    case pack_vocabulary::KeyKind::table:
      return "table";
    case pack_vocabulary::KeyKind::table_of_tables:
      return "table of tables";
    case pack_vocabulary::KeyKind::string:
      return "string";
    case pack_vocabulary::KeyKind::string_list:
      break;
  }
  return "array of strings";
}

}  // namespace

std::string pack_vocabulary_json() {
  std::string out = "[";
  for (const pack_vocabulary::PackKey& key : pack_vocabulary::keys()) {
    if (out.size() > 1) out += ',';
    out += R"({"path":)";
    json::append_string(out, key.path);
    out += R"(,"kind":)";
    json::append_string(out, kind_text(key.kind));
    out += key.required ? R"(,"required":true)" : R"(,"required":false)";
    out += R"(,"absent":)";
    json::append_string(out, key.absent);
    out += R"(,"meaning":)";
    json::append_string(out, key.meaning);
    out += R"(,"detail":)";
    json::append_string(out, key.detail);
    out += R"(,"examples":[)";
    for (std::size_t i = 0; i < key.examples.size(); ++i) {
      if (i > 0) out += ',';
      json::append_string(out, key.examples[i]);
    }
    out += R"(],"element":)";
    json::append_string(out, key.kind == pack_vocabulary::KeyKind::string_list ? pack_vocabulary::kListElementDetail
                                                                               : std::string_view());
    out += '}';
  }
  out += ']';
  return out;
}

}  // namespace zorv::wire
