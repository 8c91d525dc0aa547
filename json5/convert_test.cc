// The conversion of parsed JSON5 documents into values, and its five errors with their locations.
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "json/value.h"
#include "json5/json5.h"
#include "json5/json5_internal.h"

namespace vardel::json5 {
namespace {

using json::Value;

Value u(std::uint64_t v) {
  return Value(v);
}
Value s(std::int64_t v) {
  return Value(v);
}
Value d(double v) {
  return Value(v);
}
Value str(std::string v) {
  return Value(std::move(v));
}
Value array(json::Array elements) {
  return Value(std::move(elements));
}

// A document's value, or the error that it gives.
struct Outcome {
  std::optional<Value> value;
  std::string message;
  std::optional<SourceLocation> location;
};

// Also checks that json5_check, which builds nothing, comes to the same outcome and error.
Outcome read(std::string_view text) {
  auto value = json5_to_value(text);
  const auto checked = json5_check(text);
  EXPECT_EQ(checked.has_value(), value.has_value()) << text;
  if (!checked && !value) {
    EXPECT_EQ(checked.error(), value.error()) << text;
  }
  if (value) {
    return Outcome{std::move(*value), "", std::nullopt};
  }
  return Outcome{std::nullopt, value.error().message, value.error().location};
}

TEST(Json5Convert, NumberTable) {
  struct Case {
    std::string_view text;
    bool integer_text;
    std::optional<Value> want;
    std::string_view error;
  };
  const Case cases[] = {
      {"0x1F", true, u(31), ""},
      {"0X1f", true, u(31), ""},
      {"0x1e", true, u(30), ""},
      {"0xFFFFFFFF", true, u(4294967295), ""},
      {"0x00000000FF", true, u(255), ""},
      {"0x100000000", true, std::nullopt, "error parsing hex"},
      {"-0x10", true, std::nullopt, "error parsing integer"},
      {"+0x10", true, std::nullopt, "error parsing integer"},
      {"-0x1E", false, std::nullopt, "error parsing number"},
      {"0", true, u(0), ""},
      {"-0", true, u(0), ""},
      {"+5", true, u(5), ""},
      {"-1", true, s(-1), ""},
      {"9223372036854775807", true, u(9223372036854775807u), ""},
      {"9223372036854775808", true, std::nullopt, "error parsing integer"},
      {"-9223372036854775808", true, s(INT64_MIN), ""},
      {"-9223372036854775809", true, std::nullopt, "error parsing integer"},
      {"18446744073709551615", true, std::nullopt, "error parsing integer"},
      {"1.5e3", false, d(1500), ""},
      {"1E3", false, d(1000), ""},
      {"1.0", false, d(1.0), ""},
      {".5", false, d(0.5), ""},
      {"5.", false, d(5), ""},
      {"-0.0", false, d(-0.0), ""},
      {"1e-400", false, d(0), ""},
      {"Infinity", false, Value(nullptr), ""},
      {"-Infinity", false, Value(nullptr), ""},
      {"NaN", false, Value(nullptr), ""},
      {"-NaN", false, Value(nullptr), ""},
      {"+Infinity", false, std::nullopt, "error parsing number: too large"},
      {"+NaN", false, std::nullopt, "error parsing number: too large"},
      {"1e400", false, std::nullopt, "error parsing number: too large"},
      {"-1e400", false, std::nullopt, "error parsing number: too large"},
      // Beyond the table: rounding at the edges of the double range.
      {"0.1", false, d(0.1), ""},
      {"1.7976931348623157e308", false, d(1.7976931348623157e308), ""},
      {"4.9e-324", false, d(4.9e-324), ""},
      {"2.4e-324", false, d(0), ""},
      {"9007199254740993", true, u(9007199254740993u), ""},
      {"9007199254740993.0", false, d(9007199254740992.0), ""},
      {"0.000000000000000000000000000000000000001e-280", false, d(1e-319), ""},
      {"1000000000000000000000000000000e280", false, std::nullopt,
       "error parsing number: too large"},
      {"-.5e-1", false, d(-0.05), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(is_integer_text(c.text), c.integer_text);
    const Outcome got = read(c.text);
    EXPECT_EQ(got.value, c.want);
    EXPECT_EQ(got.message, c.error);
    if (!c.want) {
      EXPECT_EQ(got.location, (SourceLocation{1, 1}));
    }
  }
}

TEST(Json5Convert, NegativeZeroKeepsItsSign) {
  const Outcome got = read("[-0.0, -0, -1e-400]");
  ASSERT_TRUE(got.value);
  const json::Array& a = got.value->as_array();
  EXPECT_TRUE(std::signbit(a[0].as_double()));
  EXPECT_EQ(a[1], u(0));
  EXPECT_TRUE(std::signbit(a[2].as_double()));
}

TEST(Json5Convert, IntegerTextRules) {
  struct Case {
    std::string_view text;
    bool want;
  };
  // Hexadecimal digits e and E only make a signed literal a float text.
  constexpr Case cases[] = {{"0x1e", true},  {"0xE", true},  {"-0x1e", false}, {"+0x10", true},
                            {"0x", true},    {"1.5", false}, {"0x1.5", false}, {"-Infinity", false},
                            {"+NaN", false}, {"12", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(is_integer_text(c.text), c.want);
  }
}

TEST(Json5Convert, HexText) {
  EXPECT_EQ(hex_text_to_u32("ffffffff").value(), 0xFFFFFFFFu);
  EXPECT_EQ(hex_text_to_u32("0000000000000001").value(), 1u);
  EXPECT_EQ(hex_text_to_u32("aB").value(), 0xABu);
  for (std::string_view bad : {"", "100000000", "1g", "-1"}) {
    SCOPED_TRACE(bad);
    const auto got = hex_text_to_u32(bad);
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error(), (Json5Error{"error parsing hex", std::nullopt}));
  }
}

TEST(Json5Convert, Strings) {
  struct Case {
    std::string_view text;
    std::string want;
  };
  const Case cases[] = {
      {"'abc'", "abc"},
      {"''", ""},
      {"\"\"", ""},
      {"'a\\tb'", "a\tb"},
      {"'\\v'", "\v"},
      {"'\\b\\f\\n\\r'", "\b\f\n\r"},
      {"'\\q'", "q"},
      {"'\\\u00e9'", "\u00e9"},
      {"'\\'\\\"\\\\'", "'\"\\"},
      {"'\\x41\\u00e9'", "A\u00e9"},
      {"'\\xff'", "\u00ff"},
      {"'\\x00'", std::string(1, '\0')},
      {"'\\u0000'", std::string(1, '\0')},
      {"'\\0'", std::string(1, '\0')},
      {"'\\01'", std::string("\0"
                             "1",
                             2)},
      {"'\\uFFFF'", "\uFFFF"},
      {"'\\uE000'", "\uE000"},
      {"'\U0001F600'", "\U0001F600"},
      {"'a\\\nb'", "ab"},
      {"'a\\\r\nb'", "ab"},
      {"'a\\\rb'", "ab"},
      {"'a\\\u2029b'", "ab"},
      {"'\\U0041'", "U0041"},
      {"\"it's\"", "it's"},
      {"'\t\x01'", "\t\x01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(read(c.text).value, str(c.want));
  }
}

TEST(Json5Convert, ValueErrorsCarryTheirNodesStart) {
  struct Case {
    std::string_view text;
    std::string_view message;
    SourceLocation location;
  };
  const Case cases[] = {
      {"'\\uD83D\\uDE00'", "error parsing hex prefix", {1, 1}},
      {"'\\uDFFF'", "error parsing hex prefix", {1, 1}},
      {"['ok', 'a\\uD800']", "error parsing hex prefix", {1, 8}},
      {"{\\uD800: 1}", "error parsing hex prefix", {1, 2}},
      {"{a: 1, 'b\\uDC00': 1}", "error parsing hex prefix", {1, 8}},
      {"[1e400, '\\uD800']", "error parsing number: too large", {1, 2}},
      {"['\\uD800', 1e400]", "error parsing hex prefix", {1, 2}},
      {"{a: 1, a: 1e400}", "error parsing number: too large", {1, 11}},
      {"[\n  1e400]", "error parsing number: too large", {2, 3}},
      {"[\r\n  1e400]", "error parsing number: too large", {2, 3}},
      {"[\r  1e400]", "error parsing number: too large", {1, 5}},
      {"{x: [{y: -0x10}]}", "error parsing integer", {1, 10}},
      {"['\u00e9', 0x100000000]", "error parsing hex", {1, 7}},
      {"[[[+NaN]]]", "error parsing number: too large", {1, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Outcome got = read(c.text);
    EXPECT_FALSE(got.value);
    EXPECT_EQ(got.message, c.message);
    EXPECT_EQ(got.location, c.location);
  }
}

TEST(Json5Convert, Containers) {
  struct Case {
    std::string_view text;
    Value want;
  };
  auto object = [](json::Members members) {
    return Value(json::Object::from_members(std::move(members)));
  };
  const Case cases[] = {
      {"[]", array({})},
      {"{}", object({})},
      {"[NaN, Infinity, -Infinity, -NaN]",
       array({Value(nullptr), Value(nullptr), Value(nullptr), Value(nullptr)})},
      {"[-0, 0, -1, 1.0]", array({u(0), u(0), s(-1), d(1.0)})},
      {"[true, false, null, 'x']", array({Value(true), Value(false), Value(nullptr), str("x")})},
      {"{a: 1, a: 2}", object({{"a", u(2)}})},
      {"{a: 1, 'a': 2}", object({{"a", u(2)}})},
      {"{\\u0061: 1}", object({{"a", u(1)}})},
      {"{\\u0041bc: 1, \\u0020: 2}", object({{"Abc", u(1)}, {" ", u(2)}})},
      {"{null: 1, true: 2, Infinity: 3}",
       object({{"null", u(1)}, {"true", u(2)}, {"Infinity", u(3)}})},
      {"{a: [1, {b: []}]}", object({{"a", array({u(1), object({{"b", array({})}})})}})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(read(c.text).value, c.want);
  }
}

TEST(Json5Convert, ObjectKeysInByteOrder) {
  const Outcome got = read("{b: 1, a: 2, B: 3, ab: 4, 'é': 5, '': 6}");
  ASSERT_TRUE(got.value);
  std::vector<std::string> keys;
  for (const json::Member& m : got.value->as_object()) {
    keys.emplace_back(m.key);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"", "B", "a", "ab", "b", "\u00e9"}));
  EXPECT_EQ(*got.value->as_object().find("a"), u(2));
}

TEST(Json5Convert, DisplayIsTheMessageAlone) {
  auto value_error = json5_to_value("[1e400]");
  ASSERT_FALSE(value_error);
  EXPECT_EQ(value_error.error().display(), "error parsing number: too large");
  auto syntax_error = json5_to_value("[");
  ASSERT_FALSE(syntax_error);
  EXPECT_EQ(syntax_error.error().display(),
            " --> 1:2\n  |\n1 | [\n  |  ^---\n  |\n  = expected array, boolean, null, number, "
            "object, or string");
  EXPECT_EQ(syntax_error.error().location, (SourceLocation{1, 2}));
}

TEST(Json5Convert, PiecesAndEscapes) {
  auto nodes = json5_parse_rule(Json5Rule::string, "'a\\n\\q\\x41\\uD800'");
  ASSERT_TRUE(nodes);
  const std::vector<NodeRef> pieces = (*nodes)[0].ref().children();
  ASSERT_EQ(pieces.size(), 5u);
  EXPECT_EQ(node_to_string_piece(pieces[0]).value(), "a");
  EXPECT_EQ(unescape_char(pieces[1]), "\n");
  EXPECT_EQ(unescape_char(pieces[2]), "q");
  EXPECT_EQ(node_to_string_piece(pieces[3]).value(), "A");
  // A piece's error has no location; the string stamps its own start.
  EXPECT_EQ(node_to_string_piece(pieces[4]).error(),
            (Json5Error{"error parsing hex prefix", std::nullopt}));
  EXPECT_EQ(node_to_string((*nodes)[0].ref()).error(),
            (Json5Error{"error parsing hex prefix", SourceLocation{1, 1}}));
}

}  // namespace
}  // namespace vardel::json5
