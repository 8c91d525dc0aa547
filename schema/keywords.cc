// The keyword checks: type, the number, string, array and object groups, enum and const.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "json/json.h"
#include "regex/regex.h"
#include "schema/validator.h"
#include "schema/validator_internal.h"

namespace vardel::schema {

namespace {

using json::compare_keys;
using json::Value;

// The texts of the string elements, in order; the views point into `elements`.
std::vector<std::string_view> collect_type_names(const json::Array& elements) {
  std::vector<std::string_view> names;
  for (const Value& element : elements) {
    if (element.is_string()) {
      names.push_back(element.as_string());
    }
  }
  return names;
}

std::string_view actual_type_name(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::null:
      return "null";
    case Value::Kind::boolean:
      return "boolean";
    case Value::Kind::unsigned_integer:
    case Value::Kind::signed_integer:
    case Value::Kind::floating:
      return "number";
    case Value::Kind::string:
      return "string";
    case Value::Kind::array:
      return "array";
    case Value::Kind::object:
      return "object";
  }
  return "null";
}

// The kinds a type name lets through, one bit per Value::Kind; none for an unknown name.
std::uint8_t kinds_of_type(std::string_view name) {
  auto bit = [](Value::Kind kind) {
    return static_cast<std::uint8_t>(1U << static_cast<unsigned>(kind));
  };
  const std::uint8_t integers =
      bit(Value::Kind::unsigned_integer) | bit(Value::Kind::signed_integer);
  if (name == "null") {
    return bit(Value::Kind::null);
  }
  if (name == "boolean") {
    return bit(Value::Kind::boolean);
  }
  if (name == "integer") {
    return integers;
  }
  if (name == "number") {
    return integers | bit(Value::Kind::floating);
  }
  if (name == "string") {
    return bit(Value::Kind::string);
  }
  if (name == "array") {
    return bit(Value::Kind::array);
  }
  if (name == "object") {
    return bit(Value::Kind::object);
  }
  return 0;
}

std::uint8_t kinds_of_type(const Value& type) {
  if (type.is_string()) {
    return kinds_of_type(type.as_string());
  }
  if (!type.is_array()) {
    return 0xFF;
  }
  std::uint8_t kinds = 0;
  for (const Value& element : type.as_array()) {
    if (element.is_string()) {
      kinds |= kinds_of_type(element.as_string());
    }
  }
  return kinds;
}

// An integer form becomes the nearest double (ties to even, the conversion's default rounding).
double double_view(const Value& number) {
  switch (number.kind()) {
    case Value::Kind::unsigned_integer:
      return static_cast<double>(number.as_unsigned());
    case Value::Kind::signed_integer:
      return static_cast<double>(number.as_signed());
    case Value::Kind::floating:
      return number.as_double();
    case Value::Kind::null:
    case Value::Kind::boolean:
    case Value::Kind::string:
    case Value::Kind::array:
    case Value::Kind::object:
      break;
  }
  return 0.0;
}

// The limit of a count or length keyword: only a number held as an unsigned integer counts.
std::optional<std::uint64_t> unsigned_limit(const Value* limit) {
  if (limit == nullptr || limit->kind() != Value::Kind::unsigned_integer) {
    return std::nullopt;
  }
  return limit->as_unsigned();
}

// Strings hold valid UTF-8, so every byte that is not a continuation byte starts a code point.
std::uint64_t code_point_count(std::string_view text) {
  std::uint64_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++count;
    }
  }
  return count;
}

std::string expected_types(const std::vector<std::string_view>& names) {
  if (names.size() == 1) {
    return std::string(names.front());
  }
  std::string text = "one of [";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      text += ", ";
    }
    text += names[i];
  }
  text += ']';
  return text;
}

}  // namespace

