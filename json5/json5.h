// Reading JSON5 text into a JSON value.
#pragma once

#include <expected>
#include <string_view>

#include "json/value.h"
#include "json5/json5_error.h"

namespace vardel::json5 {

// Parses a whole JSON5 document. A refused text gives its six-line syntax error; a number or
// escape that cannot be converted, or nesting deeper than 127 levels, gives a one-line error.
// Objects come back in byte-wise key order, the last of a repeated key winning; NaN and the
// infinities become null.
[[nodiscard]] std::expected<json::Value, Json5Error> json5_to_value(std::string_view text);

// Reads a whole JSON5 document as json5_to_value does, with the same outcome and the same error,
// without building the value or a parse tree: memory stays small whatever the text's size.
[[nodiscard]] std::expected<void, Json5Error> json5_check(std::string_view text);

}  // namespace vardel::json5
