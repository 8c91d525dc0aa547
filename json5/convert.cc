// The conversion of a JSON5 parse tree into a Value, with the five value errors.
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "json/json.h"
#include "json5/json5_internal.h"

namespace vardel::json5 {

namespace {

// A node the grammar cannot give reached the conversion.
[[noreturn]] void fatal_internal_error() {
  assert(false && "impossible JSON5 parse node");
  std::abort();
}

Json5Error value_error(const char* message) {
  return Json5Error{message, std::nullopt};
}

void stamp(Json5Error& error, NodeRef node) {
  if (!error.location) {
    error.location = location_of(node.tree->text, node.begin);
  }
}

bool is_hex_prefixed(std::string_view text) {
  return text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

bool equals_ignoring_ascii_case(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
    if (c != lower[i]) {
      return false;
    }
  }
  return true;
}

// Whether `text` is digits with an optional point and fraction (at least one digit in all) and
// an optional exponent with at least one digit.
bool is_decimal_form(std::string_view text) {
  std::size_t i = 0;
  std::size_t digits = 0;
  while (i < text.size() && is_digit(text[i])) {
    ++i;
    ++digits;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && is_digit(text[i])) {
      ++i;
      ++digits;
    }
  }
  if (digits == 0) {
    return false;
  }
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      ++i;
    }
    std::size_t exponent_digits = 0;
    while (i < text.size() && is_digit(text[i])) {
      ++i;
      ++exponent_digits;
    }
    if (exponent_digits == 0) {
      return false;
    }
  }
  return i == text.size();
}

// For a decimal form whose value lies outside the double range: whether it is too large (rather
// than too small). The two ranges lie hundreds of orders of magnitude apart, so the decimal
// exponent of the first significant digit decides.
bool is_beyond_double_range(std::string_view text) {
  long long first_digit_exponent = 0;
  bool found = false;
  long long integer_digits = 0;
  std::size_t i = 0;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    if (!found && text[i] != '0') {
      found = true;
      first_digit_exponent = -integer_digits;  // adjusted by the integer part's length below
    }
    ++integer_digits;
  }
  if (found) {
    first_digit_exponent += integer_digits - 1;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (long long place = 1; i < text.size() && is_digit(text[i]); ++i, ++place) {
      if (!found && text[i] != '0') {
        found = true;
        first_digit_exponent = -place;
      }
    }
  }
  long long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negative = text[i] == '-';
      ++i;
    }
    for (; i < text.size() && is_digit(text[i]); ++i) {
      if (exponent < 1'000'000'000) {
        exponent = exponent * 10 + (text[i] - '0');
      }
    }
    if (negative) {
      exponent = -exponent;
    }
  }
  return first_digit_exponent + exponent >= 0;
}

// The double nearest to a decimal text (ties to even); an optional sign, and the words inf,
// infinity and nan in any case after it. Too large gives an infinity, too small a signed zero.
std::optional<double> parse_decimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  double magnitude = 0;
  if (equals_ignoring_ascii_case(text, "inf") || equals_ignoring_ascii_case(text, "infinity")) {
    magnitude = std::numeric_limits<double>::infinity();
  } else if (equals_ignoring_ascii_case(text, "nan")) {
    magnitude = std::numeric_limits<double>::quiet_NaN();
  } else {
    if (!is_decimal_form(text)) {
      return std::nullopt;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude,
                                           std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
      magnitude = is_beyond_double_range(text) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (ec != std::errc{} || end != text.data() + text.size()) {
      return std::nullopt;
    }
  }
  return negative ? -magnitude : magnitude;
}