namespace {

// Whether `key`, already known to have the word's length, is that word; a fixed-size compare
// the compiler turns into a few integer comparisons.
template <std::size_t N>
bool is_word(std::string_view key, const char (&word)[N]) {
  return std::memcmp(key.data(), word, N - 1) == 0;
}

// Moves `next` past the members ordered before `key` and returns the member with that key, or
// nullptr. Called with increasing keys, it walks two objects side by side in one pass.
const json::Member* advance_to(json::Object::const_iterator& next, json::Object::const_iterator end,
                               std::string_view key) {
  for (; next != end; ++next) {
    const int order = compare_keys(next->key, key);
    if (order == 0) {
      return &*next;
    }
    if (order > 0) {
      return nullptr;
    }
  }
  return nullptr;
}

// Asks for the cache lines of an object's members at once. A large document lies far outside
// the cache, and the binary searches of `required` would otherwise wait for one line after the
// other; the walks that follow read the same lines.
void prefetch_members(const json::Object& members) {
  if (members.empty()) {
    return;
  }
  const char* first = reinterpret_cast<const char*>(&*members.begin());
  const char* end = first + members.size() * sizeof(json::Member);
  constexpr std::size_t LINE = 64;
  for (const char* line = first; line < end; line += LINE) {
    __builtin_prefetch(line);
  }
}

// The index of the first item that repeats an earlier one, if any. Items repeat each other
// exactly when their compact texts are the same bytes: this keeps 1 apart from 1.0 and 0.0 apart
// from -0.0. Two strings have the same compact text exactly when they are the same string, so a
// short array of strings is compared pair by pair, without writing a text or filling a set.
std::optional<std::size_t> first_repeated_item(const json::Array& items) {
  constexpr std::size_t PAIRWISE_LIMIT = 16;
  if (items.size() <= PAIRWISE_LIMIT &&
      std::ranges::all_of(items, [](const Value& item) { return item.is_string(); })) {
    for (std::size_t i = 1; i < items.size(); ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        if (items[i].as_string() == items[j].as_string()) {
          return i;
        }
      }
    }
    return std::nullopt;
  }
  std::unordered_set<std::string> seen;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!seen.insert(json::write_compact(items[i])).second) {
      return i;
    }
  }
  return std::nullopt;
}

bool has_member(const json::Object& members, std::string_view key) {
  auto it = std::lower_bound(
      members.begin(), members.end(), key,
      [](const json::Member& m, std::string_view k) { return compare_keys(m.key, k) < 0; });
  return it != members.end() && compare_keys(it->key, key) == 0;
}

}  // namespace

Keywords Keywords::of(const json::Object& schema) {
  Keywords k;
  for (const json::Member& member : schema) {
    const std::string_view key = member.key;
    const Value* value = &member.value;
    // Dispatch on the length first: most schema members are keywords, and few share a length.
    switch (key.size()) {
      case 4:
        if (is_word(key, "type")) {
          k.set(Slot::type, value);
        } else if (is_word(key, "enum")) {
          k.set(Slot::enum_values, value);
        }
        break;
      case 5:
        if (is_word(key, "const")) {
          k.set(Slot::const_value, value);
        } else if (is_word(key, "items")) {
          k.set(Slot::items, value);
        }
        break;
      case 6:
        if (is_word(key, "format")) {
          k.set(Slot::format, value);
        }
        break;
      case 7:
        if (is_word(key, "minimum")) {
          k.set(Slot::minimum, value);
        } else if (is_word(key, "maximum")) {
          k.set(Slot::maximum, value);
        } else if (is_word(key, "pattern")) {
          k.set(Slot::pattern, value);
        }
        break;
      case 8:
        if (is_word(key, "required")) {
          k.set(Slot::required, value);
        } else if (is_word(key, "minItems")) {
          k.set(Slot::min_items, value);
        } else if (is_word(key, "maxItems")) {
          k.set(Slot::max_items, value);
        }
        break;
      case 9:
        if (is_word(key, "minLength")) {
          k.set(Slot::min_length, value);
        } else if (is_word(key, "maxLength")) {
          k.set(Slot::max_length, value);
        }
        break;
      case 10:
        if (is_word(key, "multipleOf")) {
          k.set(Slot::multiple_of, value);
        } else if (is_word(key, "properties")) {
          k.set(Slot::properties, value);
        }
        break;
      case 11:
        if (is_word(key, "uniqueItems")) {
          k.set(Slot::unique_items, value);
        }
        break;
      case 13:
        if (is_word(key, "minProperties")) {
          k.set(Slot::min_properties, value);
        } else if (is_word(key, "maxProperties")) {
          k.set(Slot::max_properties, value);
        }
        break;
      case 20:
        if (is_word(key, "additionalProperties")) {
          k.set(Slot::additional_properties, value);
        }
        break;
      default:
        break;
    }
  }
  if (const Value* type = k.type()) {
    k.type_mask_ = kinds_of_type(*type);
  }
  return k;
}

