// The JSON5 grammar's rules, numbered as syntax errors list them.
#pragma once

#include <cstdint>
#include <string_view>

namespace vardel::json5 {

// The 36 rules of the grammar. The number orders the rule lists of syntax errors.
enum class Json5Rule : std::uint8_t {
  EOI,
  COMMENT,
  WHITESPACE,
  array,
  boolean,
  char_escape_sequence,
  char_literal,
  decimal_integer_literal,
  decimal_literal,
  double_quote_char,
  escape_char,
  escape_sequence,
  exponent_part,
  hex_escape_sequence,
  hex_integer_literal,
  identifier,
  identifier_part,
  identifier_start,
  key,
  line_continuation,
  line_terminator,
  line_terminator_sequence,
  non_escape_char,
  nul_escape_sequence,
  null,
  number,
  numeric_literal,
  object,
  pair,
  single_escape_char,
  single_quote_char,
  string,
  text,
  unicode_escape_sequence,
  unicode_letter,
  value,
};

inline constexpr int JSON5_RULE_COUNT = 36;

// The rule's name as the grammar writes it.
[[nodiscard]] std::string_view name(Json5Rule rule);

}  // namespace vardel::json5
