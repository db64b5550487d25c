#include "analysis/as_of_regions.h"

#include <algorithm>

namespace zorv {
namespace {

// A readable sample strictly above `low` (and below `high`, when given):
// dated bounds read best with a time of day after them. Falls back to the
// very next text after `low`, which is `low` followed by a NUL byte.
std::optional<std::string> sample_above(const std::string& low, const std::optional<std::string>& high) {
  for (std::string candidate : {low + "T12:00:00Z", low + std::string(1, '\0')}) {
    if (!high || candidate < *high) return candidate;
  }
  return std::nullopt;  // nothing lies strictly between `low` and `high`
}

}  // namespace

std::vector<AsOfRegion> as_of_regions(std::vector<std::string> bounds) {
  std::sort(bounds.begin(), bounds.end());
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
  std::vector<AsOfRegion> regions;
  if (bounds.empty()) {
    regions.push_back({AsOfRange{}, "2000-01-01"});
    return regions;
  }
  // Below the lowest bound: empty only when that bound is the empty text.
  if (!bounds.front().empty()) {
    const std::string readable = "0000-01-01";
    regions.push_back({AsOfRange{.from = std::nullopt, .until = bounds.front()},
                       readable < bounds.front() ? readable : std::string()});
  }
  for (std::size_t i = 0; i < bounds.size(); ++i) {
    const std::string& bound = bounds[i];
    regions.push_back(
        {AsOfRange{.from = bound, .from_inclusive = true, .until = bound, .until_inclusive = true}, bound});
    std::optional<std::string> next;
    if (i + 1 < bounds.size()) next = bounds[i + 1];
    if (std::optional<std::string> sample = sample_above(bound, next)) {
      regions.push_back({AsOfRange{.from = bound, .until = next}, std::move(*sample)});
    }
  }
  return regions;
}

AsOfRange joined_range(const AsOfRegion& first, const AsOfRegion& last) {
  return AsOfRange{.from = first.range.from,
                   .from_inclusive = first.range.from_inclusive,
                   .until = last.range.until,
                   .until_inclusive = last.range.until_inclusive};
}

}  // namespace zorv
