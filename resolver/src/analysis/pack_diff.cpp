#include "analysis/pack_diff.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <tuple>

#include "core/answer_model.h"
#include "core/in_memory_regulatory_policy_adapter.h"

namespace zorv {
namespace {

// The answers of one version are a function of the key and the pack read
// from it.
bool answers_alike(const ReachedPack& a, const ReachedPack& b) {
  if (a.key != b.key) return false;
  if (a.pack == nullptr || b.pack == nullptr) return a.pack == b.pack;
  return *a.pack == *b.pack;
}

// One version of the pack map, with every pack it reads kept for reuse.
struct Version {
  const PackLookup& packs;
  PackCache cache;

  ReachedPack reached(const RegulatoryQuery& query) {
    for (const std::string& key : InMemoryRegulatoryPolicyAdapter::lookup_keys(query)) {
      const PackCache::Entry& entry = cache.entry(packs, key);
      if (entry.found) return {key, entry.pack ? &*entry.pack : nullptr};
    }
    return {};
  }
};

// One version's answers to a stem's queries. An answer is fixed by the
// dial asked for and the parts of the answer model that vary from query to
// query (the fall-back, and the list a dial keeps), so each is worked out
// once and shared by every subject and `as_of` that leads to it: a pack of
// many subjects and a long prohibited list costs one copy of that list per
// dial, not one per subject.
class VersionAnswers {
 public:
  explicit VersionAnswers(const ReachedPack& reached) : reached_(reached) {}

  const PackAnswer* answer(const RegulatoryQuery& query, std::size_t dial_index,
                           const std::optional<Strictness>& dial) {
    Key key{0, std::nullopt, nullptr};  // no pack: one answer for every query
    if (reached_.pack != nullptr) {
      const AnswerModel model =
          answer_model(*reached_.pack, dial, query.subject, as_of_place(reached_.pack->meta, query.as_of));
      key = Key{dial_index, model.fall_back, model.fall_back ? nullptr : model.list};
    }
    auto found = known_.find(key);
    if (found == known_.end()) found = known_.emplace(key, pack_answer(reached_, dial, query)).first;
    return &found->second;
  }

 private:
  using Key = std::tuple<std::size_t, std::optional<FallBackKind>, const ControlList*>;

  const ReachedPack& reached_;
  std::map<Key, PackAnswer> known_;
};

// Whether two answers differ, each pair compared once.
class AnswerComparison {
 public:
  bool differ(const PackAnswer* a, const PackAnswer* b) {
    const auto found = known_.find({a, b});
    if (found != known_.end()) return found->second;
    return known_.emplace(std::make_pair(a, b), !(*a == *b)).first->second;
  }

