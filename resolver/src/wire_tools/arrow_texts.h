// ArrowTexts: the texts of one run of rows of an Arrow string column, and
// the writing of the column's buffers from runs in row order: 32-bit
// offsets from 0 (Arrow's `string` layout) and the bytes. A column of lists
// of strings keeps its items as texts and, per row, the count of items so
// far; its list offsets are written the same way.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::wire {

struct ArrowTexts {
  std::string data;
  std::vector<std::uint64_t> ends;  // where each text ends in `data`

  void add(std::string_view text) {
    data += text;
    ends.push_back(data.size());
  }
};

namespace arrow_buffers {

template <class Value>
void put(char*& out, Value value) {
  std::memcpy(out, &value, sizeof value);
  out += sizeof value;
}

// The offsets of the texts `texts(run)` of every run, from 0.
template <class Runs, class Texts>
void write_offsets(const Runs& runs, Texts texts, char* out) {
  std::uint64_t base = 0;
  put(out, std::int32_t{0});
  for (const auto& run : runs) {
    const ArrowTexts& own = texts(run);
    for (const std::uint64_t end : own.ends) put(out, static_cast<std::int32_t>(base + end));
    base += own.data.size();
  }
}

template <class Runs, class Texts>
void write_data(const Runs& runs, Texts texts, char* out) {
  for (const auto& run : runs) {
    const std::string& data = texts(run).data;
    std::memcpy(out, data.data(), data.size());
    out += data.size();
  }
}

// The list offsets of a list column whose runs hold the items `items(run)`
// and the items so far per row `list_ends(run)`.
template <class Runs, class Items, class ListEnds>
void write_list_offsets(const Runs& runs, Items items, ListEnds list_ends, char* out) {
  std::uint64_t base = 0;
  put(out, std::int32_t{0});
  for (const auto& run : runs) {
    for (const std::uint64_t end : list_ends(run)) put(out, static_cast<std::int32_t>(base + end));
    base += items(run).ends.size();
  }
}

template <class Runs, class Texts>
std::size_t data_size(const Runs& runs, Texts texts) {
  std::size_t total = 0;
  for (const auto& run : runs) total += texts(run).data.size();
  return total;
}

template <class Runs, class Texts>
std::size_t count(const Runs& runs, Texts texts) {
  std::size_t total = 0;
  for (const auto& run : runs) total += texts(run).ends.size();
  return total;
}

}  // namespace arrow_buffers
}  // namespace zorv::wire
