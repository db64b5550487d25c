// AsOfRegion: the pieces that a set of date bounds cuts the texts of `as_of`
// into. Bounds and `as_of` are compared as plain bytes, so the pieces are
// byte-string ranges: each bound on its own, and the open stretches below,
// between and above them. Every text falls in exactly one piece, and two
// texts in one piece compare the same way with every bound, so a decision
// that only compares `as_of` with these bounds answers alike for both.
//
// Pure functions; safe to call from many threads at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorv {

// A stretch of texts in byte order; an absent end is unbounded.
struct AsOfRange {
  std::optional<std::string> from;
  bool from_inclusive = false;
  std::optional<std::string> until;
  bool until_inclusive = false;

  bool operator==(const AsOfRange&) const = default;
};

struct AsOfRegion {
  AsOfRange range;
  std::string sample;  // one text inside the range, for a query to carry
};

// The non-empty regions cut by `bounds` (in any order, repeats allowed), in
// ascending byte order. Together they hold every text; with no bounds, one
// unbounded region.
std::vector<AsOfRegion> as_of_regions(std::vector<std::string> bounds);

// `first` through `last` (ascending, adjacent in as_of_regions' list) as one
// range.
AsOfRange joined_range(const AsOfRegion& first, const AsOfRegion& last);

}  // namespace zorv