 private:
  std::map<std::pair<const PackAnswer*, const PackAnswer*>, bool> known_;
};

// A pair of differing answers and the places (0: no `as_of`; i > 0: the
// region i - 1) where it holds.
struct AnswerPair {
  const PackAnswer* before;
  const PackAnswer* after;
  std::vector<std::size_t> places;
};

// The keys `first` requires and `second` does not, written as a rule. Keys
// neither rule names behave alike, so `unnamed` stands for all of them.
RequiredRule required_only_by(const RequiredRule& first, const RequiredRule& second, const ControlSet& named,
                              std::string_view unnamed) {
  const auto only_first = [&](std::string_view key) { return first.requires_key(key) && !second.requires_key(key); };
  const bool all_except = only_first(unnamed);
  std::vector<std::string_view> keys;
  for (const std::string_view key : named.keys()) {
    if (only_first(key) != all_except) keys.push_back(key);
  }
  return RequiredRule{.form = all_except ? RequiredRule::Form::all_except : RequiredRule::Form::controls,
                      .keys = ControlSet::from_sorted_unique(keys)};
}

ControlSet set_union(const ControlSet& a, const ControlSet& b) {
  std::vector<std::string_view> keys(a.keys().begin(), a.keys().end());
  keys.insert(keys.end(), b.keys().begin(), b.keys().end());
  return ControlSet::from_views(std::move(keys));
}

// The one key a witness universe holds: a key whose answer changes when
// there is one, else any key.
std::string witness_control(const PackChange& change, const std::string& unnamed) {
  for (const RequiredRule* rule : {&change.added, &change.removed}) {
    if (rule->form == RequiredRule::Form::controls && !rule->keys.empty()) return std::string(rule->keys.keys()[0]);
  }
  return unnamed;
}

// Null first, then byte order; an inclusive start before an exclusive one.
bool earlier_start(const std::vector<AsOfRange>& a, const std::vector<AsOfRange>& b) {
  if (a.empty() || b.empty()) return !a.empty() < !b.empty();
  const AsOfRange& x = a.front();
  const AsOfRange& y = b.front();
  if (x.from != y.from) return !x.from || (y.from && *x.from < *y.from);
  return x.from_inclusive && !y.from_inclusive;
}

bool earlier_as_of(const PackChange& a, const PackChange& b) {
  if (a.every_as_of != b.every_as_of) return a.every_as_of;
  if (a.without_date != b.without_date) return a.without_date;
  return earlier_start(a.ranges, b.ranges);
}

// Everything one stem needs to compare its two versions.
struct StemDiff {
  const std::string& stem;
  RegulatoryQuery query;  // the stem's profile and domain; subject and as_of set per question
  ReachedPack before;
  ReachedPack after;
  std::vector<AsOfRegion> regions;  // cut by both versions' bounds
  std::optional<VersionAnswers> old_answers;
  std::optional<VersionAnswers> new_answers;
  AnswerComparison comparison;

  void add_changes(const std::optional<std::string>& subject, std::size_t dial_index,
                   const std::optional<Strictness>& dial, std::vector<PackChange>& changes) {
    std::vector<AnswerPair> pairs;
    for (std::size_t place = 0; place <= regions.size(); ++place) {
      query.as_of = place == 0 ? std::nullopt : std::optional<std::string>(regions[place - 1].sample);
      const PackAnswer* old_answer = old_answers->answer(query, dial_index, dial);
      const PackAnswer* new_answer = new_answers->answer(query, dial_index, dial);
      if (!comparison.differ(old_answer, new_answer)) continue;
      // Two models can give equal answers; a change is one pair of answers.
      auto pair = std::find_if(pairs.begin(), pairs.end(), [&](const AnswerPair& known) {
        return (known.before == old_answer || *known.before == *old_answer) &&
               (known.after == new_answer || *known.after == *new_answer);
      });
      if (pair == pairs.end()) {
        pairs.push_back({old_answer, new_answer, {}});
        pair = pairs.end() - 1;
      }
      pair->places.push_back(place);
    }
    const std::size_t first = changes.size();
    for (AnswerPair& pair : pairs) changes.push_back(change_of(std::move(pair), subject, dial));
    std::sort(changes.begin() + static_cast<std::ptrdiff_t>(first), changes.end(), earlier_as_of);
  }

