// ArrowQueryColumns: the queries of one Arrow record batch, read in place
// from its columns through the Arrow C data interface (arrow_c_data.h),
// row by row, without copying the batch.
//
// The batch is a struct array whose children are named columns: `domain`,
// `profile`, `jurisdiction`, `subject` (strings, never null), `universe`
// (a list of strings, neither the list nor an item null), `as_of` (string,
// nullable; a missing column is all null) and `strictness` (string,
// nullable; missing is all null). Strings may be in any of Arrow's three
// layouts (utf8 "u", large_utf8 "U", utf8_view "vu"); lists in list "+l" or
// large_list "+L"; a nullable column may also be of the null type "n".
// Other columns are ignored.
//
// `read` checks every row before any is used: a column of another type, a
// null where a string is required, or text that is not UTF-8 is an error
// naming the column and the row, counted from the batch's `first_row`.
// After a successful read every row can be decided without a further check.
// The columns borrow the producer's buffers, which must outlive them; they
// never change, so any number of threads may read them at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/regulatory_query.h"
#include "wire_tools/arrow_c_data.h"
#include "wire/result.h"

namespace zorv::wire {

// One string column in any of the accepted layouts; an absent column reads
// as all null.
class ArrowStrings {
 public:
  enum class Layout { absent, nulls, utf8, large_utf8, view };

  ArrowStrings() = default;
  // The layout for an Arrow format text, or nullopt for any other type.
  static std::optional<Layout> layout_of(std::string_view format);
  // The column `array`, a child of a parent whose own offset is
  // `parent_offset`; nullopt when its buffers do not fit the layout.
  static std::optional<ArrowStrings> of(Layout layout, const ArrowArray& array, std::int64_t parent_offset);

  bool is_null(std::int64_t row) const;
  // Whether a row that is not null points at bytes its layout allows:
  // offsets in order, a view into one of the column's data buffers.
  bool well_formed(std::int64_t row) const;
  // The text at a row that is not null and well formed.
  std::string_view at(std::int64_t row) const;

 private:
  Layout layout_ = Layout::absent;
  std::int64_t base_ = 0;  // the row's index in the buffers is base_ + row
  const std::uint8_t* validity_ = nullptr;
  const void* offsets_ = nullptr;  // int32 or int64 offsets, or the 16-byte views
  const char* data_ = nullptr;
  const char* const* variadic_ = nullptr;  // the views' data buffers
  std::int64_t variadic_count_ = 0;
};

class ArrowQueryColumns {
 public:
  // Reads and checks the batch `array` of schema `schema`, whose first row
  // is row `first_row` of everything the caller reads.
  static Result<ArrowQueryColumns> read(const ArrowSchema& schema, const ArrowArray& array, std::int64_t first_row);

  std::int64_t length() const { return length_; }

  // Fills `query` with the query of `row` (0 <= row < length()); `keys` is
  // scratch space that a caller keeps from row to row.
  void fill_query(std::int64_t row, RegulatoryQuery& query, std::vector<std::string_view>& keys) const;
  // The row's own strictness, or nullopt when it has none.
  std::optional<std::string_view> strictness(std::int64_t row) const;

 private:
  std::int64_t length_ = 0;
  ArrowStrings domain_, profile_, jurisdiction_, subject_, as_of_, strictness_;
  // The universe lists: their validity and offsets, then their items.
  std::int64_t universe_base_ = 0;
  const std::uint8_t* universe_validity_ = nullptr;
  const void* universe_offsets_ = nullptr;
  bool universe_large_ = false;
  ArrowStrings universe_items_;

  // Where the items of a row's universe are, as [begin, end) item indices.
  std::pair<std::int64_t, std::int64_t> universe_range(std::int64_t row) const;
  Result<bool> check_rows(std::int64_t first_row) const;
};

}  // namespace zorv::wire
