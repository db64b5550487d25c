#include "wire_tools/explain_json.h"

#include "analysis/decision_explanation.h"
#include "json/json_writer.h"
#include "wire/wire_call.h"
#include "wire/wire_decision.h"

namespace zorv::wire {
namespace {

std::string_view from_name(StrictnessFrom from) {
  switch (from) {
    case StrictnessFrom::override_dial:
      return "override";
    case StrictnessFrom::pack:
      return "pack";
    case StrictnessFrom::default_dial:
      return "default";
    case StrictnessFrom::fall_back:
      break;
  }
  return "fall-back";
}

std::string_view reason_name(ControlReason reason) {
  switch (reason) {
    case ControlReason::universe:
      return "universe";
    case ControlReason::subject_list:
      return "subject-list";
    case ControlReason::not_in_subject_list:
      return "not-in-subject-list";
    case ControlReason::legal_floor:
      return "legal-floor";
    case ControlReason::not_in_legal_floor:
      return "not-in-legal-floor";
    case ControlReason::prohibited:
      return "prohibited";
    case ControlReason::fall_back:
      break;
  }
  return "fall-back";
}

void append_position(std::string& out, const std::optional<text::TextPosition>& position) {
  if (!position) {
    out += R"("line":null,"column":null)";
    return;
  }
  out += R"("line":)";
  json::append_uint(out, position->line);
  out += R"(,"column":)";
  json::append_uint(out, position->column);
}

void append_optional_string(std::string& out, const std::optional<std::string>& text) {
  if (text) {
    json::append_string(out, *text);
  } else {
    out += "null";
  }
}

}  // namespace

Result<std::string> explain_json(std::string_view packs_json, std::string_view query_json,
                                 std::optional<std::string_view> strictness_override) {
  Result<WireCall> call = WireCall::read(packs_json, query_json, strictness_override);
  if (!call.ok()) return std::move(call.error());
  return explanation_json(call.value().packs, call.value().strictness_override, call.value().query);
}

std::string explanation_json(const PackLookup& packs, const std::optional<Strictness>& strictness_override,
                             const RegulatoryQuery& query) {
  const DecisionExplanation explained = explain_decision(packs, strictness_override, query);

  std::string out = R"({"decision":)";
  WireDecision::from_core(explained.decision).write(out);
  out += R"(,"pack":{"source":)";
  append_optional_string(out, explained.source);
  out += R"(,"tried":[)";
  json::append_string(out, explained.tried[0]);
  out += ',';
  json::append_string(out, explained.tried[1]);
  out += R"(]},"strictness":{"effective":)";
  json::append_string(out, explained.effective.text_form());
  out += R"(,"from":)";
  json::append_string(out, from_name(explained.strictness_from));
  out += R"(},"fall_back":)";
  if (const auto& fall_back = explained.fall_back) {
    out += R"({"kind":)";
    json::append_string(out, fall_back_kind_name(fall_back->kind));
    out += R"(,"detail":)";
    json::append_string(out, fall_back->detail);
    out += ',';
    append_position(out, fall_back->position);
    out += '}';
  } else {
    out += "null";
  }
  out += R"(,"controls":[)";
  for (const ControlExplanation& control : explained.controls) {
    if (out.back() != '[') out += ',';
    out += R"({"control":)";
    json::append_string(out, control.control);
    out += control.required ? R"(,"required":true,"reason":)" : R"(,"required":false,"reason":)";
    json::append_string(out, reason_name(control.reason));
    out += ',';
    append_position(out, control.position);
    out += '}';
  }
  out += "]}";
  return out;
}

}  // namespace zorv::wire
