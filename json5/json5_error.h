// The JSON5 reader's error type.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vardel::json5 {

// A position in the text: both counted from 1, the column in characters.
struct SourceLocation {
  std::size_t line = 0;
  std::size_t column = 0;

  friend bool operator==(const SourceLocation&, const SourceLocation&) = default;
};

// A syntax error (its message spans several lines) or a conversion error.
struct Json5Error {
  std::string message;
  std::optional<SourceLocation> location;

  // The message alone, never the location.
  [[nodiscard]] const std::string& display() const { return message; }
};

}  // namespace vardel::json5
