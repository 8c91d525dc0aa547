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

// How a rule takes part in a parse.
enum class Json5RuleKind : std::uint8_t {
  silent,                // makes no node, is never recorded; runs in its caller's mode
  skipping,              // silent, in atomic mode; only the implicit skipping runs it
  plain_node,            // makes a node with children; the implicit skipping runs inside
  atomic_node,           // makes a node without children; nothing inside is recorded
  compound_atomic_node,  // makes a node with children; no skipping inside
  end_of_input,          // EOI: a node that matches the end of the text
};

// The rule's kind. Only node rules (every kind but silent and skipping) make nodes and can be
// named in a syntax error.
[[nodiscard]] constexpr Json5RuleKind kind(Json5Rule rule) {
  switch (rule) {
    case Json5Rule::EOI:
      return Json5RuleKind::end_of_input;
    case Json5Rule::COMMENT:
    case Json5Rule::WHITESPACE:
      return Json5RuleKind::skipping;
    case Json5Rule::array:
    case Json5Rule::object:
      return Json5RuleKind::plain_node;
    case Json5Rule::boolean:
    case Json5Rule::char_escape_sequence:
    case Json5Rule::char_literal:
    case Json5Rule::hex_escape_sequence:
    case Json5Rule::nul_escape_sequence:
    case Json5Rule::null:
    case Json5Rule::number:
    case Json5Rule::unicode_escape_sequence:
      return Json5RuleKind::atomic_node;
    case Json5Rule::identifier:
    case Json5Rule::string:
      return Json5RuleKind::compound_atomic_node;
    case Json5Rule::decimal_integer_literal:
    case Json5Rule::decimal_literal:
    case Json5Rule::double_quote_char:
    case Json5Rule::escape_char:
    case Json5Rule::escape_sequence:
    case Json5Rule::exponent_part:
    case Json5Rule::hex_integer_literal:
    case Json5Rule::identifier_part:
    case Json5Rule::identifier_start:
    case Json5Rule::key:
    case Json5Rule::line_continuation:
    case Json5Rule::line_terminator:
    case Json5Rule::line_terminator_sequence:
    case Json5Rule::non_escape_char:
    case Json5Rule::numeric_literal:
    case Json5Rule::pair:
    case Json5Rule::single_escape_char:
    case Json5Rule::single_quote_char:
    case Json5Rule::text:
    case Json5Rule::unicode_letter:
    case Json5Rule::value:
      return Json5RuleKind::silent;
  }
  return Json5RuleKind::silent;
}

[[nodiscard]] constexpr bool is_node_rule(Json5Rule rule) {
  return kind(rule) != Json5RuleKind::silent && kind(rule) != Json5RuleKind::skipping;
}

// The rule's name as the grammar writes it.
[[nodiscard]] std::string_view name(Json5Rule rule);

}  // namespace vardel::json5
