// Helpers shared by the validator's source files and its tests.
#pragma once

#include <string>
#include <string_view>

#include "json/value.h"
#include "schema/validator.h"

namespace vardel::schema {

// A failure record with the schema path of `keyword` under `schema_path`.
[[nodiscard]] ValidationError make_error(const std::string& instance_path,
                                         const std::string& schema_path, std::string_view keyword,
                                         std::string message, json::Value instance_value,
                                         json::Value schema_value);

// Appends "/" and `step` to a path buffer; the returned size cuts it back.
inline std::size_t push_step(std::string& path, std::string_view step) {
  std::size_t size = path.size();
  path += '/';
  path += step;
  return size;
}

}  // namespace vardel::schema
