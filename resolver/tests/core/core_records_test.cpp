#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "pack/control_set.h"
#include "core/control_universe.h"
#include "core/strictness.h"
#include "support/decision_printing.h"

namespace zorv {
namespace {

TEST(Strictness, ParsesOnlyTheExactNamesAndKeepsEveryOtherText) {
  using Level = Strictness::Level;
  const struct {
    std::string text;
    Level level;
  } rows[] = {
      {"aggressive", Level::aggressive}, {"as_configured", Level::as_configured},
      {"minimal", Level::minimal},       {"Aggressive", Level::unrecognised},
      {" minimal", Level::unrecognised}, {"as-configured", Level::unrecognised},
      {"", Level::unrecognised},         {std::string("minimal\0", 8), Level::unrecognised},
  };
  for (const auto& row : rows) {
    const Strictness dial = Strictness::parse(row.text);
    EXPECT_EQ(dial.level(), row.level) << row.text;
    EXPECT_EQ(dial.text_form(), row.text);
    EXPECT_EQ(Strictness::parse(dial.text_form()), dial) << row.text;
  }
  EXPECT_NE(Strictness::parse("x"), Strictness::parse("y"));
}

TEST(ControlSet, SortsByUnsignedBytesAndDropsRepeats) {
  const struct {
    std::vector<ControlKey> list;
    std::vector<ControlKey> keys;
  } rows[] = {
      {{"b", "a", "b", ""}, {"", "a", "b"}},
      {{"mfa", "MFA"}, {"MFA", "mfa"}},
      {{"\xC3\xA9", "z", "\x7F"}, {"z", "\x7F", "\xC3\xA9"}},
      {{"ab", "a", std::string("a\0", 2)}, {"a", std::string("a\0", 2), "ab"}},
      {{}, {}},
  };
  for (const auto& row : rows) {
    const ControlSet set = ControlSet::from_list(row.list);
    EXPECT_EQ(std::vector<ControlKey>(set.keys().begin(), set.keys().end()), row.keys);
  }
}

// Against a list more than eight times its size a set is looked up key by
// key instead of merged; both ways must give the same difference.
TEST(ControlSet, DifferenceIsTheSameShortOrLong) {
  std::vector<ControlKey> long_list;
  for (int i = 0; i < 40; ++i) long_list.push_back("p" + std::to_string(i));
  std::vector<ControlKey> long_list_but_two;
  std::copy_if(long_list.begin(), long_list.end(), std::back_inserter(long_list_but_two),
               [](const ControlKey& key) { return key != "p1" && key != "p2"; });
  std::sort(long_list_but_two.begin(), long_list_but_two.end());
  const struct {
    std::vector<ControlKey> set;
    std::vector<ControlKey> other;
    std::vector<ControlKey> difference;
  } rows[] = {
      {{"a", "p1", "p39", "z"}, long_list, {"a", "z"}},
      {{"p1", "p2"}, long_list, {}},
      {{}, long_list, {}},
      {long_list, {"p1", "p2"}, long_list_but_two},
      {{"a", "p1", "p39", "z"}, {"p1", "q"}, {"a", "p39", "z"}},
  };
  for (const auto& row : rows) {
    const ControlSet difference = ControlSet::from_list(row.set).difference(ControlSet::from_list(row.other));
    EXPECT_EQ(std::vector<ControlKey>(difference.keys().begin(), difference.keys().end()), row.difference);
  }
}

TEST(ControlSet, CopiesOwnTheirKeys) {
  ControlSet original = ControlSet::from_list({"b", "a", std::string(40, 'x')});
  const ControlSet copy = original;
  ControlSet assigned;
  assigned = copy;
  original = ControlSet::from_list({"z"});
  for (const ControlSet* set : std::initializer_list<const ControlSet*>{&copy, &assigned}) {
    EXPECT_EQ(std::vector<ControlKey>(set->keys().begin(), set->keys().end()),
              (std::vector<ControlKey>{"a", "b", std::string(40, 'x')}));
    EXPECT_NE(set->keys()[0].data(), original.keys()[0].data());
  }
  EXPECT_NE(copy.keys()[0].data(), assigned.keys()[0].data());
  ControlSet moved = std::move(assigned);
  EXPECT_EQ(moved, copy);
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

// Sets built from random keys with long shared prefixes, embedded NULs and
// high bytes hold exactly what a plain sort and unique of the keys gives.
TEST(ControlSet, OrdersLikeAPlainSortOfTheBytes) {
  std::mt19937 random(7);
  const std::string alphabet("a\0\x7f\xc3\xa9Z", 6);
  for (int round = 0; round < 300; ++round) {
    std::vector<ControlKey> keys(random() % 400);
    const std::string shared(random() % 90, 'p');
    for (auto& key : keys) {
      key = random() % 2 ? shared : "";
      const size_t length = random() % 24;
      for (size_t i = 0; i < length; ++i) key += alphabet[random() % alphabet.size()];
    }
    std::vector<ControlKey> expected = keys;
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    const ControlSet set = ControlSet::from_list(keys);
    ASSERT_EQ(std::vector<ControlKey>(set.keys().begin(), set.keys().end()), expected);
  }
}

// A universe keeps the caller's order and repeats until it is the answer;
// kept to a pack list, it gives what a sorted intersection gives.
TEST(ControlUniverse, KeepsPackListsToItWithoutSortingItself) {
  std::mt19937 random(11);
  const std::string alphabet("ab\0\xc3\xa9", 5);
  const auto random_keys = [&](size_t count) {
    std::vector<ControlKey> keys(count);
    for (auto& key : keys) {
      const size_t length = random() % 4;
      for (size_t i = 0; i < length; ++i) key += alphabet[random() % alphabet.size()];
    }
    return keys;
  };
  for (int round = 0; round < 500; ++round) {
    const std::vector<ControlKey> given = random_keys(random() % 60);
    const ControlUniverse universe = ControlUniverse::from_list(given);
    ASSERT_EQ(std::vector<ControlKey>(universe.keys().begin(), universe.keys().end()), given);
    const ControlSet sorted = ControlSet::from_list(given);
    ASSERT_EQ(universe.sorted(), sorted);
    const ControlSet list = ControlSet::from_list(random_keys(random() % 20));
    ASSERT_EQ(universe.members_of(list), list.intersection(sorted));
    ASSERT_EQ(universe.sorted_without(list), sorted.difference(list));
  }
  // Keys that agree on their first fifteen to eighteen bytes sort whole.
  for (int round = 0; round < 200; ++round) {
    std::vector<ControlKey> given = random_keys(random() % 60);
    for (auto& key : given) key = std::string(15 + random() % 4, 'p') + key;
    std::vector<ControlKey> expected = given;
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    const ControlSet sorted = ControlUniverse::from_list(given).sorted();
    ASSERT_EQ(std::vector<ControlKey>(sorted.keys().begin(), sorted.keys().end()), expected);
  }
  const ControlUniverse original = ControlUniverse::from_list({"b", "a", std::string(40, 'x')});
  ControlUniverse copy = original;
  copy = ControlUniverse(copy);
  EXPECT_EQ(copy.keys(), original.keys());
  EXPECT_NE(copy.keys()[2].data(), original.keys()[2].data());
}

}  // namespace
}  // namespace zorv
