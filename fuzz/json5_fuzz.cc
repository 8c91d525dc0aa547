// The JSON5 reader on arbitrary bytes: it never crashes, an error's location is a place in the
// text, a value's compact JSON text parses back equal, and a JSON text is never a JSON5 syntax
// error (unless a string holds U+2028 or U+2029) and reads as the same data.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "json/json.h"
#include "json5/json5.h"

namespace {

using vardel::fuzz::check;

// Whether (line, column) is the location of a character start or of the end of the text, lines
// ending at LF or CR LF and columns counting characters, both from 1.
bool is_location_in(std::string_view text, std::size_t line, std::size_t column) {
  std::size_t at_line = 1;
  std::size_t at_column = 1;
  std::size_t i = 0;
  while (true) {
    if (at_line == line && at_column == column) {
      return true;
    }
    if (i == text.size() || at_line > line) {
      return false;
    }
    if (text[i] == '\n') {
      ++at_line;
      at_column = 1;
      ++i;
      continue;
    }
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      // CR LF is one line end once both lie before the position; at the LF the CR still
      // counts as a character of its line.
      if (at_line == line && at_column + 1 == column) {
        return true;
      }
      ++at_line;
      at_column = 1;
      i += 2;
      continue;
    }
    ++at_column;
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
      ++i;
    }
  }
}

// Equality with the number forms set aside: JSON reads "-0" as a double and JSON5 as an
// integer, so numbers compare by their double values.
bool same_data(const vardel::json::Value& a, const vardel::json::Value& b) {
  using vardel::json::Value;
  const auto as_double = [](const Value& v) {
    switch (v.kind()) {
      case Value::Kind::unsigned_integer:
        return static_cast<double>(v.as_unsigned());
      case Value::Kind::signed_integer:
        return static_cast<double>(v.as_signed());
      default:
        return v.as_double();
    }
  };
  if (a.is_number() && b.is_number()) {
    return as_double(a) == as_double(b);
  }
  if (a.kind() != b.kind()) {
    return false;
  }
  if (a.is_array()) {
    const auto& x = a.as_array();
    const auto& y = b.as_array();
    return x.size() == y.size() &&
           std::equal(x.begin(), x.end(), y.begin(), [](const Value& p, const Value& q) {
             return same_data(p, q);
           });
  }
  if (a.is_object()) {
    const auto& x = a.as_object();
    const auto& y = b.as_object();
    return x.size() == y.size() &&
           std::equal(x.begin(), x.end(), y.begin(), [](const auto& p, const auto& q) {
             return p.key == q.key && same_data(p.value, q.value);
           });
  }
  return a == b;
}

// JSON5 refuses a raw U+2028 or U+2029 inside a string, where JSON takes it as a character.
bool has_line_separator(std::string_view text) {
  return text.find("\xe2\x80\xa8") != std::string_view::npos ||
         text.find("\xe2\x80\xa9") != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace json = vardel::json;
  const std::string_view text = vardel::fuzz::as_text(data, size);
  auto value = vardel::json5::json5_to_value(text);
  // The reader is only ever given UTF-8 text (files are checked first); other bytes must not
  // crash it, but carry no promise about the result.
  if (!vardel::fuzz::is_utf8(text)) {
    return 0;
  }

  if (!value) {
    const vardel::json5::Json5Error& error = value.error();
    check(!error.message.empty(), "error has a message");
    check(error.location.has_value(), "error has a location");
    check(is_location_in(text, error.location->line, error.location->column),
          "error location within the text");
    const bool syntax_error = error.message.find(" --> ") != std::string::npos;
    check(!(syntax_error && !has_line_separator(text) && json::validate(text)),
          "JSON text is JSON5");
    return 0;
  }

  const std::string compact = json::write_compact(*value);
  auto again = json::parse(compact);
  check(again.has_value(), "compact text of a JSON5 value parses as JSON");
  check(*again == *value, "compact text reads back equal");
  auto padded = vardel::json5::json5_to_value("\xef\xbb\xbf/* a */ " + std::string(text) + "\n// b");
  check(padded && *padded == *value, "comments and whitespace around the value change nothing");
  if (auto as_json = json::parse(text)) {
    check(same_data(*as_json, *value), "a JSON text reads the same as JSON5");
  }
  return 0;
}
