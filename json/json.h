// Parsing JSON text with exact messages and positions, the compact writer and number texts.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "json/value.h"

namespace vardel::json {

// A syntax error: the message and the position where it was found.
struct ParseError {
  std::string message;
  std::size_t line = 0;    // from 1
  std::size_t column = 0;  // bytes on the line before the position, see the parser
  // The message, " at line ", the line, " column ", the column.
  [[nodiscard]] std::string display() const;
};

// Parses a whole document into a Value.
[[nodiscard]] std::expected<Value, ParseError> parse(std::string_view text);
// Checks that the text is one JSON document, building nothing; the same errors as parse.
[[nodiscard]] std::expected<void, ParseError> validate(std::string_view text);

// The compact JSON text of a value (no white space, keys in byte order).
[[nodiscard]] std::string write_compact(const Value& value);
// The positional text of a double for messages: shortest digits, never an exponent ("1e-7"
// gives "0.0000001", negative zero gives "-0").
[[nodiscard]] std::string number_text(double d);

}  // namespace vardel::json
