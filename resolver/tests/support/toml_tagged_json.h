// A TomlDocument written as toml-test's tagged JSON: tables as objects,
// arrays as arrays, every other value as {"type": ..., "value": "..."}.
// Written with an explicit stack, so any depth the reader accepts is fine.
#pragma once

#include <charconv>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "toml/toml_document.h"
#include "json/json_writer.h"

namespace zorv::testing_support {

inline std::string tagged_scalar(const toml::Node& value) {
  using toml::Kind;
  std::string type, text;
  switch (value.kind) {
    case Kind::string:
      type = "string";
      text = value.text;
      break;
    case Kind::integer:
      type = "integer";
      text = std::to_string(value.integer);
      break;
    case Kind::floating: {
      type = "float";
      if (std::isnan(value.floating)) {
        text = "nan";
      } else {
        char buffer[64];
        text.assign(buffer, std::to_chars(buffer, buffer + sizeof buffer, value.floating).ptr);
      }
      break;
    }
    case Kind::boolean:
      type = "bool";
      text = value.boolean ? "true" : "false";
      break;
    case Kind::offset_date_time:
      type = "datetime";
      break;
    case Kind::local_date_time:
      type = "datetime-local";
      break;
    case Kind::local_date:
      type = "date-local";
      break;
    case Kind::local_time:
      type = "time-local";
      break;
    case Kind::table:
    case Kind::array:
      break;
  }
  if (type.starts_with("date") || type.starts_with("time")) {
    text = value.text;
    for (char& c : text) {
      if (c == 't' || c == ' ') c = 'T';
      if (c == 'z') c = 'Z';
    }
  }
  std::string out = "{\"type\":";
  json::append_string(out, type);
  out += ",\"value\":";
  json::append_string(out, text);
  return out + "}";
}

inline std::string tagged_json(const toml::TomlDocument& document) {
  std::string out;
  // Each frame: a container and how many of its children are written.
  std::vector<std::pair<const toml::Node*, std::size_t>> stack{{&document.root(), 0}};
  out += '{';
  while (!stack.empty()) {
    auto& [container, done] = stack.back();
    const bool is_table = container->kind == toml::Kind::table;
    const std::size_t count = is_table ? container->members.size() : container->elements.size();
    if (done == count) {
      out += is_table ? '}' : ']';
      stack.pop_back();
      continue;
    }
    if (done) out += ',';
    const toml::Node* child;
    if (is_table) {
      json::append_string(out, container->members[done].key);
      out += ':';
      child = &document.node(container->members[done].node);
    } else {
      child = &document.node(container->elements[done]);
    }
    ++done;
    if (child->kind == toml::Kind::table || child->kind == toml::Kind::array) {
      out += child->kind == toml::Kind::table ? '{' : '[';
      stack.push_back({child, 0});
    } else {
      out += tagged_scalar(*child);
    }
  }
  return out;
}

}  // namespace zorv::testing_support