// Appends one piece's text. Strings are converted piece by piece into one buffer, so that a long
// string costs one allocation, not one per piece.
std::expected<void, Json5Error> append_string_piece(NodeRef piece, std::string& out) {
  switch (piece.rule()) {
    case Json5Rule::char_literal:
      out += piece.text();
      return {};
    case Json5Rule::char_escape_sequence:
      out += unescape_char(piece);
      return {};
    case Json5Rule::nul_escape_sequence:
      out += '\0';
      return {};
    case Json5Rule::hex_escape_sequence:
    case Json5Rule::unicode_escape_sequence: {
      const auto code = escape_code_point(piece.text());
      if (!code) {
        return std::unexpected(code.error());
      }
      json::append_utf8(out, *code);
      return {};
    }
    case Json5Rule::EOI:
    case Json5Rule::COMMENT:
    case Json5Rule::WHITESPACE:
    case Json5Rule::array:
    case Json5Rule::boolean:
    case Json5Rule::decimal_integer_literal:
    case Json5Rule::decimal_literal:
    case Json5Rule::double_quote_char:
    case Json5Rule::escape_char:
    case Json5Rule::escape_sequence:
    case Json5Rule::exponent_part:
    case Json5Rule::hex_integer_literal:
    case Json5Rule::identifier:
    case Json5Rule::identifier_part:
    case Json5Rule::identifier_start:
    case Json5Rule::key:
    case Json5Rule::line_continuation:
    case Json5Rule::line_terminator:
    case Json5Rule::line_terminator_sequence:
    case Json5Rule::non_escape_char:
    case Json5Rule::null:
    case Json5Rule::number:
    case Json5Rule::numeric_literal:
    case Json5Rule::object:
    case Json5Rule::pair:
    case Json5Rule::single_escape_char:
    case Json5Rule::single_quote_char:
    case Json5Rule::string:
    case Json5Rule::text:
    case Json5Rule::unicode_letter:
    case Json5Rule::value:
      break;
  }
  fatal_internal_error();
}

std::expected<json::Value, Json5Error> number_to_value(NodeRef node) {
  return number_text_to_value(node.text());
}

// The number of children of a node, to size the containers once.
std::size_t child_count(NodeRef node) {
  const NodeList& nodes = node.tree->nodes;
  std::size_t count = 0;
  for (std::size_t i = node.index + 1; i < nodes[node.index].next(); i = nodes[i].next()) {
    ++count;
  }
  return count;
}

std::expected<json::Value, Json5Error> array_to_value(NodeRef node) {
  MemberQueue queue = node_children(node);
  json::Array elements;
  elements.reserve(child_count(node));
  while (!queue.empty()) {
    auto element = node_to_value(queue.take_front());
    if (!element) {
      return std::unexpected(std::move(element.error()));
    }
    elements.push_back(std::move(*element));
  }
  return json::Value(std::move(elements));
}

std::expected<json::Value, Json5Error> object_to_value(NodeRef node) {
  MemberQueue queue = node_children(node);
  json::Members members;
  members.reserve(child_count(node) / 2);
  auto key = object_first_key(queue);
  while (true) {
    if (!key) {
      return std::unexpected(std::move(key.error()));
    }
    if (!*key) {
      break;
    }
    auto value = object_next_value(queue);
    if (!value) {
      return std::unexpected(std::move(value.error()));
    }
    members.push_back(json::Member{json::String(**key), std::move(*value)});
    key = object_next_key(queue);
  }
  // Sorting once keeps a large object linear-logarithmic; of a repeated key the last one wins.
  return json::Value(json::Object::from_members(std::move(members)));
}

std::expected<json::Value, Json5Error> dispatch_value(NodeRef node) {
  switch (node.rule()) {
    case Json5Rule::null:
      return json::Value(nullptr);
    case Json5Rule::boolean:
      return json::Value(node_to_bool(node));
    case Json5Rule::string:
    case Json5Rule::identifier: {
      auto text = node_to_string(node);
      if (!text) {
        return std::unexpected(std::move(text.error()));
      }
      return json::Value(std::move(*text));
    }
    case Json5Rule::number:
      return number_to_value(node);
    case Json5Rule::array:
      return array_to_value(node);
    case Json5Rule::object:
      return object_to_value(node);
    case Json5Rule::EOI:
    case Json5Rule::COMMENT:
    case Json5Rule::WHITESPACE:
    case Json5Rule::char_escape_sequence:
    case Json5Rule::char_literal:
    case Json5Rule::decimal_integer_literal:
    case Json5Rule::decimal_literal:
    case Json5Rule::double_quote_char:
    case Json5Rule::escape_char:
    case Json5Rule::escape_sequence:
    case Json5Rule::exponent_part:
    case Json5Rule::hex_escape_sequence:
    case Json5Rule::hex_integer_literal:
    case Json5Rule::identifier_part:
    case Json5Rule::identifier_start:
    case Json5Rule::key:
    case Json5Rule::line_continuation:
    case Json5Rule::line_terminator:
    case Json5Rule::line_terminator_sequence:
    case Json5Rule::non_escape_char:
    case Json5Rule::nul_escape_sequence:
    case Json5Rule::numeric_literal:
    case Json5Rule::pair:
    case Json5Rule::single_escape_char:
    case Json5Rule::single_quote_char:
    case Json5Rule::text:
    case Json5Rule::unicode_escape_sequence:
    case Json5Rule::unicode_letter:
    case Json5Rule::value:
      break;
  }
  fatal_internal_error();
}

