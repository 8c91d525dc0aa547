// Helpers shared by the validator's source files and its tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/value.h"
#include "schema/validator.h"

namespace vardel::schema {

// The keywords of one schema object, found in one pass over its members; nullptr where absent.
// The pointers are into the schema object. Only the presence bits start zeroed, not the slots:
// this is made for every value validated, and clearing all slots showed in profiles.
class Keywords {
 public:
  Keywords() = default;  // none present
  [[nodiscard]] static Keywords of(const json::Object& schema);

  [[nodiscard]] const json::Value* type() const { return get(Slot::type); }
  [[nodiscard]] const json::Value* minimum() const { return get(Slot::minimum); }
  [[nodiscard]] const json::Value* maximum() const { return get(Slot::maximum); }
  [[nodiscard]] const json::Value* multiple_of() const { return get(Slot::multiple_of); }
  [[nodiscard]] const json::Value* min_length() const { return get(Slot::min_length); }
  [[nodiscard]] const json::Value* max_length() const { return get(Slot::max_length); }
  [[nodiscard]] const json::Value* pattern() const { return get(Slot::pattern); }
  [[nodiscard]] const json::Value* format() const { return get(Slot::format); }
  [[nodiscard]] const json::Value* min_items() const { return get(Slot::min_items); }
  [[nodiscard]] const json::Value* max_items() const { return get(Slot::max_items); }
  [[nodiscard]] const json::Value* unique_items() const { return get(Slot::unique_items); }
  [[nodiscard]] const json::Value* items() const { return get(Slot::items); }
  [[nodiscard]] const json::Value* min_properties() const { return get(Slot::min_properties); }
  [[nodiscard]] const json::Value* max_properties() const { return get(Slot::max_properties); }
  [[nodiscard]] const json::Value* required() const { return get(Slot::required); }
  [[nodiscard]] const json::Value* properties() const { return get(Slot::properties); }
  [[nodiscard]] const json::Value* additional_properties() const {
    return get(Slot::additional_properties);
  }
  [[nodiscard]] const json::Value* enum_values() const { return get(Slot::enum_values); }
  [[nodiscard]] const json::Value* const_value() const { return get(Slot::const_value); }

  // With a `type` keyword: whether it lets a value of this kind through. A `type` that is
  // neither a string nor an array lets everything through.
  [[nodiscard]] bool type_accepts(json::Value::Kind kind) const {
    return (type_mask_ >> static_cast<unsigned>(kind) & 1U) != 0;
  }

 private:
  enum class Slot : std::uint8_t {
    type,
    minimum,
    maximum,
    multiple_of,
    min_length,
    max_length,
    pattern,
    format,
    min_items,
    max_items,
    unique_items,
    items,
    min_properties,
    max_properties,
    required,
    properties,
    additional_properties,
    enum_values,
    const_value,
  };

  [[nodiscard]] const json::Value* get(Slot slot) const {
    const auto i = static_cast<std::size_t>(slot);
    return (present_ >> i & 1U) != 0 ? slots_[i] : nullptr;
  }
  void set(Slot slot, const json::Value* value) {
    const auto i = static_cast<std::size_t>(slot);
    slots_[i] = value;
    present_ |= std::uint32_t{1} << i;
  }

  std::uint32_t present_ = 0;
  std::uint8_t type_mask_ = 0;    // one bit per Value::Kind, set by `of` when `type` is present
  const json::Value* slots_[19];  // only those whose presence bit is set hold a value
};

// The keywords of every object in a schema, found once when the validator is made, so that
// validating a value does not go through its schema's members again. An object is known by the
// address of its first member, which stays put when the schema value is moved.
class KeywordTable {
 public:
  explicit KeywordTable(const json::Value& schema);

  // The keywords of the object, or nullptr for an object the table does not hold (an empty one,
  // or one of another schema).
  [[nodiscard]] const Keywords* find(const json::Object& object) const {
    if (object.empty()) {
      return nullptr;
    }
    const json::Member* key = &*object.begin();
    for (std::size_t i = slot_of(key);; i = (i + 1) & mask_) {
      if (keys_[i] == key) {
        return &keywords_[i];
      }
      if (keys_[i] == nullptr) {
        return nullptr;
      }
    }
  }

 private:
  [[nodiscard]] std::size_t slot_of(const json::Member* key) const {
    const auto address = reinterpret_cast<std::uintptr_t>(key);
    return static_cast<std::size_t>((address >> 3) * 0x9E3779B97F4A7C15ULL >> shift_) & mask_;
  }
  void add(const json::Value& value);

  std::vector<const json::Member*> keys_;  // open addressing; nullptr marks a free slot
  std::vector<Keywords> keywords_;         // beside keys_
  std::size_t mask_ = 0;
  unsigned shift_ = 63;
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
