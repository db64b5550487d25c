// RecordReplayer: one decision-log record decided again under a pack set
// and compared with the decision it recorded. Shared by the replay of log
// blocks (decision_replay.h) and of Arrow columns (arrow_replay.h), so that
// both read a record and judge a change the same way.
//
// A record is changed when its decision text differs from the recorded one
// (whitespace outside strings aside), loosened when a control it recorded
// as required no longer is, tightened when a control is newly required,
// provenance_only when it changed but the verdict, the required controls
// and the disclaimer are the same. A line that is not a record, or whose
// query the resolver refuses, is bad: the byte offset in the line where it
// was found and the reason.
//
// One replayer serves one thread; its scratch space is reused from record
// to record, and what it reports borrows the line and that space until the
// next call. Pure; never fails.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "wire_tools/decision_log_record.h"
#include "wire_tools/pack_set.h"

namespace zorv::wire {

class RecordReplayer {
 public:
  enum class Outcome { bad, unchanged, changed };

  explicit RecordReplayer(const PackSet& set) : set_(set) {}

  // Replays `line`, one record without its line feed.
  Outcome replay(std::string_view line);

  // After `bad`: where and why.
  std::size_t bad_column() const { return bad_column_; }
  const std::string& bad_reason() const { return bad_reason_; }

  // After `unchanged` or `changed`: the record read, the query's stem
  // (profile "/" domain) and the new decision's text.
  DecisionLogRecord& record() { return record_; }
  std::string_view stem() const { return stem_; }
  std::string_view after() const { return after_text_; }

  // After `changed`: the controls no longer and newly required, each list
  // sorted and without repeats, and whether only the provenance differs.
  const std::vector<std::string_view>& lost() const { return lost_; }
  const std::vector<std::string_view>& gained() const { return gained_; }
  bool provenance_only() const { return provenance_only_; }

 private:
  Outcome bad(std::size_t column, std::string reason);

  const PackSet& set_;
  DecisionLogRecord record_;
  std::string stem_;
  std::string after_text_;
  std::string before_verdict_, before_disclaimer_;
  std::vector<std::string> before_required_, after_required_;
  std::vector<std::string_view> lost_, gained_;
  bool provenance_only_ = false;
  std::size_t bad_column_ = 0;
  std::string bad_reason_;
};

// Whether a log line is blank (spaces, tabs and carriage returns only): no
// record, skipped by a replay.
inline bool is_blank_line(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

}  // namespace zorv::wire