// What node_to_first_key and node_to_key share: only a string or identifier is a key.
std::expected<std::string, Json5Error> key_text(NodeRef node) {
  if (node.rule() != Json5Rule::string && node.rule() != Json5Rule::identifier) {
    fatal_internal_error();
  }
  auto text = node_to_string(node);
  if (!text) {
    stamp(text.error(), node);
  }
  return text;
}

std::expected<std::optional<std::string>, Json5Error> take_key(
    MemberQueue& queue, std::expected<std::string, Json5Error> (*convert)(NodeRef)) {
  if (queue.empty()) {
    return std::optional<std::string>();
  }
  auto text = convert(queue.take_front());
  if (!text) {
    return std::unexpected(std::move(text.error()));
  }
  return std::optional<std::string>(std::move(*text));
}

}  // namespace

MemberQueue::MemberQueue(NodeRef parent)
    : tree_(parent.tree), next_(parent.index + 1), end_(parent.tree->nodes[parent.index].next()) {}

NodeRef MemberQueue::take_front() {
  assert(!empty());
  const NodeRecord& node = tree_->nodes[next_];
  const NodeRef ref{tree_, next_, node.begin, node.end};
  next_ = node.next();
  return ref;
}

MemberQueue node_children(NodeRef node) {
  return MemberQueue(node);
}

std::expected<json::Value, Json5Error> node_to_value(NodeRef node) {
  auto value = dispatch_value(node);
  if (!value) {
    stamp(value.error(), node);
  }
  return value;
}

bool node_to_bool(NodeRef node) {
  const std::string_view text = node.text();
  if (text == "true") {
    return true;
  }
  if (text == "false") {
    return false;
  }
  fatal_internal_error();
}

std::expected<std::optional<std::string>, Json5Error> object_first_key(MemberQueue& queue) {
  return take_key(queue, node_to_first_key);
}

std::expected<std::optional<std::string>, Json5Error> object_next_key(MemberQueue& queue) {
  return take_key(queue, node_to_key);
}

std::expected<json::Value, Json5Error> object_next_value(MemberQueue& queue) {
  if (queue.empty()) {
    fatal_internal_error();
  }
  return node_to_value(queue.take_front());
}

std::expected<std::string, Json5Error> node_to_first_key(NodeRef node) {
  return key_text(node);
}

std::expected<std::string, Json5Error> node_to_key(NodeRef node) {
  return key_text(node);
}

bool is_integer_text(std::string_view text) {
  if (text.find('.') != std::string_view::npos) {
    return false;
  }
  if (is_hex_prefixed(text)) {
    return true;
  }
  if (text.find_first_of("eE") != std::string_view::npos) {
    return false;
  }
  return text.find("Infinity") == std::string_view::npos &&
         text.find("NaN") == std::string_view::npos;
}

std::expected<json::Value, Json5Error> number_text_to_value(std::string_view text) {
  if (is_integer_text(text)) {
    const auto integer = text_to_integer(text);
    if (!integer) {
      return std::unexpected(integer.error());
    }
    if (*integer >= 0) {
      return json::Value(static_cast<std::uint64_t>(*integer));
    }
    return json::Value(*integer);
  }
  const auto real = text_to_float(text);
  if (!real) {
    return std::unexpected(real.error());
  }
  if (!std::isfinite(*real)) {
    return json::Value(nullptr);
  }
  return json::Value(*real);
}

std::expected<std::int64_t, Json5Error> node_to_integer(NodeRef node) {
  return text_to_integer(node.text());
}

