// PackDiff: every difference in what two versions of a pack map answer.
//
// Queries are grouped by the pack they look up: the stem `profile/domain`,
// answered from `stem.zorv.toml`, else `stem.toml`, else the missing
// fall-back (the resolver's own lookup, through its own adapter). For each
// stem, subject class (each subject either version lists, and "any other
// subject"), dial (none, `aggressive`, `as_configured`, `minimal`) and every
// `as_of` (none, or any text), both versions' answers for every universe are
// compared. A change gathers all the `as_of` values where one pair of
// differing answers holds. Reordering, comments, repeats and formatting
// change no answer, so they never make a change.
//
// Pure: no I/O, no state; safe to call from many threads at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/as_of_regions.h"
#include "analysis/pack_answer.h"
#include "pack/pack_lookup.h"

namespace zorv {

// One concrete query that the two versions answer differently.
struct DiffWitness {
  std::string profile;
  std::string domain;
  std::string subject;
  std::vector<std::string> universe;
  std::optional<std::string> as_of;
  std::optional<std::string> dial;  // the strictness override, when the change has one
};

struct PackChange {
  std::string pack;                    // the stem
  std::optional<std::string> subject;  // absent: any subject neither version lists
  std::optional<std::string> dial;     // absent: no override
  bool every_as_of = false;            // holds for every query, dated or not
  bool without_date = false;           // holds for queries with no `as_of`
  std::vector<AsOfRange> ranges;       // where it holds for dated queries
  PackAnswer before;
  PackAnswer after;
  RequiredRule added;    // keys required after but not before
  RequiredRule removed;  // keys required before but not after
  DiffWitness witness;

  // Some query would require less.
  bool loosens() const { return removed.form == RequiredRule::Form::all_except || !removed.keys.empty(); }
};

struct PackDiff {
  std::vector<PackChange> changes;  // sorted: stem, subject, dial, then `as_of`
  std::size_t stems = 0;            // stems compared
  std::size_t changed_stems = 0;    // stems with at least one change
};

// The stem a pack key is filed for: the key without its ".zorv.toml" (or
// else ".toml") ending; nullopt for a key that no query reaches that way
// (no such ending, or no "/").
std::optional<std::string> pack_stem(std::string_view key);

// The differences between what `before` and `after` answer.
PackDiff diff_packs(const PackLookup& before, const std::vector<std::string>& before_keys, const PackLookup& after,
                    const std::vector<std::string>& after_keys);

}  // namespace zorv
