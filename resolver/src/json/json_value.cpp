#include "json/json_value.h"

namespace zorv::json {

namespace {

template <class Items>
JsonArray strings(const Items& items) {
  JsonArray array;
  array.reserve(items.size());
  for (const auto& item : items) array.emplace_back(std::string(item));
  return array;
}

}  // namespace

JsonArray string_array(const std::vector<std::string>& items) { return strings(items); }
JsonArray string_array(const std::vector<std::string_view>& items) { return strings(items); }

}  // namespace zorv::json
