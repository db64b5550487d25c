#include "wire_tools/record_replay.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "json/json_reader.h"
#include "wire/wire_decision.h"
#include "wire/wire_query.h"

namespace zorv::wire {
namespace {

// The parts of a recorded decision that the comparison needs.
bool read_decision(std::string_view text, std::string& verdict, std::vector<std::string>& required,
                   std::string& disclaimer, text::Fault& fault) {
  static const json::RecordShape kShape{
      "struct WireDecision", {"verdict", "required", "provenance", "disclaimer"}, 0b1111};
  json::JsonReader reader(text);
  std::string_view provenance;
  std::size_t provenance_offset = 0;
  const bool ok = reader.read_document([&] {
    return reader.read_record(kShape, [&](std::size_t field) {
      switch (field) {
        case 0:
          return reader.read_string(verdict);
        case 1:
          return reader.read_string_array(required);
        case 2:
          return reader.read_raw(provenance, provenance_offset);
        default:
          return reader.read_string(disclaimer);
      }
    });
  });
  if (!ok) fault = reader.fault();
  return ok;
}

}  // namespace

RecordReplayer::Outcome RecordReplayer::bad(std::size_t column, std::string reason) {
  bad_column_ = column;
  bad_reason_ = std::move(reason);
  return Outcome::bad;
}

RecordReplayer::Outcome RecordReplayer::replay(std::string_view line) {
  record_ = DecisionLogRecord{};
  text::Fault fault;
  if (!DecisionLogRecord::read(line, record_, fault)) {
    return bad(fault.offset, "not a decision record: " + fault.detail);
  }
  WireQuery query;
  json::JsonReader reader(record_.query);
  if (!reader.read_document([&] { return WireQuery::read_from(reader, query); })) {
    return bad(record_.query_offset + reader.fault().offset, std::string(kQueryJsonPrefix) + reader.fault().detail);
  }
  stem_.assign(query.profile).append("/").append(query.domain);
  std::optional<Strictness> dial;
  if (record_.strictness) dial = Strictness::parse(*record_.strictness);
  const ControlDecision decided = set_.decide(std::move(query).into_core(), dial);
  const WireDecision after = WireDecision::from_core(decided);
  after_text_.clear();
  after.write(after_text_);
  if (after_text_ == record_.decision || same_without_whitespace(record_.decision, after_text_)) {
    return Outcome::unchanged;
  }

  before_verdict_.clear();
  before_required_.clear();
  before_disclaimer_.clear();
  if (!read_decision(record_.decision, before_verdict_, before_required_, before_disclaimer_, fault)) {
    return bad(record_.decision_offset + fault.offset, "`decision` is not a valid WireDecision: " + fault.detail);
  }
  std::sort(before_required_.begin(), before_required_.end());
  before_required_.erase(std::unique(before_required_.begin(), before_required_.end()), before_required_.end());
  after_required_.assign(after.required.begin(), after.required.end());
  lost_.clear();
  gained_.clear();
  std::set_difference(before_required_.begin(), before_required_.end(), after_required_.begin(), after_required_.end(),
                      std::back_inserter(lost_));
  std::set_difference(after_required_.begin(), after_required_.end(), before_required_.begin(), before_required_.end(),
                      std::back_inserter(gained_));
  provenance_only_ =
      lost_.empty() && gained_.empty() && before_verdict_ == after.verdict && before_disclaimer_ == after.disclaimer;
  return Outcome::changed;
}

}  // namespace zorv::wire
