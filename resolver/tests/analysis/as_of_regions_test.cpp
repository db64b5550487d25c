#include "analysis/as_of_regions.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

// A region written compactly: "(" or "[" for the start, "" for unbounded.
struct Region {
  std::optional<std::string> from;
  bool from_inclusive;
  std::optional<std::string> until;
  bool until_inclusive;
  std::string sample;

  bool operator==(const Region&) const = default;
};

std::vector<Region> regions_of(std::vector<std::string> bounds) {
  std::vector<Region> regions;
  for (const AsOfRegion& region : as_of_regions(std::move(bounds))) {
    const AsOfRange& r = region.range;
    regions.push_back({r.from, r.from_inclusive, r.until, r.until_inclusive, region.sample});
  }
  return regions;
}

const std::string kNul(1, '\0');

TEST(AsOfRegions, CutEveryTextIntoNonEmptyByteRanges) {
  struct Row {
    std::vector<std::string> bounds;
    std::vector<Region> expected;
  };
  const std::vector<Row> rows = {
      {{}, {{std::nullopt, false, std::nullopt, false, "2000-01-01"}}},
      {{"2026-01-01", "2025-01-01", "2026-01-01"},
       {{std::nullopt, false, "2025-01-01", false, "0000-01-01"},
        {"2025-01-01", true, "2025-01-01", true, "2025-01-01"},
        {"2025-01-01", false, "2026-01-01", false, "2025-01-01T12:00:00Z"},
        {"2026-01-01", true, "2026-01-01", true, "2026-01-01"},
        {"2026-01-01", false, std::nullopt, false, "2026-01-01T12:00:00Z"}}},
      // The empty text has nothing below it; "0000" is below the readable sample.
      {{"", "0000"},
       {{"", true, "", true, ""},
        {"", false, "0000", false, kNul},
        {"0000", true, "0000", true, "0000"},
        {"0000", false, std::nullopt, false, "0000T12:00:00Z"}}},
      // Nothing lies strictly between a text and the same text with a NUL after it.
      {{"a", "a" + kNul},
       {{std::nullopt, false, "a", false, "0000-01-01"},
        {"a", true, "a", true, "a"},
        {"a" + kNul, true, "a" + kNul, true, "a" + kNul},
        {"a" + kNul, false, std::nullopt, false, "a" + kNul + "T12:00:00Z"}}},
      // A date-time bound just above a date: the readable sample does not fit.
      {{"2025-01-01", "2025-01-01T09:00:00Z"},
       {{std::nullopt, false, "2025-01-01", false, "0000-01-01"},
        {"2025-01-01", true, "2025-01-01", true, "2025-01-01"},
        {"2025-01-01", false, "2025-01-01T09:00:00Z", false, "2025-01-01" + kNul},
        {"2025-01-01T09:00:00Z", true, "2025-01-01T09:00:00Z", true, "2025-01-01T09:00:00Z"},
        {"2025-01-01T09:00:00Z", false, std::nullopt, false, "2025-01-01T09:00:00ZT12:00:00Z"}}},
  };
  for (const Row& row : rows) EXPECT_EQ(regions_of(row.bounds), row.expected) << testing::PrintToString(row.bounds);
}

}  // namespace
}  // namespace zorv