namespace {

// The most `required` names that one walk settles, a bit of a mask each.
constexpr std::size_t MISSING_BITS = 64;

// Calls `visit` with every object in the value that has members, the value itself included;
// a stack of its own keeps a deep schema off the call stack.
template <class Visit>
void for_each_object(const Value& root, Visit visit) {
  std::vector<const Value*> pending{&root};
  while (!pending.empty()) {
    const Value* value = pending.back();
    pending.pop_back();
    if (value->is_array()) {
      for (const Value& element : value->as_array()) {
        pending.push_back(&element);
      }
    } else if (value->is_object() && !value->as_object().empty()) {
      visit(value->as_object());
      for (const json::Member& member : value->as_object()) {
        pending.push_back(&member.value);
      }
    }
  }
}

}  // namespace

KeywordTable::KeywordTable(const json::Value& schema) {
  std::size_t objects = 0;
  for_each_object(schema, [&objects](const json::Object&) { ++objects; });
  // At most half full, so a probe ends after a slot or two.
  std::size_t size = 2;
  while (size < objects * 2) {
    size *= 2;
  }
  mask_ = size - 1;
  shift_ = 64 - static_cast<unsigned>(std::countr_zero(size));
  keys_.assign(size, nullptr);
  keywords_.resize(size);
  for_each_object(schema, [this](const json::Object& object) {
    const json::Member* key = &*object.begin();
    std::size_t i = slot_of(key);
    while (keys_[i] != nullptr) {
      i = (i + 1) & mask_;
    }
    keys_[i] = key;
    keywords_[i] = Keywords::of(object);
    // Sorted like the members, the names of `required` are all found in one walk.
    const Value* required = keywords_[i].required();
    if (required != nullptr && required->is_array() &&
        required->as_array().size() <= MISSING_BITS) {
      auto names = std::make_unique<SortedNames>();
      const json::Array& elements = required->as_array();
      for (std::size_t position = 0; position < elements.size(); ++position) {
        if (elements[position].is_string()) {
          names->emplace_back(elements[position].as_string(), position);
        }
      }
      std::ranges::stable_sort(
          *names, [](const auto& a, const auto& b) { return compare_keys(a.first, b.first) < 0; });
      keywords_[i].sorted_required_ = names.get();
      sorted_required_.push_back(std::move(names));
    }
  });
}

void Validator::check_type(const Value& value, const Keywords& schema, const Path& instance_path,
                           const Path& schema_path, std::vector<ValidationError>& errors) const {
  const Value* type = schema.type();
  if (type == nullptr) {
    return;
  }
  if (schema.type_accepts(value.kind())) {
    return;
  }
  // The names are listed only for the message, so the common case of a match builds nothing.
  std::vector<std::string_view> names;
  if (type->is_string()) {
    names.push_back(type->as_string());
  } else {
    names = collect_type_names(type->as_array());
  }
  std::string message = "Expected type " + expected_types(names) + ", got ";
  message += actual_type_name(value);
  errors.push_back(
      make_error(instance_path, schema_path, "type", std::move(message), value, *type));
}

void Validator::check_number(const Value& value, const Keywords& schema, const Path& instance_path,
                             const Path& schema_path, std::vector<ValidationError>& errors) const {
  const double v = double_view(value);
  if (const Value* minimum = schema.minimum(); minimum != nullptr && minimum->is_number()) {
    const double m = double_view(*minimum);
    if (m > v) {
      errors.push_back(make_error(
          instance_path, schema_path, "minimum",
          "Value " + json::number_text(v) + " is less than minimum " + json::number_text(m),
          Value(v), *minimum));
    }
  }
  if (const Value* maximum = schema.maximum(); maximum != nullptr && maximum->is_number()) {
    const double m = double_view(*maximum);
    if (v > m) {
      errors.push_back(
          make_error(instance_path, schema_path, "maximum",
                     "Value " + json::number_text(v) + " exceeds maximum " + json::number_text(m),
                     Value(v), *maximum));
    }
  }
  if (const Value* multiple = schema.multiple_of(); multiple != nullptr && multiple->is_number()) {
    const double d = double_view(*multiple);
    if (d > 0) {
      // An infinite quotient leaves NaN here, which is not 0: such a value fails.
      const double q = v / d;
      if (q - std::trunc(q) != 0) {
        errors.push_back(make_error(
            instance_path, schema_path, "multipleOf",
            "Value " + json::number_text(v) + " is not a multiple of " + json::number_text(d),
            Value(v), *multiple));
      }
    }
  }
}

