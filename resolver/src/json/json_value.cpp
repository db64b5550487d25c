#include "json/json_value.h"

namespace zorv::json {

JsonArray string_array(const std::vector<std::string>& items) {
  JsonArray array;
  array.reserve(items.size());
  for (const auto& item : items) array.emplace_back(item);
  return array;
}

}  // namespace zorv::json
