// Helpers shared by the validator's source files and its tests.
#pragma once

#include <string>
#include <string_view>

#include "json/value.h"
#include "schema/validator.h"

namespace vardel::schema {

// The keywords of one schema object, found in one pass over its members; nullptr where absent.
// The pointers are into the schema object.
struct Keywords {
  const json::Value* type = nullptr;
  const json::Value* minimum = nullptr;
  const json::Value* maximum = nullptr;
  const json::Value* multiple_of = nullptr;
  const json::Value* min_length = nullptr;
  const json::Value* max_length = nullptr;
  const json::Value* pattern = nullptr;
  const json::Value* format = nullptr;
  const json::Value* min_items = nullptr;
  const json::Value* max_items = nullptr;
  const json::Value* unique_items = nullptr;
  const json::Value* items = nullptr;
  const json::Value* min_properties = nullptr;
  const json::Value* max_properties = nullptr;
  const json::Value* required = nullptr;
  const json::Value* properties = nullptr;
  const json::Value* additional_properties = nullptr;
  const json::Value* enum_values = nullptr;
  const json::Value* const_value = nullptr;

  [[nodiscard]] static Keywords of(const json::Object& schema);
};

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
