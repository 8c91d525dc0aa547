// Helpers shared by the validator's source files and its tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/value.h"
#include "schema/validator.h"

namespace vardel::schema {

// Names with their positions in the array they came from.
using SortedNames = std::vector<std::pair<std::string_view, std::size_t>>;

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

  // The string names of `required` in key order, each with its position in the array; nullptr
  // where the table has not sorted them (see KeywordTable).
  [[nodiscard]] const SortedNames* sorted_required() const { return sorted_required_; }

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

  friend class KeywordTable;

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
  std::uint8_t type_mask_ = 0;  // one bit per Value::Kind, set by `of` when `type` is present
  const SortedNames* sorted_required_ = nullptr;  // set by KeywordTable
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
  std::vector<const json::Member*> keys_;  // open addressing; nullptr marks a free slot
  std::vector<Keywords> keywords_;         // beside keys_
  std::vector<std::unique_ptr<SortedNames>> sorted_required_;  // what the keywords point to
  std::size_t mask_ = 0;
  unsigned shift_ = 63;
};

// A path into the document or the schema, kept as its steps: the "/"-joined text is only built
// when a failure is recorded, not for every value visited.
class Path {
 public:
  Path() { steps_.reserve(32); }

  // Adds a step at the end; its text must outlive the step.
  void push(std::string_view name) { steps_.push_back(Step{name.data(), name.size(), false}); }
  // Adds an array index at the end.
  void push_index(std::size_t index) { steps_.push_back(Step{nullptr, index, true}); }
  // Takes the last step off.
  void pop() { steps_.pop_back(); }

  // Each step after a "/", keys verbatim and indexes in decimal; "" for none.
  [[nodiscard]] std::string text() const;

 private:
  struct Step {
    const char* name;   // nullptr for an index
    std::size_t value;  // the name's size, or the index
    bool is_index;
  };
  std::vector<Step> steps_;
};

// A failure record with the schema path of `keyword` under `schema_path`.
[[nodiscard]] ValidationError make_error(const Path& instance_path, const Path& schema_path,
                                         std::string_view keyword, std::string message,
                                         json::Value instance_value, json::Value schema_value);

}  // namespace vardel::schema
