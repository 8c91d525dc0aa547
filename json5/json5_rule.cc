#include "json5/json5_rule.h"

namespace vardel::json5 {

std::string_view name(Json5Rule rule) {
  switch (rule) {
    case Json5Rule::EOI:
      return "EOI";
    case Json5Rule::COMMENT:
      return "COMMENT";
    case Json5Rule::WHITESPACE:
      return "WHITESPACE";
    case Json5Rule::array:
      return "array";
    case Json5Rule::boolean:
      return "boolean";
    case Json5Rule::char_escape_sequence:
      return "char_escape_sequence";
    case Json5Rule::char_literal:
      return "char_literal";
    case Json5Rule::decimal_integer_literal:
      return "decimal_integer_literal";
    case Json5Rule::decimal_literal:
      return "decimal_literal";
    case Json5Rule::double_quote_char:
      return "double_quote_char";
    case Json5Rule::escape_char:
      return "escape_char";
    case Json5Rule::escape_sequence:
      return "escape_sequence";
    case Json5Rule::exponent_part:
      return "exponent_part";
    case Json5Rule::hex_escape_sequence:
      return "hex_escape_sequence";
    case Json5Rule::hex_integer_literal:
      return "hex_integer_literal";
    case Json5Rule::identifier:
      return "identifier";
    case Json5Rule::identifier_part:
      return "identifier_part";
    case Json5Rule::identifier_start:
      return "identifier_start";
    case Json5Rule::key:
      return "key";
    case Json5Rule::line_continuation:
      return "line_continuation";
    case Json5Rule::line_terminator:
      return "line_terminator";
    case Json5Rule::line_terminator_sequence:
      return "line_terminator_sequence";
    case Json5Rule::non_escape_char:
      return "non_escape_char";
    case Json5Rule::nul_escape_sequence:
      return "nul_escape_sequence";
    case Json5Rule::null:
      return "null";
    case Json5Rule::number:
      return "number";
    case Json5Rule::numeric_literal:
      return "numeric_literal";
    case Json5Rule::object:
      return "object";
    case Json5Rule::pair:
      return "pair";
    case Json5Rule::single_escape_char:
      return "single_escape_char";
    case Json5Rule::single_quote_char:
      return "single_quote_char";
    case Json5Rule::string:
      return "string";
    case Json5Rule::text:
      return "text";
    case Json5Rule::unicode_escape_sequence:
      return "unicode_escape_sequence";
    case Json5Rule::unicode_letter:
      return "unicode_letter";
    case Json5Rule::value:
      return "value";
  }
  return "";
}

}  // namespace vardel::json5
