// The JSON5 reader's error types.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "json5/json5_rule.h"

namespace vardel::json5 {

// A position in the text: both counted from 1, the column in characters.
struct SourceLocation {
  std::size_t line = 0;
  std::size_t column = 0;

  friend bool operator==(const SourceLocation&, const SourceLocation&) = default;
};

// A text the grammar refuses: where, and which rules failed there.
struct Json5SyntaxError {
  std::size_t position = 0;         // byte offset into the text
  std::vector<Json5Rule> expected;  // ascending by number, each once, never empty
  std::size_t line = 0;             // of `position`, from 1
  std::size_t column = 0;           // of `position`, from 1, in characters
  std::string shown_line;           // the source line as the rendering shows it

  // The six-line rendering, without a line feed at the end.
  [[nodiscard]] std::string display() const;
};

// A syntax error (its message spans several lines) or a conversion error.
struct Json5Error {
  std::string message;
  std::optional<SourceLocation> location;

  // The rendering of a syntax error as the message, its line and column as the location.
  [[nodiscard]] static Json5Error from_syntax_error(const Json5SyntaxError& error);

  // The message alone, never the location.
  [[nodiscard]] const std::string& display() const { return message; }

  friend bool operator==(const Json5Error&, const Json5Error&) = default;
};

}  // namespace vardel::json5
