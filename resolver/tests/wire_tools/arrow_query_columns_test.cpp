// Arrow data from a producer that does not keep Arrow's rules: the columns
// are built by hand here, as no Arrow library would build them.
#include "wire_tools/arrow_query_columns.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zorv::wire {
namespace {

// One string column of two rows, "ab" and "c", in the layout `format`.
struct Column {
  std::string format;
  std::vector<std::int32_t> offsets;
  std::string data;
  std::vector<char> views;
  std::vector<const void*> buffers;
  ArrowSchema schema{};
  ArrowArray array{};

  Column(const char* name, std::string layout, std::vector<std::int32_t> offsets_, std::string data_)
      : format(std::move(layout)), offsets(std::move(offsets_)), data(std::move(data_)) {
    buffers = {nullptr, offsets.data(), data.data()};
    schema.format = format.c_str();
    schema.name = name;
    array.length = static_cast<std::int64_t>(offsets.size()) - 1;
    array.n_buffers = 3;
    array.buffers = buffers.data();
  }
};

// A view of `length` bytes at `offset` in data buffer `buffer`.
std::vector<char> view(std::int32_t length, std::int32_t buffer, std::int32_t offset) {
  std::vector<char> bytes(16, 0);
  std::memcpy(bytes.data(), &length, 4);
  std::memcpy(bytes.data() + 8, &buffer, 4);
  std::memcpy(bytes.data() + 12, &offset, 4);
  return bytes;
}

struct Batch {
  std::vector<Column> strings;
  Column items{"item", "u", {0, 3, 6}, "mfapin"};
  std::vector<std::int32_t> list_offsets{0, 1, 2};
  std::vector<const void*> list_buffers{nullptr, nullptr};
  ArrowSchema list_schema{};
  ArrowSchema* list_children[1]{};
  ArrowArray list_array{};
  ArrowArray* list_array_children[1]{};
  std::vector<ArrowSchema*> schemas;
  std::vector<ArrowArray*> arrays;
  ArrowSchema schema{};
  ArrowArray array{};

  Batch() {
    strings.reserve(4);  // the columns' arrays point into them: they must not move
    for (const char* name : {"domain", "profile", "jurisdiction", "subject"}) {
      strings.emplace_back(name, "u", std::vector<std::int32_t>{0, 2, 3}, "abc");
    }
  }

  Result<ArrowQueryColumns> read() {
    list_buffers[1] = list_offsets.data();
    list_schema.format = "+l";
    list_schema.name = "universe";
    list_children[0] = &items.schema;
    list_schema.n_children = 1;
    list_schema.children = list_children;
    list_array.length = 2;
    list_array.n_buffers = 2;
    list_array.buffers = list_buffers.data();
    list_array_children[0] = &items.array;
    list_array.n_children = 1;
    list_array.children = list_array_children;
    schemas.clear();
    arrays.clear();
    for (Column& column : strings) {
      schemas.push_back(&column.schema);
      arrays.push_back(&column.array);
    }
    schemas.push_back(&list_schema);
    arrays.push_back(&list_array);
    schema.format = "+s";
    schema.n_children = static_cast<std::int64_t>(schemas.size());
    schema.children = schemas.data();
    array.length = 2;
    array.n_children = static_cast<std::int64_t>(arrays.size());
    array.children = arrays.data();
    return ArrowQueryColumns::read(schema, array, 100);
  }
};

TEST(ArrowQueryColumns, RefusesBuffersOutsideTheirLayout) {
  const struct {
    const char* what;
    void (*change)(Batch&);
    std::string error;  // empty: the batch reads
  } rows[] = {
      {"well formed", [](Batch&) {}, ""},
      {"offsets running backwards", [](Batch& batch) { batch.strings[3].offsets = {0, 2, 1}; },
       "column `subject` at row 101 has text outside its buffers"},
      {"a negative first offset", [](Batch& batch) { batch.strings[0].offsets = {-4, 2, 3}; },
       "column `domain` at row 100 has text outside its buffers"},
      {"list offsets running backwards", [](Batch& batch) { batch.list_offsets = {0, 2, 1}; },
       "column `universe` at row 101 has text outside its buffers"},
      {"a view into a data buffer that is not there",
       [](Batch& batch) {
         Column& column = batch.strings[1];
         column.format = "vu";
         column.schema.format = column.format.c_str();
         column.views = view(2, 0, 0);
         const std::vector<char> far = view(20, 3, 0);
         column.views.insert(column.views.end(), far.begin(), far.end());
         static const std::int64_t sizes[1] = {3};
         column.buffers = {nullptr, column.views.data(), column.data.data(), sizes};
         column.array.n_buffers = 4;
         column.array.buffers = column.buffers.data();
       },
       "column `profile` at row 101 has text outside its buffers"},
      {"a string column with too few buffers", [](Batch& batch) { batch.strings[2].array.n_buffers = 2; },
       "column `jurisdiction` at row 100 has buffers that do not fit its Arrow format"},
      {"a column shorter than the batch", [](Batch& batch) { batch.strings[0].array.length = 1; },
       "column `domain` at row 100 has buffers that do not fit its Arrow format"},
      {"list items with too few buffers", [](Batch& batch) { batch.items.array.n_buffers = 1; },
       "column `universe` at row 100 has buffers that do not fit its Arrow format"},
  };
  for (const auto& row : rows) {
    Batch batch;
    row.change(batch);
    // The change may have moved a column's buffers; point the array at them again.
    for (Column& column : batch.strings) {
      if (column.format == "u") column.buffers = {nullptr, column.offsets.data(), column.data.data()};
      column.array.buffers = column.buffers.data();
    }
    const Result<ArrowQueryColumns> read = batch.read();
    EXPECT_EQ(read.ok() ? "" : read.error().text, row.error) << row.what;
  }
}

}  // namespace
}  // namespace zorv::wire
