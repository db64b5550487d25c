#include "json/json_value.h"

namespace zorv::json {

JsonArray string_array(const std::vector<std::string>& items) {
  JsonArray array;
  array.reserve(items.size());
  for (const auto& item : items) array.emplace_back(item);
  return array;
}

JsonArray borrowed_string_array(const std::vector<std::string_view>& items) {
  JsonArray array;
  array.reserve(items.size());
  for (const std::string_view item : items) array.push_back(JsonValue::borrowed(item));
  return array;
}

}  // namespace zorv::json
