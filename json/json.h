// Parsing JSON text with exact messages and positions, the compact writer and number texts.
#pragma once

#include <cstddef>
#include <expected>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>

#include "json/value.h"

namespace vardel::json {

// A syntax error: the message and the position where it was found. The position is the byte
// offset just past the first byte of the offending character (the text's length when the text
// ended first); `line` is 1 plus the line feeds before it and `column` the bytes between the last
// of them and the position, so a raw line feed in a string is reported at column 0 of the next
// line and the end of an empty text at line 1, column 0.
struct ParseError {
  std::string message;
  std::size_t line = 0;    // from 1
  std::size_t column = 0;  // 1-based byte column of the offending character, 0 at a line start
  // The message, " at line ", the line, " column ", the column.
  [[nodiscard]] std::string display() const;
};

// Parses a whole document into a Value. Any bytes are accepted as input; arrays and objects may
// nest 127 levels deep, and only space, tab, line feed and carriage return may follow the value.
[[nodiscard]] std::expected<Value, ParseError> parse(std::string_view text);
// A parsed document whose values all lie in one region of their own (see json/memory.h): it is
// built without a heap allocation per value and freed in one step, without visiting its values.
class Document {
 public:
  Document(Document&& other) noexcept;
  Document& operator=(Document&& other) noexcept;
  ~Document();

  [[nodiscard]] const Value& value() const { return *root_; }

 private:
  friend std::expected<Document, ParseError> parse_document(std::string_view text,
                                                            std::pmr::memory_resource* upstream);
  Document() = default;

  std::unique_ptr<Region> region_;
  const Value* root_ = nullptr;
};

// Parses a document like parse, into a Document whose blocks come from `upstream`.
[[nodiscard]] std::expected<Document, ParseError> parse_document(
    std::string_view text, std::pmr::memory_resource* upstream = std::pmr::new_delete_resource());
// Checks that the text is one JSON document, building nothing and allocating nothing per value;
// it accepts exactly the texts parse accepts and fails with the same error.
[[nodiscard]] std::expected<void, ParseError> validate(std::string_view text);

// Appends the UTF-8 encoding of a code point. Requires: code_point < 0x110000.
void append_utf8(std::string& out, char32_t code_point);

// The compact JSON text of a value: no white space, keys in byte order, a double in its shortest
// digits with a point or an exponent ("1.0", "0.00001", "1e-6", "1.23e16", "-0.0").
// A double that is not finite, which no parser makes, is written as null.
[[nodiscard]] std::string write_compact(const Value& value);
// The positional text of a double for messages: shortest digits, never an exponent ("1e-7"
// gives "0.0000001", negative zero gives "-0"); "null" for a double that is not finite.
[[nodiscard]] std::string number_text(double d);

}  // namespace vardel::json