std::expected<std::int64_t, Json5Error> text_to_integer(std::string_view text) {
  if (is_hex_prefixed(text)) {
    const auto value = hex_text_to_u32(text.substr(2));
    if (!value) {
      return std::unexpected(value.error());
    }
    return static_cast<std::int64_t>(*value);
  }
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return std::unexpected(value_error("error parsing integer"));
  }
  // The magnitude may reach 2^63 for a negative number.
  const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
  std::uint64_t magnitude = 0;
  for (const char c : text) {
    if (!is_digit(c)) {
      return std::unexpected(value_error("error parsing integer"));
    }
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (magnitude > (limit - digit) / 10) {
      return std::unexpected(value_error("error parsing integer"));
    }
    magnitude = magnitude * 10 + digit;
  }
  if (!negative) {
    return static_cast<std::int64_t>(magnitude);
  }
  return magnitude == std::uint64_t{1} << 63 ? std::numeric_limits<std::int64_t>::min()
                                             : -static_cast<std::int64_t>(magnitude);
}

std::expected<double, Json5Error> node_to_float(NodeRef node) {
  return text_to_float(node.text());
}

std::expected<double, Json5Error> text_to_float(std::string_view text) {
  if (text == "NaN" || text == "-NaN") {
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (text == "Infinity") {
    return std::numeric_limits<double>::infinity();
  }
  if (text == "-Infinity") {
    return -std::numeric_limits<double>::infinity();
  }
  if (is_hex_prefixed(text)) {
    const auto value = hex_text_to_u32(text.substr(2));
    if (!value) {
      return std::unexpected(value.error());
    }
    return static_cast<double>(*value);
  }
  const std::optional<double> value = parse_decimal(text);
  if (!value) {
    return std::unexpected(value_error("error parsing number"));
  }
  if (!std::isfinite(*value)) {
    return std::unexpected(value_error("error parsing number: too large"));
  }
  return *value;
}

std::expected<std::uint32_t, Json5Error> hex_text_to_u32(std::string_view text) {
  if (text.empty()) {
    return std::unexpected(value_error("error parsing hex"));
  }
  std::uint32_t value = 0;
  for (const char c : text) {
    const int digit = hex_digit_value(c);
    if (digit < 0 || value > (0xFFFFFFFFu >> 4)) {
      return std::unexpected(value_error("error parsing hex"));
    }
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::expected<std::uint32_t, Json5Error> escape_code_point(std::string_view hex) {
  const auto code = hex_text_to_u32(hex);
  if (!code) {
    return std::unexpected(code.error());
  }
  if (*code > 0x10FFFF || (*code >= 0xD800 && *code <= 0xDFFF)) {
    return std::unexpected(value_error("error parsing hex prefix"));
  }
  return *code;
}

std::expected<std::string, Json5Error> node_to_string(NodeRef node) {
  const NodeList& nodes = node.tree->nodes;
  const std::size_t end = nodes[node.index].next();
  // Most keys and many strings are one run of plain characters: their text as written.
  if (end == node.index + 2 && nodes[node.index + 1].rule() == Json5Rule::char_literal) {
    const NodeRecord& run = nodes[node.index + 1];
    return std::string(node.tree->text.substr(run.begin, run.end - run.begin));
  }
  std::string text;
  text.reserve(node.end - node.begin);
  for (std::size_t i = node.index + 1; i < end; i = nodes[i].next()) {
    const NodeRecord& piece = nodes[i];
    auto appended = append_string_piece(NodeRef{node.tree, i, piece.begin, piece.end}, text);
    if (!appended) {
      stamp(appended.error(), node);
      return std::unexpected(std::move(appended.error()));
    }
  }
  return text;
}

std::expected<std::string, Json5Error> node_to_string_piece(NodeRef node) {
  std::string text;
  auto appended = append_string_piece(node, text);
  if (!appended) {
    return std::unexpected(std::move(appended.error()));
  }
  return text;
}

std::string unescape_char(NodeRef node) {
  const std::string_view c = node.text();
  if (c.size() == 1) {
    switch (c[0]) {
      case 'b':
        return "\b";
      case 'f':
        return "\f";
      case 'n':
        return "\n";
      case 'r':
        return "\r";
      case 't':
        return "\t";
      case 'v':
        return "\v";
      default:
        break;
    }
  }
  return std::string(c);
}

}  // namespace vardel::json5