  PackChange change_of(AnswerPair pair, const std::optional<std::string>& subject,
                       const std::optional<Strictness>& dial) const {
    PackChange change;
    change.pack = stem;
    change.subject = subject;
    if (dial) change.dial = std::string(dial->text_form());
    change.every_as_of = pair.places.size() == regions.size() + 1;
    change.without_date = pair.places.front() == 0;
    for (std::size_t i = change.without_date ? 1 : 0; i < pair.places.size();) {
      std::size_t j = i;
      while (j + 1 < pair.places.size() && pair.places[j + 1] == pair.places[j] + 1) ++j;
      change.ranges.push_back(joined_range(regions[pair.places[i] - 1], regions[pair.places[j] - 1]));
      i = j + 1;
    }
    const ControlSet named = set_union(pair.before->required.keys, pair.after->required.keys);
    const std::string unnamed = unnamed_control(named, "other_control");
    change.added = required_only_by(pair.after->required, pair.before->required, named, unnamed);
    change.removed = required_only_by(pair.before->required, pair.after->required, named, unnamed);
    change.witness = DiffWitness{
        .profile = query.profile,
        .domain = query.domain,
        .subject = query.subject,
        .universe = {witness_control(change, unnamed)},
        .as_of =
            change.without_date ? std::nullopt : std::optional<std::string>(regions[pair.places.front() - 1].sample),
        .dial = change.dial,
    };
    change.before = *pair.before;
    change.after = *pair.after;
    return change;
  }
};

void add_subjects(const ReachedPack& reached, std::set<std::string>& subjects) {
  if (reached.pack == nullptr) return;
  for (const auto& [name, entry] : reached.pack->subject) subjects.insert(name);
}

void add_bounds(const ReachedPack& reached, std::vector<std::string>& bounds) {
  if (reached.pack == nullptr) return;
  for (const auto& bound : {reached.pack->meta.effective_from, reached.pack->meta.effective_until}) {
    if (bound) bounds.push_back(*bound);
  }
}

}  // namespace

std::optional<std::string> pack_stem(std::string_view key) {
  for (const std::string_view ending : {std::string_view(".zorv.toml"), std::string_view(".toml")}) {
    if (key.size() >= ending.size() && key.substr(key.size() - ending.size()) == ending) {
      const std::string_view stem = key.substr(0, key.size() - ending.size());
      if (stem.find('/') == std::string_view::npos) return std::nullopt;
      return std::string(stem);
    }
  }
  return std::nullopt;
}

PackDiff diff_packs(const PackLookup& before_packs, const std::vector<std::string>& before_keys,
                    const PackLookup& after_packs, const std::vector<std::string>& after_keys) {
  std::set<std::string> stems;
  for (const auto* keys : {&before_keys, &after_keys}) {
    for (const std::string& key : *keys) {
      if (std::optional<std::string> stem = pack_stem(key)) stems.insert(std::move(*stem));
    }
  }
  Version before{before_packs, {}};
  Version after{after_packs, {}};
  const std::array<std::optional<Strictness>, 4> dials = {std::nullopt, Strictness::aggressive(),
                                                          Strictness::as_configured(), Strictness::minimal()};
  PackDiff diff;
  diff.stems = stems.size();
  for (const std::string& stem : stems) {
    // Any split answers alike: the lookup joins profile and domain with "/".
    const std::size_t slash = stem.find('/');
    StemDiff stem_diff{.stem = stem,
                       .query = {.domain = stem.substr(slash + 1),
                                 .profile = stem.substr(0, slash),
                                 .jurisdiction = {},
                                 .subject = {},
                                 .universe = {},
                                 .as_of = std::nullopt},
                       .before = {},
                       .after = {},
                       .regions = {},
                       .old_answers = std::nullopt,
                       .new_answers = std::nullopt,
                       .comparison = {}};
    stem_diff.before = before.reached(stem_diff.query);
    stem_diff.after = after.reached(stem_diff.query);
    if (answers_alike(stem_diff.before, stem_diff.after)) continue;
    stem_diff.old_answers.emplace(stem_diff.before);
    stem_diff.new_answers.emplace(stem_diff.after);

    std::set<std::string> subjects;
    add_subjects(stem_diff.before, subjects);
    add_subjects(stem_diff.after, subjects);
    std::vector<std::string> bounds;
    add_bounds(stem_diff.before, bounds);
    add_bounds(stem_diff.after, bounds);
    stem_diff.regions = as_of_regions(std::move(bounds));
    std::vector<std::string_view> subject_views(subjects.begin(), subjects.end());
    const std::string unlisted = unnamed_control(ControlSet::from_sorted_unique(subject_views), "other_subject");

    const std::size_t first = diff.changes.size();
    std::vector<std::optional<std::string>> classes(subjects.begin(), subjects.end());
    classes.push_back(std::nullopt);
    for (const std::optional<std::string>& subject : classes) {
      stem_diff.query.subject = subject ? *subject : unlisted;
      for (std::size_t dial = 0; dial < dials.size(); ++dial) {
        stem_diff.add_changes(subject, dial, dials[dial], diff.changes);
      }
    }
    if (diff.changes.size() > first) ++diff.changed_stems;
  }
  return diff;
}

}  // namespace zorv
