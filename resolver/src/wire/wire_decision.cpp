#include "wire/wire_decision.h"

#include <algorithm>

#include "json/json_writer.h"

namespace zorv::wire {

namespace {

void append_optional(std::string& out, const std::optional<std::string>& value) {
  if (value) {
    json::append_string(out, *value);
  } else {
    out += "null";
  }
}

json::JsonValue optional_value(const std::optional<std::string>& value) {
  return value ? json::JsonValue(*value) : json::JsonValue(nullptr);
}

}  // namespace

WireDecision WireDecision::from_core(const ControlDecision& decision) {
  const PolicyProvenance& provenance = decision.provenance;
  return WireDecision{
      decision.verdict == Verdict::block ? "block" : "permit",
      decision.required.keys(),
      WireProvenance{provenance.profile, std::string(provenance.strictness.text_form()), provenance.source,
                     provenance.legal_review_status, provenance.last_reviewed_against_guidance, provenance.fell_back},
  };
}

void WireDecision::write(std::string& out) const {
  size_t estimate = 400 + 2 * (provenance.profile.size() + provenance.source.size());
  for (const auto& key : required) estimate += key.size() + 3;
  // Grown geometrically: a batch appends decision after decision to one
  // text, and a library whose reserve() gives exactly what is asked (libc++
  // does) would otherwise copy the whole text again for every decision.
  const size_t wanted = out.size() + estimate;
  if (wanted > out.capacity()) out.reserve(std::max(wanted, 2 * out.capacity()));

  out += "{\"verdict\":";
  json::append_string(out, verdict);
  out += ",\"required\":[";
  for (size_t i = 0; i < required.size(); ++i) {
    if (i != 0) out += ',';
    json::append_string(out, required[i]);
  }
  out += "],\"provenance\":{\"profile\":";
  json::append_string(out, provenance.profile);
  out += ",\"strictness\":";
  json::append_string(out, provenance.strictness);
  out += ",\"source\":";
  json::append_string(out, provenance.source);
  out += ",\"legal_review_status\":";
  append_optional(out, provenance.legal_review_status);
  out += ",\"last_reviewed_against_guidance\":";
  append_optional(out, provenance.last_reviewed_against_guidance);
  out += ",\"fell_back\":";
  out += provenance.fell_back ? "true" : "false";
  out += "},\"disclaimer\":";
  json::append_string(out, disclaimer);
  out += '}';
}

json::JsonValue WireDecision::to_json_value() const {
  // Initializer-list members are copied, so the required keys are moved in.
  json::JsonObject object{
      {"verdict", verdict},
      {"provenance",
       json::JsonObject{
           {"profile", provenance.profile},
           {"strictness", provenance.strictness},
           {"source", provenance.source},
           {"legal_review_status", optional_value(provenance.legal_review_status)},
           {"last_reviewed_against_guidance", optional_value(provenance.last_reviewed_against_guidance)},
           {"fell_back", provenance.fell_back},
       }},
      {"disclaimer", disclaimer},
  };
  object.emplace("required", json::borrowed_string_array(required));
  return object;
}

}  // namespace zorv::wire
