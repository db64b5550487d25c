#include "analysis/pack_diff.h"

#include <algorithm>
#include <array>
#include <deque>
#include <set>

#include "core/in_memory_regulatory_policy_adapter.h"

namespace zorv {
namespace {

// The pack one version answers a stem's queries from: the key found and the
// pack read from it (null when it is not a pack), or no key at all.
struct ReachedPack {
  std::optional<std::string> key;
  const PolicyPackToml* pack = nullptr;

  bool answers_like(const ReachedPack& other) const {
    if (key != other.key) return false;
    if (pack == nullptr || other.pack == nullptr) return pack == other.pack;
    return *pack == *other.pack;
  }
};

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

// A pair of differing answers and the places (0: no `as_of`; i > 0: the
// region i - 1) where it holds.
struct AnswerPair {
  PackAnswer before;
  PackAnswer after;
  std::vector<std::size_t> places;
};

// The keys `first` requires and `second` does not, written as a rule: the
// stand-in (a key neither names) says whether it is all but some keys.
RequiredRule required_only_by(const RequiredRule& first, const RequiredRule& second, const ControlSet& named,
                              std::string_view stand_in) {
  const auto only_first = [&](std::string_view key) { return first.requires_key(key) && !second.requires_key(key); };
  const bool all_except = only_first(stand_in);
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

// One version's answers to one subject and dial, by where `as_of` falls
// among that version's own bounds: the decision compares `as_of` with those
// alone, so the regions both versions' bounds cut need fewer decisions.
class AnswersByPlace {
 public:
  AnswersByPlace(const RegulatoryPolicyPort& port, const std::vector<std::string>& bounds)
      : port_(port), bounds_(bounds) {}

  const PackAnswer& answer(const SymbolicQuery& symbolic) {
    std::vector<int> place;
    if (symbolic.query.as_of) {
      for (const std::string& bound : bounds_) place.push_back(symbolic.query.as_of->compare(bound) < 0 ? -1 : *symbolic.query.as_of == bound ? 0 : 1);
    } else {
      place.push_back(2);
    }
    for (const auto& [known, answer] : known_) {
      if (known == place) return answer;
    }
    known_.emplace_back(std::move(place), symbolic.answer(port_));
    return known_.back().second;
  }

 private:
  const RegulatoryPolicyPort& port_;
  const std::vector<std::string>& bounds_;
  std::deque<std::pair<std::vector<int>, PackAnswer>> known_;
};

// Everything one stem needs to compare its two versions.
struct StemDiff {
  const std::string& stem;
  SymbolicQuery symbolic;  // the stem's query; subject and as_of set per question
  std::vector<AsOfRegion> regions;
  std::string unnamed;
  std::vector<std::string> old_bounds;
  std::vector<std::string> new_bounds;

  void add_changes(Version& before, Version& after, const std::optional<std::string>& subject,
                   const std::optional<Strictness>& dial, std::vector<PackChange>& changes) {
    const InMemoryRegulatoryPolicyAdapter before_port(dial, before.packs, before.cache);
    const InMemoryRegulatoryPolicyAdapter after_port(dial, after.packs, after.cache);
    AnswersByPlace old_answers(before_port, old_bounds);
    AnswersByPlace new_answers(after_port, new_bounds);
    std::vector<AnswerPair> pairs;
    for (std::size_t place = 0; place <= regions.size(); ++place) {
      symbolic.query.as_of = place == 0 ? std::nullopt : std::optional<std::string>(regions[place - 1].sample);
      const PackAnswer& old_answer = old_answers.answer(symbolic);
      const PackAnswer& new_answer = new_answers.answer(symbolic);
      if (old_answer == new_answer) continue;
      auto pair = std::find_if(pairs.begin(), pairs.end(), [&](const AnswerPair& known) {
        return known.before == old_answer && known.after == new_answer;
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
    const RegulatoryQuery& query = symbolic.query;
    change.added = required_only_by(pair.after.required, pair.before.required, symbolic.named, unnamed);
    change.removed = required_only_by(pair.before.required, pair.after.required, symbolic.named, unnamed);
    change.witness = DiffWitness{
        .profile = query.profile,
        .domain = query.domain,
        .subject = query.subject,
        .universe = {witness_control(change, unnamed)},
        .as_of = change.without_date ? std::nullopt
                                     : std::optional<std::string>(regions[pair.places.front() - 1].sample),
        .dial = change.dial,
    };
    change.before = std::move(pair.before);
    change.after = std::move(pair.after);
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

ControlSet named_in(const ReachedPack& reached, std::string_view subject) {
  return reached.pack == nullptr ? ControlSet() : controls_named_for(*reached.pack, subject);
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
    RegulatoryQuery query{.domain = stem.substr(slash + 1),
                          .profile = stem.substr(0, slash),
                          .jurisdiction = {},
                          .subject = {},
                          .universe = {},
                          .as_of = std::nullopt};
    const ReachedPack old_pack = before.reached(query);
    const ReachedPack new_pack = after.reached(query);
    // The answers are a function of the key and the pack read from it.
    if (old_pack.answers_like(new_pack)) continue;

    std::set<std::string> subjects;
    add_subjects(old_pack, subjects);
    add_subjects(new_pack, subjects);
    std::vector<std::string> old_bounds;
    std::vector<std::string> new_bounds;
    add_bounds(old_pack, old_bounds);
    add_bounds(new_pack, new_bounds);
    std::vector<std::string> bounds = old_bounds;
    bounds.insert(bounds.end(), new_bounds.begin(), new_bounds.end());
    StemDiff stem_diff{stem, SymbolicQuery(std::move(query), {}), as_of_regions(std::move(bounds)), {},
                       std::move(old_bounds), std::move(new_bounds)};
    std::vector<std::string_view> subject_views(subjects.begin(), subjects.end());
    const std::string unlisted = unnamed_control(ControlSet::from_sorted_unique(subject_views), "other_subject");

    const std::size_t first = diff.changes.size();
    std::vector<std::optional<std::string>> classes(subjects.begin(), subjects.end());
    classes.push_back(std::nullopt);
    for (const std::optional<std::string>& subject : classes) {
      const std::string& name = subject ? *subject : unlisted;
      RegulatoryQuery query_about = stem_diff.symbolic.query;
      query_about.subject = name;
      stem_diff.symbolic = SymbolicQuery(std::move(query_about),
                                         set_union(named_in(old_pack, name), named_in(new_pack, name)));
      stem_diff.unnamed = unnamed_control(stem_diff.symbolic.named, "other_control");
      for (const std::optional<Strictness>& dial : dials) {
        stem_diff.add_changes(before, after, subject, dial, diff.changes);
      }
    }
    if (diff.changes.size() > first) ++diff.changed_stems;
  }
  return diff;
}

}  // namespace zorv
