// PackAnswer: what one version of a pack map answers to the queries of one
// stem, subject, dial and place of `as_of`, for every universe at once: the
// required set as "the universe ∩ S" or "the universe ∖ S" (from the pack's
// answer model), and the provenance the decision itself writes.
//
// Pure values and functions; safe to use from many threads at once.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/regulatory_query.h"
#include "core/strictness.h"
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

// The required rule and the provenance, without the query's profile, which
// every answer echoes.
struct PackAnswer {
  RequiredRule required;
  Strictness strictness = Strictness::aggressive();
  std::string source;
  std::optional<std::string> legal_review_status;
  std::optional<std::string> last_reviewed_against_guidance;
  bool fell_back = false;

  bool operator==(const PackAnswer&) const = default;
};

// The pack one version answers a stem's queries from: the key found and the
// pack read from it (null when the text is not a pack), or no key at all.
struct ReachedPack {
  std::optional<std::string> key;
  const PolicyPack* pack = nullptr;
};

// The answer for `query` (its universe is not read) when it reaches
// `reached`, with the override `dial`.
PackAnswer pack_answer(const ReachedPack& reached, const std::optional<Strictness>& dial, const RegulatoryQuery& query);

// A key that is not in `named`: `preferred`, else `preferred` with "_2",
// "_3", ... appended.
std::string unnamed_control(const ControlSet& named, std::string_view preferred);

}  // namespace zorv
