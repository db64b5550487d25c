#include "wire_tools/arrow_query_columns.h"

#include <cstring>

#include "text/utf8_validation.h"

namespace zorv::wire {
namespace {

bool bit_set(const std::uint8_t* bits, std::int64_t index) {
  return bits == nullptr || ((bits[index >> 3] >> (index & 7)) & 1) != 0;
}

template <class Offset>
Offset load(const void* offsets, std::int64_t index) {
  Offset value;
  std::memcpy(&value, static_cast<const char*>(offsets) + index * static_cast<std::int64_t>(sizeof(Offset)),
              sizeof value);
  return value;
}

ErrorMessage row_error(std::string_view column, std::int64_t row, std::string_view what) {
  return ErrorMessage{"column `" + std::string(column) + "` at row " + std::to_string(row) + " " + std::string(what)};
}

ErrorMessage type_error(std::string_view column, std::int64_t row, std::string_view format, std::string_view wanted) {
  return row_error(column, row, "has Arrow format \"" + std::string(format) + "\", expected " + std::string(wanted));
}

const ArrowSchema* child_named(const ArrowSchema& schema, std::string_view name, std::int64_t& index) {
  for (std::int64_t i = 0; i < schema.n_children; ++i) {
    const ArrowSchema* child = schema.children[i];
    if (child != nullptr && child->name != nullptr && name == child->name) {
      index = i;
      return child;
    }
  }
  return nullptr;
}

constexpr std::string_view kString = "a string (Arrow format \"u\", \"U\" or \"vu\")";
constexpr std::string_view kMalformed = "has text outside its buffers";
constexpr std::string_view kStringList = "a list of strings (Arrow format \"+l\" or \"+L\" of \"u\", \"U\" or \"vu\")";

}  // namespace

std::optional<ArrowStrings::Layout> ArrowStrings::layout_of(std::string_view format) {
  if (format == "u") return Layout::utf8;
  if (format == "U") return Layout::large_utf8;
  if (format == "vu") return Layout::view;
  if (format == "n") return Layout::nulls;
  return std::nullopt;
}

std::optional<ArrowStrings> ArrowStrings::of(Layout layout, const ArrowArray& array, std::int64_t parent_offset) {
  ArrowStrings column;
  column.layout_ = layout;
  column.base_ = array.offset + parent_offset;
  if (layout == Layout::nulls || layout == Layout::absent) return column;
  if (array.buffers == nullptr) return std::nullopt;
  column.validity_ = static_cast<const std::uint8_t*>(array.buffers[0]);
  if (layout == Layout::view) {
    // Validity, the views, the data buffers, then the data buffers' sizes.
    if (array.n_buffers < 3) return std::nullopt;
    column.offsets_ = array.buffers[1];
    column.variadic_ = reinterpret_cast<const char* const*>(array.buffers + 2);
    column.variadic_count_ = array.n_buffers - 3;
  } else {
    if (array.n_buffers != 3) return std::nullopt;
    column.offsets_ = array.buffers[1];
    column.data_ = static_cast<const char*>(array.buffers[2]);
  }
  if (array.length > 0 && column.offsets_ == nullptr) return std::nullopt;
  return column;
}

bool ArrowStrings::is_null(std::int64_t row) const {
  if (layout_ == Layout::absent || layout_ == Layout::nulls) return true;
  return !bit_set(validity_, base_ + row);
}

bool ArrowStrings::well_formed(std::int64_t row) const {
  const std::int64_t index = base_ + row;
  switch (layout_) {
    case Layout::utf8: {
      const auto begin = load<std::int32_t>(offsets_, index);
      return begin >= 0 && load<std::int32_t>(offsets_, index + 1) >= begin;
    }
    case Layout::large_utf8: {
      const auto begin = load<std::int64_t>(offsets_, index);
      return begin >= 0 && load<std::int64_t>(offsets_, index + 1) >= begin;
    }
    case Layout::view: {
      const char* view = static_cast<const char*>(offsets_) + index * 16;
      const auto length = load<std::int32_t>(view, 0);
      if (length <= 12) return length >= 0;
      const auto buffer = load<std::int32_t>(view, 2);
      return buffer >= 0 && buffer < variadic_count_ && variadic_[buffer] != nullptr &&
             load<std::int32_t>(view, 3) >= 0;
    }
    case Layout::absent:
    case Layout::nulls:
      break;
  }
  return false;
}

std::string_view ArrowStrings::at(std::int64_t row) const {
  const std::int64_t index = base_ + row;
  switch (layout_) {
    case Layout::utf8: {
      const auto begin = load<std::int32_t>(offsets_, index);
      const auto end = load<std::int32_t>(offsets_, index + 1);
      return {data_ + begin, static_cast<std::size_t>(end - begin)};
    }
    case Layout::large_utf8: {
      const auto begin = load<std::int64_t>(offsets_, index);
      const auto end = load<std::int64_t>(offsets_, index + 1);
      return {data_ + begin, static_cast<std::size_t>(end - begin)};
    }
    case Layout::view: {
      // 16 bytes: the length, then up to 12 bytes inline, or a 4-byte prefix,
      // the data buffer's index and the offset in it.
      const char* view = static_cast<const char*>(offsets_) + index * 16;
      const auto length = load<std::int32_t>(view, 0);
      if (length <= 12) return {view + 4, static_cast<std::size_t>(length)};
      const auto buffer = load<std::int32_t>(view, 2);
      const auto offset = load<std::int32_t>(view, 3);
      return {variadic_[buffer] + offset, static_cast<std::size_t>(length)};
    }
    case Layout::absent:
    case Layout::nulls:
      break;
  }
  return {};
}

Result<ArrowQueryColumns> ArrowQueryColumns::read(const ArrowSchema& schema, const ArrowArray& array,
                                                  std::int64_t first_row) {
  const std::string_view format = schema.format == nullptr ? "" : schema.format;
  if (format != "+s" || array.n_children != schema.n_children || array.length < 0 ||
      (array.n_children > 0 && array.children == nullptr)) {
    return ErrorMessage{"the batch is not a table of named columns (Arrow format \"" + std::string(format) + "\")"};
  }
  ArrowQueryColumns columns;
  columns.length_ = array.length;

  struct StringField {
    std::string_view name;
    ArrowStrings* column;
    bool nullable;
  };
  const StringField fields[] = {
      {"domain", &columns.domain_, false},
      {"profile", &columns.profile_, false},
      {"jurisdiction", &columns.jurisdiction_, false},
      {"subject", &columns.subject_, false},
      {"as_of", &columns.as_of_, true},
      {"strictness", &columns.strictness_, true},
  };
  for (const StringField& field : fields) {
    std::int64_t index = 0;
    const ArrowSchema* child = child_named(schema, field.name, index);
    if (child == nullptr) {
      if (field.nullable) continue;
      return ErrorMessage{"the batch has no column `" + std::string(field.name) + "`"};
    }
    const std::string_view child_format = child->format == nullptr ? "" : child->format;
    const std::optional<ArrowStrings::Layout> layout = ArrowStrings::layout_of(child_format);
    if (!layout || (*layout == ArrowStrings::Layout::nulls && !field.nullable && array.length > 0)) {
      return type_error(field.name, first_row, child_format, kString);
    }
    const ArrowArray* data = array.children[index];
    std::optional<ArrowStrings> column;
    if (data != nullptr && data->length >= array.offset + array.length)
      column = ArrowStrings::of(*layout, *data, array.offset);
    if (!column) return row_error(field.name, first_row, "has buffers that do not fit its Arrow format");
    *field.column = *column;
  }

  std::int64_t index = 0;
  const ArrowSchema* universe = child_named(schema, "universe", index);
  if (universe == nullptr) return ErrorMessage{"the batch has no column `universe`"};
  const std::string_view list_format = universe->format == nullptr ? "" : universe->format;
  const ArrowSchema* item_schema = universe->n_children == 1 ? universe->children[0] : nullptr;
  const std::string_view item_format =
      item_schema == nullptr || item_schema->format == nullptr ? "" : std::string_view(item_schema->format);
  const ArrowStrings::Layout item_layout = ArrowStrings::layout_of(item_format).value_or(ArrowStrings::Layout::nulls);
  if ((list_format != "+l" && list_format != "+L") || item_layout == ArrowStrings::Layout::nulls) {
    std::string shown(list_format);
    if (item_schema != nullptr && item_schema->format != nullptr) shown += std::string("<") + item_schema->format + ">";
    return type_error("universe", first_row, shown, kStringList);
  }
  const ArrowArray* lists = array.children[index];
  std::optional<ArrowStrings> items;
  if (lists != nullptr && lists->length >= array.offset + array.length && lists->n_buffers == 2 &&
      lists->buffers != nullptr && lists->n_children == 1 && lists->children != nullptr &&
      lists->children[0] != nullptr && (array.length == 0 || lists->buffers[1] != nullptr)) {
    items = ArrowStrings::of(item_layout, *lists->children[0], 0);
  }
  if (!items) return row_error("universe", first_row, "has buffers that do not fit its Arrow format");
  columns.universe_base_ = lists->offset + array.offset;
  columns.universe_validity_ = static_cast<const std::uint8_t*>(lists->buffers[0]);
  columns.universe_offsets_ = lists->buffers[1];
  columns.universe_large_ = list_format == "+L";
  columns.universe_items_ = *items;

  Result<bool> checked = columns.check_rows(first_row);
  if (!checked.ok()) return std::move(checked.error());
  return columns;
}

std::pair<std::int64_t, std::int64_t> ArrowQueryColumns::universe_range(std::int64_t row) const {
  const std::int64_t index = universe_base_ + row;
  if (universe_large_) {
    return {load<std::int64_t>(universe_offsets_, index), load<std::int64_t>(universe_offsets_, index + 1)};
  }
  return {load<std::int32_t>(universe_offsets_, index), load<std::int32_t>(universe_offsets_, index + 1)};
}

Result<bool> ArrowQueryColumns::check_rows(std::int64_t first_row) const {
  struct Checked {
    std::string_view name;
    const ArrowStrings* column;
    bool nullable;
  };
  const Checked checked[] = {
      {"domain", &domain_, false},   {"profile", &profile_, false}, {"jurisdiction", &jurisdiction_, false},
      {"subject", &subject_, false}, {"as_of", &as_of_, true},      {"strictness", &strictness_, true},
  };
  for (std::int64_t row = 0; row < length_; ++row) {
    const std::int64_t shown_row = first_row + row;
    for (const Checked& field : checked) {
      if (field.column->is_null(row)) {
        if (field.nullable) continue;
        return row_error(field.name, shown_row, "is null, expected a string");
      }
      if (!field.column->well_formed(row)) return row_error(field.name, shown_row, kMalformed);
      if (!text::is_valid_utf8(field.column->at(row))) return row_error(field.name, shown_row, "is not valid UTF-8");
    }
    if (!bit_set(universe_validity_, universe_base_ + row)) {
      return row_error("universe", shown_row, "is null, expected a list of strings");
    }
    const auto [begin, end] = universe_range(row);
    if (begin < 0 || end < begin) return row_error("universe", shown_row, kMalformed);
    for (std::int64_t item = begin; item < end; ++item) {
      if (universe_items_.is_null(item)) return row_error("universe", shown_row, "holds a null, expected strings");
      if (!universe_items_.well_formed(item)) return row_error("universe", shown_row, kMalformed);
      if (!text::is_valid_utf8(universe_items_.at(item))) return row_error("universe", shown_row, "is not valid UTF-8");
    }
  }
  return true;
}

void ArrowQueryColumns::fill_query(std::int64_t row, RegulatoryQuery& query,
                                   std::vector<std::string_view>& keys) const {
  query.domain.assign(domain_.at(row));
  query.profile.assign(profile_.at(row));
  query.jurisdiction.assign(jurisdiction_.at(row));
  query.subject.assign(subject_.at(row));
  if (as_of_.is_null(row)) {
    query.as_of.reset();
  } else {
    query.as_of.emplace(as_of_.at(row));
  }
  keys.clear();
  const auto [begin, end] = universe_range(row);
  for (std::int64_t item = begin; item < end; ++item) keys.push_back(universe_items_.at(item));
  query.universe = ControlUniverse::from_views(keys);
}

std::optional<std::string_view> ArrowQueryColumns::strictness(std::int64_t row) const {
  if (strictness_.is_null(row)) return std::nullopt;
  return strictness_.at(row);
}

}  // namespace zorv::wire