void Validator::check_string(const Value& value, const Keywords& schema, const Path& instance_path,
                             const Path& schema_path, std::vector<ValidationError>& errors) const {
  const std::string_view text = value.as_string();
  const std::optional<std::uint64_t> min_length = unsigned_limit(schema.min_length());
  const std::optional<std::uint64_t> max_length = unsigned_limit(schema.max_length());
  // A string has at most as many code points as bytes and at least a quarter as many, which
  // settles most limits without counting.
  const std::uint64_t bytes = text.size();
  const bool surely_long_enough = !min_length || bytes / 4 >= *min_length;
  const bool surely_short_enough = !max_length || bytes <= *max_length;
  if (!(surely_long_enough && surely_short_enough)) {
    const std::uint64_t n = code_point_count(text);
    if (min_length && n < *min_length) {
      errors.push_back(make_error(instance_path, schema_path, "minLength",
                                  "String length " + std::to_string(n) + " is less than minimum " +
                                      std::to_string(*min_length),
                                  value, *schema.min_length()));
    }
    if (max_length && n > *max_length) {
      errors.push_back(make_error(
          instance_path, schema_path, "maxLength",
          "String length " + std::to_string(n) + " exceeds maximum " + std::to_string(*max_length),
          value, *schema.max_length()));
    }
  }
  const Value* pattern = schema.pattern();
  if (pattern == nullptr || !pattern->is_string()) {
    return;
  }
  const std::string_view p = pattern->as_string();
  auto compiled = regex::Regex::compile(p);
  if (!compiled) {
    errors.push_back(make_error(instance_path, schema_path, "pattern",
                                "Invalid regex pattern: '" + std::string(p) + "'", value,
                                *pattern));
    return;
  }
  if (!compiled->search(text)) {
    errors.push_back(make_error(
        instance_path, schema_path, "pattern",
        "String '" + std::string(text) + "' does not match pattern '" + std::string(p) + "'", value,
        *pattern));
  }
}

void Validator::check_enum(const Value& value, const Keywords& schema, const Path& instance_path,
                           const Path& schema_path, std::vector<ValidationError>& errors) const {
  const Value* allowed = schema.enum_values();
  if (allowed == nullptr || !allowed->is_array()) {
    return;
  }
  for (const Value& element : allowed->as_array()) {
    if (element == value) {
      return;
    }
  }
  errors.push_back(make_error(instance_path, schema_path, "enum",
                              "Value is not one of the allowed enum values", value, *allowed));
}

void Validator::check_const(const Value& value, const Keywords& schema, const Path& instance_path,
                            const Path& schema_path, std::vector<ValidationError>& errors) const {
  const Value* constant = schema.const_value();
  if (constant == nullptr || *constant == value) {
    return;
  }
  errors.push_back(make_error(instance_path, schema_path, "const",
                              "Value does not match the required constant", value, *constant));
}

void Validator::check_array(const Value& value, const Keywords& schema, Path& instance_path,
                            Path& schema_path, std::vector<ValidationError>& errors) const {
  const json::Array& items = value.as_array();
  const std::uint64_t length = items.size();
  if (const std::optional<std::uint64_t> limit = unsigned_limit(schema.min_items());
      limit && length < *limit) {
    errors.push_back(make_error(instance_path, schema_path, "minItems",
                                "Array length " + std::to_string(length) +
                                    " is less than minimum " + std::to_string(*limit),
                                value, *schema.min_items()));
  }
  if (const std::optional<std::uint64_t> limit = unsigned_limit(schema.max_items());
      limit && length > *limit) {
    errors.push_back(make_error(
        instance_path, schema_path, "maxItems",
        "Array length " + std::to_string(length) + " exceeds maximum " + std::to_string(*limit),
        value, *schema.max_items()));
  }
  if (const Value* unique = schema.unique_items();
      unique != nullptr && unique->is_bool() && unique->as_bool()) {
    if (const std::optional<std::size_t> i = first_repeated_item(items)) {
      instance_path.push_index(*i);
      errors.push_back(make_error(instance_path, schema_path, "uniqueItems",
                                  "Array contains duplicate items", items[*i], Value(true)));
      instance_path.pop();
    }
  }
  // A schema that is not an object would accept every item, so there is nothing to visit.
  const Value* item_schema = schema.items();
  if (item_schema == nullptr || !item_schema->is_object()) {
    return;
  }
  schema_path.push("items");
  for (std::size_t i = 0; i < items.size(); ++i) {
    instance_path.push_index(i);
    validate_value(items[i], *item_schema, instance_path, schema_path, errors);
    instance_path.pop();
  }
  schema_path.pop();
}

