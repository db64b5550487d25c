// PackAnswer: what a resolver answers to every universe at once, for one
// query's pack, subject, dial and `as_of`. The decision only ever asks
// whether a universe key is in one of the pack's lists, so the required set
// is always "the universe ∩ S" or "the universe ∖ S" for a finite set S of
// keys the pack names; which form, which S and which provenance is what this
// records.
//
// The model is not a second statement of the rules: it is read off the
// decision itself, run once over a universe of every named key plus one key
// the pack does not name, which stands for all the keys it does not.
//
// Pure values and functions; safe to use from many threads at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/control_decision.h"
#include "core/regulatory_policy_port.h"
#include "core/regulatory_query.h"
#include "pack/control_set.h"
#include "pack/policy_pack.h"

namespace zorv {

// The required set as a function of the universe.
struct RequiredRule {
  enum class Form { controls, all_except };
  Form form = Form::controls;  // controls: U ∩ keys; all_except: U ∖ keys
  ControlSet keys;

  // Whether `key`, when the universe holds it, is required.
  bool requires_key(std::string_view key) const { return keys.contains(key) == (form == Form::controls); }

  bool operator==(const RequiredRule&) const = default;
};

// The required rule and the provenance (without the query's profile, which
// every answer echoes).
struct PackAnswer {
  RequiredRule required;
  Strictness strictness = Strictness::aggressive();
  std::string source;
  std::optional<std::string> legal_review_status;
  std::optional<std::string> last_reviewed_against_guidance;
  bool fell_back = false;

  bool operator==(const PackAnswer&) const = default;
};

// Every control key of `pack` that a query about `subject` can meet: the
// subject's own list (when the pack lists the subject), the legal floor and
// the prohibited list. The decision treats every other key like one that no
// list names.
ControlSet controls_named_for(const PolicyPackToml& pack, std::string_view subject);

// A key that is not in `named`: the stand-in for every key the packs do not
// name. Prefers `preferred`, then `preferred` with a number appended.
std::string unnamed_control(const ControlSet& named, std::string_view preferred);

// A query whose universe is every key of `named` plus one stand-in for
// every other key: asked once, it answers for every universe. `named` must
// hold at least the keys controls_named_for gives for the pack the query
// reaches. Its subject and `as_of` may be changed between answers.
struct SymbolicQuery {
  SymbolicQuery(RegulatoryQuery query, ControlSet named);

  // The answer `port` gives this query, for every universe.
  PackAnswer answer(const RegulatoryPolicyPort& port) const;

  RegulatoryQuery query;
  ControlSet named;
  std::string stand_in;  // not in `named`
};

}  // namespace zorv
