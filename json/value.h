// The JSON value type shared by the parser, the JSON5 reader and the schema validator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "json/memory.h"

namespace vardel::json {

class Value;
struct Member;

// Byte-wise three-way comparison of two keys: the order objects keep their members in. Keys are
// short and mostly differ early, so a plain loop beats a library call.
inline int compare_keys(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) {
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
    }
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// The containers inside a Value; they allocate through Allocator, so a Value built while a
// region is active lies wholly in that region.
using String = std::basic_string<char, std::char_traits<char>, Allocator<char>>;
using Array = std::vector<Value, Allocator<Value>>;
using Members = std::vector<Member, Allocator<Member>>;

// An object's members, held in byte-wise key order, each key once.
class Object {
 public:
  using const_iterator = Members::const_iterator;

  // The special members are defined below Member, once it is a complete type (some compilers
  // instantiate the vector's members early otherwise).
  Object();
  Object(const Object& other);
  Object(Object&& other) noexcept;
  Object& operator=(const Object& other);
  Object& operator=(Object&& other) noexcept;
  ~Object();

  // Builds an object from members in any order; of a repeated key the last one wins.
  [[nodiscard]] static Object from_members(Members members);
  // Builds an object from members already in byte-wise key order, each key once.
  // Requires: the keys strictly increase.
  [[nodiscard]] static Object from_sorted_members(Members members);

  [[nodiscard]] std::size_t size() const;
  [[nodiscard]] bool empty() const;
  [[nodiscard]] const_iterator begin() const;
  [[nodiscard]] const_iterator end() const;
  // Returns the value under `key`, or nullptr. The pointer is into this object.
  [[nodiscard]] const Value* find(std::string_view key) const;
  [[nodiscard]] bool contains(std::string_view key) const { return find(key) != nullptr; }
  // Sets `key` to `value`, replacing an earlier value under the same key.
  void insert_or_assign(std::string_view key, Value value);

  friend bool operator==(const Object& a, const Object& b);

 private:
  Members members_;
};

// null, a boolean, a number in one of three forms, a string, an array or an object.
// The number forms: an unsigned 64-bit integer, a signed 64-bit integer (negative values only,
// as the parsers make them) and a finite double.
class Value {
 public:
  using Storage = std::variant<std::nullptr_t, bool, std::uint64_t, std::int64_t, double, String,
                               Array, Object>;
  // The alternatives of Storage, in order.
  enum class Kind : std::uint8_t {
    null,
    boolean,
    unsigned_integer,
    signed_integer,
    floating,
    string,
    array,
    object
  };

  Value() : data_(nullptr) {}
  explicit Value(std::nullptr_t) : data_(nullptr) {}
  explicit Value(bool b) : data_(b) {}
  explicit Value(std::uint64_t u) : data_(u) {}
  explicit Value(std::int64_t i) : data_(i) {}
  explicit Value(double d) : data_(d) {}
  explicit Value(std::string_view s) : data_(String(s)) {}
  explicit Value(String s) : data_(std::move(s)) {}
  explicit Value(const char* s) : data_(String(s)) {}
  explicit Value(Array a) : data_(std::move(a)) {}
  explicit Value(Object o) : data_(std::move(o)) {}

  [[nodiscard]] Kind kind() const { return static_cast<Kind>(data_.index()); }
  [[nodiscard]] bool is_null() const { return kind() == Kind::null; }
  [[nodiscard]] bool is_bool() const { return kind() == Kind::boolean; }
  [[nodiscard]] bool is_number() const {
    return kind() == Kind::unsigned_integer || kind() == Kind::signed_integer ||
           kind() == Kind::floating;
  }
  [[nodiscard]] bool is_integer() const {
    return kind() == Kind::unsigned_integer || kind() == Kind::signed_integer;
  }
  [[nodiscard]] bool is_string() const { return kind() == Kind::string; }
  [[nodiscard]] bool is_array() const { return kind() == Kind::array; }
  [[nodiscard]] bool is_object() const { return kind() == Kind::object; }

  // Accessors; each requires the matching kind.
  [[nodiscard]] bool as_bool() const { return std::get<bool>(data_); }
  [[nodiscard]] std::uint64_t as_unsigned() const { return std::get<std::uint64_t>(data_); }
  [[nodiscard]] std::int64_t as_signed() const { return std::get<std::int64_t>(data_); }
  [[nodiscard]] double as_double() const { return std::get<double>(data_); }
  [[nodiscard]] std::string_view as_string() const { return std::get<String>(data_); }
  [[nodiscard]] const Array& as_array() const { return std::get<Array>(data_); }
  [[nodiscard]] Array& as_array() { return std::get<Array>(data_); }
  [[nodiscard]] const Object& as_object() const { return std::get<Object>(data_); }
  [[nodiscard]] Object& as_object() { return std::get<Object>(data_); }

  [[nodiscard]] const Storage& data() const { return data_; }
  [[nodiscard]] Storage& data() { return data_; }

  // Value equality: the same kind and the same value. Numbers of different forms differ
  // (1 is not 1.0); doubles compare arithmetically (0.0 equals -0.0); objects compare their
  // members in key order, so the order in the document does not matter.
  friend bool operator==(const Value& a, const Value& b) { return a.data_ == b.data_; }

 private:
  Storage data_;
};

struct Member {
  String key;
  Value value;

  friend bool operator==(const Member& a, const Member& b) = default;
};

inline Object::Object() = default;
inline Object::Object(const Object& other) = default;
inline Object::Object(Object&& other) noexcept = default;
inline Object& Object::operator=(const Object& other) = default;
inline Object& Object::operator=(Object&& other) noexcept = default;
inline Object::~Object() = default;

inline std::size_t Object::size() const {
  return members_.size();
}
inline bool Object::empty() const {
  return members_.empty();
}
inline Object::const_iterator Object::begin() const {
  return members_.begin();
}
inline Object::const_iterator Object::end() const {
  return members_.end();
}

}  // namespace vardel::json
