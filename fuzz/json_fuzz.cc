// The JSON parser on arbitrary bytes: parse, validate and parse_document agree on every text,
// errors point into the text, the compact text of a parsed value reads back to the same value and text, and the
// positional text of each double reads back to it.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "json/json.h"

namespace {

using vardel::fuzz::check;

// The error's line and column name a place in the text: the line exists, and the column is at
// most the length of that line (bytes before its line feed, or up to the end of the text).
void check_position(std::string_view text, const vardel::json::ParseError& error) {
  check(error.line >= 1, "error line from 1");
  std::size_t line_start = 0;
  for (std::size_t line = 1; line < error.line; ++line) {
    const std::size_t feed = text.find('\n', line_start);
    check(feed != std::string_view::npos, "error line within the text");
    line_start = feed + 1;
  }
  const std::size_t line_end = std::min(text.find('\n', line_start), text.size());
  check(error.column <= line_end - line_start, "error column within its line");
}

// Every double of the value: its message text reads back to the same double and is positional.
void check_number_texts(const vardel::json::Value& value) {
  using vardel::json::Value;
  switch (value.kind()) {
    case Value::Kind::floating: {
      const std::string text = vardel::json::number_text(value.as_double());
      check(text.find_first_of("eE") == std::string::npos, "number text is positional");
      check(std::strtod(text.c_str(), nullptr) == value.as_double(),
            "number text reads back to the double");
      check(std::signbit(std::strtod(text.c_str(), nullptr)) == std::signbit(value.as_double()),
            "number text keeps the sign of zero");
      return;
    }
    case Value::Kind::array:
      for (const Value& item : value.as_array()) {
        check_number_texts(item);
      }
      return;
    case Value::Kind::object:
      for (const vardel::json::Member& member : value.as_object()) {
        check_number_texts(member.value);
      }
      return;
    case Value::Kind::null:
    case Value::Kind::boolean:
    case Value::Kind::unsigned_integer:
    case Value::Kind::signed_integer:
    case Value::Kind::string:
      return;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace json = vardel::json;
  const std::string_view text = vardel::fuzz::as_text(data, size);

  auto parsed = json::parse(text);
  auto validated = json::validate(text);
  auto document = json::parse_document(text);
  check(parsed.has_value() == validated.has_value(), "parse and validate accept alike");
  check(parsed.has_value() == document.has_value(), "parse and parse_document accept alike");
  if (!parsed) {
    const json::ParseError& a = parsed.error();
    const json::ParseError& b = validated.error();
    const json::ParseError& c = document.error();
    check(a.message == b.message && a.line == b.line && a.column == b.column,
          "parse and validate fail alike");
    check(a.display() == c.display(), "parse and parse_document fail alike");
    check(!a.message.empty(), "error has a message");
    check_position(text, a);
    return 0;
  }

  check(document->value() == *parsed, "parse_document builds what parse builds");
  const std::string compact = json::write_compact(*parsed);
  check(json::validate(compact).has_value(), "compact text validates");
  auto again = json::parse(compact);
  check(again.has_value(), "compact text parses");
  check(*again == *parsed, "compact text reads back equal");
  check(json::write_compact(*again) == compact, "compact text is stable");
  check_number_texts(*parsed);
  return 0;
}