void Validator::check_object(const Value& value, const Keywords& schema, Path& instance_path,
                             Path& schema_path, std::vector<ValidationError>& errors) const {
  const json::Object& members = value.as_object();
  const std::uint64_t count = members.size();
  prefetch_members(members);
  if (const std::optional<std::uint64_t> limit = unsigned_limit(schema.min_properties());
      limit && count < *limit) {
    errors.push_back(make_error(
        instance_path, schema_path, "minProperties",
        "Object has " + std::to_string(count) + " properties, minimum is " + std::to_string(*limit),
        value, *schema.min_properties()));
  }
  if (const std::optional<std::uint64_t> limit = unsigned_limit(schema.max_properties());
      limit && count > *limit) {
    errors.push_back(make_error(
        instance_path, schema_path, "maxProperties",
        "Object has " + std::to_string(count) + " properties, maximum is " + std::to_string(*limit),
        value, *schema.max_properties()));
  }
  if (const Value* required = schema.required(); required != nullptr && required->is_array()) {
    const json::Array& names = required->as_array();
    auto report = [&](std::string_view name) {
      errors.push_back(make_error(instance_path, schema_path, "required",
                                  "Missing required property '" + std::string(name) + "'", value,
                                  *required));
    };
    if (const SortedNames* sorted = schema.sorted_required()) {
      // One merged walk marks what is missing; the failures keep the order of the array.
      std::uint64_t missing = 0;
      auto next = members.begin();
      for (const auto& [name, position] : *sorted) {
        if (advance_to(next, members.end(), name) == nullptr) {
          missing |= std::uint64_t{1} << position;
        }
      }
      for (; missing != 0; missing &= missing - 1) {
        report(names[static_cast<std::size_t>(std::countr_zero(missing))].as_string());
      }
    } else {
      for (const Value& name : names) {
        if (name.is_string() && !has_member(members, name.as_string())) {
          report(name.as_string());
        }
      }
    }
  }
  const Value* properties = schema.properties();
  if (properties != nullptr && properties->is_object()) {
    const json::Object& named = properties->as_object();
    // Both objects are in key order, so one merged walk pairs every member with its schema.
    auto next = named.begin();
    for (const json::Member& member : members) {
      const json::Member* member_schema = advance_to(next, named.end(), member.key);
      if (member_schema == nullptr) {
        continue;
      }
      instance_path.push(member.key);
      schema_path.push("properties");
      schema_path.push(member.key);
      validate_value(member.value, member_schema->value, instance_path, schema_path, errors);
      schema_path.pop();
      schema_path.pop();
      instance_path.pop();
    }
  }
  if (const Value* additional = schema.additional_properties()) {
    check_additional_properties(members, properties, *additional, instance_path, schema_path,
                                errors);
  }
}

void Validator::check_additional_properties(const json::Object& members, const Value* properties,
                                            const Value& additional, Path& instance_path,
                                            Path& schema_path,
                                            std::vector<ValidationError>& errors) const {
  const bool forbidden = additional.is_bool() && !additional.as_bool();
  if (!forbidden && !additional.is_object()) {
    return;
  }
  // Only an object of schemas names members; any other `properties` leaves every member extra.
  // Both objects are in key order, so one merged walk finds the members it does not name.
  const json::Object* named =
      properties != nullptr && properties->is_object() ? &properties->as_object() : nullptr;
  json::Object::const_iterator next, end;
  if (named != nullptr) {
    next = named->begin();
    end = named->end();
  }
  for (const json::Member& member : members) {
    if (named != nullptr && advance_to(next, end, member.key) != nullptr) {
      continue;
    }
    instance_path.push(member.key);
    if (forbidden) {
      errors.push_back(
          make_error(instance_path, schema_path, "additionalProperties",
                     "Additional property '" + std::string(member.key) + "' is not allowed",
                     member.value, Value(false)));
    } else {
      schema_path.push("additionalProperties");
      validate_value(member.value, additional, instance_path, schema_path, errors);
      schema_path.pop();
    }
    instance_path.pop();
  }
}

}  // namespace vardel::schema
