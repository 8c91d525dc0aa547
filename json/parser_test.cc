// The parser: every error message with its position, nesting limits, number forms, escapes,
// and the two entry points agreeing on arbitrary bytes.

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "json/json.h"
#include "json/value.h"

namespace vardel::json {
namespace {

using namespace std::string_literals;

// Runs both entry points and returns "ok" or the error's text; fails the test when they disagree.
std::string outcome(std::string_view text) {
  auto built = parse(text);
  auto checked = validate(text);
  std::string from_parse = built ? "ok" : built.error().display();
  std::string from_validate = checked ? "ok" : checked.error().display();
  EXPECT_EQ(from_parse, from_validate) << "the two sinks disagree";
  return from_parse;
}

struct Case {
  std::string text;
  std::string want;
};

void expect_outcomes(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(outcome(c.text), c.want);
  }
}

TEST(Parse, EndOfText) {
  expect_outcomes({
      {"", "EOF while parsing a value at line 1 column 0"},
      {"\n", "EOF while parsing a value at line 2 column 0"},
      {"  \t", "EOF while parsing a value at line 1 column 3"},
      {"[1,", "EOF while parsing a value at line 1 column 3"},
      {"{\"a\":", "EOF while parsing a value at line 1 column 5"},
      {"{\"a\":1,", "EOF while parsing a value at line 1 column 7"},
      {"tr", "EOF while parsing a value at line 1 column 2"},
      {"tru", "EOF while parsing a value at line 1 column 3"},
      {"fals", "EOF while parsing a value at line 1 column 4"},
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"1.", "EOF while parsing a value at line 1 column 2"},
      {"1e", "EOF while parsing a value at line 1 column 2"},
      {"[1e-", "EOF while parsing a value at line 1 column 4"},
      {"[", "EOF while parsing a list at line 1 column 1"},
      {"[1", "EOF while parsing a list at line 1 column 2"},
      {"[[]\n", "EOF while parsing a list at line 2 column 0"},
      {"{", "EOF while parsing an object at line 1 column 1"},
      {"{\"a\"", "EOF while parsing an object at line 1 column 4"},
      {"{\"a\":1 ", "EOF while parsing an object at line 1 column 7"},
      {"\"abc", "EOF while parsing a string at line 1 column 4"},
      {"\"\\", "EOF while parsing a string at line 1 column 2"},
      {"{\"ab", "EOF while parsing a string at line 1 column 4"},
      {"\"\\u12", "EOF while parsing a string at line 1 column 5"},
      {"\"\\uD800", "EOF while parsing a string at line 1 column 7"},
      {"\"\\uD800\\", "EOF while parsing a string at line 1 column 8"},
      {"\"\\uD800\\uDC0", "EOF while parsing a string at line 1 column 12"},
  });
}

TEST(Parse, UnexpectedCharacters) {
  expect_outcomes({
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"[1}", "expected `,` or `]` at line 1 column 3"},
      {"{\"a\":1 \"b\":2}", "expected `,` or `}` at line 1 column 8"},
      {"trUe", "expected ident at line 1 column 3"},
      {"nul1", "expected ident at line 1 column 4"},
      {"[tx]", "expected ident at line 1 column 3"},
      {"x", "expected value at line 1 column 1"},
      {"[,1]", "expected value at line 1 column 2"},
      {"[1,,2]", "expected value at line 1 column 4"},
      {"+1", "expected value at line 1 column 1"},
      {".5", "expected value at line 1 column 1"},
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"{,}", "key must be a string at line 1 column 2"},
      {"{\"a\":1,2}", "key must be a string at line 1 column 8"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"{\"a\":1 , }", "trailing comma at line 1 column 10"},
      {"[1,\n]", "trailing comma at line 2 column 1"},
      {"{}x", "trailing characters at line 1 column 3"},
      {"1 2", "trailing characters at line 1 column 3"},
      {"[]\n\n  ]", "trailing characters at line 3 column 3"},
      {"{} \n\n \r\n\t", "ok"},
  });
}

TEST(Parse, StringErrors) {
  expect_outcomes({
      {"\"a\x01\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {"\"\t\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
      {"\"a\0\""s,
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {"\"a\nb\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
      {"\n[\"\\n\na\"]",
       "control character (\\u0000-\\u001F) found while parsing a string at line 3 column 0"},
      {"\"\\x\"", "invalid escape at line 1 column 3"},
      {"\"\\U0041\"", "invalid escape at line 1 column 3"},
      {"\"\\u12G4\"", "invalid escape at line 1 column 7"},
      {"[\"\\u12\"]", "invalid escape at line 1 column 8"},
      {"\"\\u\"", "EOF while parsing a string at line 1 column 4"},
      // The four characters of "\u" are counted as characters: here the fourth "é" starts at
      // byte 9; with only two characters left the string ends inside the escape.
      {"\"\\u\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\"", "invalid escape at line 1 column 10"},
      {"\"\\u\xC3\xA9\xC3\xA9", "EOF while parsing a string at line 1 column 7"},
      {"[\"\\uDC00\"]", "lone leading surrogate in hex escape at line 1 column 8"},
      {"\"\\uD800\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"\\uDBFF\\uDBFF\"", "lone leading surrogate in hex escape at line 1 column 13"},
      {"\"\\uD800x\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\uD800\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\uD800\\n\"", "unexpected end of hex escape at line 1 column 9"},
      {"\"\\uD800\\uZZZZ\"", "invalid escape at line 1 column 13"},
  });
}

TEST(Parse, NumberErrors) {
  expect_outcomes({
      {"01", "invalid number at line 1 column 2"},
      {"-01", "invalid number at line 1 column 3"},
      {"-x", "invalid number at line 1 column 2"},
      {"[-]", "invalid number at line 1 column 3"},
      {"1.x", "invalid number at line 1 column 3"},
      {"1.e5", "invalid number at line 1 column 3"},
      {"[1.]", "invalid number at line 1 column 4"},
      {"1ex", "invalid number at line 1 column 3"},
      {"1e+x", "invalid number at line 1 column 4"},
      {"1E-]", "invalid number at line 1 column 4"},
      {"1e400", "number out of range at line 1 column 5"},
      {"[-1e400]", "number out of range at line 1 column 7"},
      {"1.7976931348623159e308", "number out of range at line 1 column 22"},
      {"1e0000000000000000000400", "number out of range at line 1 column 24"},
      {"0.0000001e316", "number out of range at line 1 column 13"},
      {std::string(400, '9'), "number out of range at line 1 column 400"},
      {"1.7976931348623157e308", "ok"},
      {"1e-400", "ok"},
      {"0e99999999999999999999", "ok"},
      {"100000e-999999999999999999", "ok"},
  });
}

TEST(Parse, Positions) {
  expect_outcomes({
      // Carriage returns count as bytes of their own line only.
      {"{\r\n\"a\":1,\r\nx}", "key must be a string at line 3 column 1"},
      {"[1\r\n2]", "expected `,` or `]` at line 2 column 1"},
      {"[\r\n \rx]", "expected value at line 2 column 3"},
      // A multi-byte character counts each of its bytes.
      {"[\"\xC3\xA9\" x]", "expected `,` or `]` at line 1 column 7"},
      {"[\"\xE2\x82\xAC\", \xE2\x82\xAC]", "expected value at line 1 column 9"},
      {"\"\xE2\x82\xAC\x01\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 5"},
  });
}

// A stop byte at every offset of a long string, so the bulk scan meets it in every lane and in
// the byte-wise tail.
TEST(Parse, StringScanFindsEveryOffset) {
  for (std::size_t n = 0; n < 48; ++n) {
    SCOPED_TRACE(n);
    std::string run(n, 'a');
    std::string column = std::to_string(n + 2);
    EXPECT_EQ(outcome("\"" + run + "\x1F" + run + "\""),
              "control character (\\u0000-\\u001F) found while parsing a string at line 1 column " +
                  column);
    EXPECT_EQ(outcome("\"" + run + "\\q\""),
              "invalid escape at line 1 column " + std::to_string(n + 3));
    EXPECT_EQ(outcome("\"" + run + "\x7F\x80\xFF"),
              "EOF while parsing a string at line 1 column " + std::to_string(n + 4));
    auto value = parse("\"" + run + "\"" + std::string(n, ' '));
    ASSERT_TRUE(value) << value.error().display();
    EXPECT_EQ(value->as_string(), run);
  }
}

std::string nested(std::size_t levels, std::string_view open, std::string_view close) {
  std::string text;
  for (std::size_t i = 0; i < levels; ++i) {
    text += open;
  }
  for (std::size_t i = 0; i < levels; ++i) {
    text += close;
  }
  return text;
}

// Objects nested `levels` deep, the innermost one empty.
std::string nested_objects(std::size_t levels) {
  return nested(levels - 1, "{\"a\":", "}").insert(5 * (levels - 1), "{}");
}

TEST(Parse, NestingLimit) {
  expect_outcomes({
      {nested(127, "[", "]"), "ok"},
      {nested(128, "[", "]"), "recursion limit exceeded at line 1 column 128"},
      {nested_objects(127), "ok"},
      {nested_objects(128), "recursion limit exceeded at line 1 column 636"},
      {std::string("[").append(nested_objects(126)).append("]"), "ok"},
      {std::string("{\"x\":").append(nested(127, "[", "]")).append("}"),
       "recursion limit exceeded at line 1 column 132"},
      {std::string(1'000'000, '['), "recursion limit exceeded at line 1 column 128"},
      {std::string(1'000'000, '{'), "key must be a string at line 1 column 2"},
  });
  // The deepest document keeps its shape.
  auto value = parse(nested(127, "[", "]"));
  ASSERT_TRUE(value) << value.error().display();
  const Value* v = &*value;
  std::size_t depth = 0;
  while (v->is_array() && !v->as_array().empty()) {
    v = &v->as_array()[0];
    ++depth;
  }
  EXPECT_EQ(depth, 126u);
}

Value parse_ok(std::string_view text) {
  auto value = parse(text);
  EXPECT_TRUE(value) << text << ": " << value.error().display();
  EXPECT_TRUE(validate(text)) << text;
  return value ? *value : Value();
}

TEST(Parse, NumberForms) {
  struct Form {
    std::string_view text;
    Value want;
  };
  const Form forms[] = {
      {"0", Value(std::uint64_t{0})},
      {"18446744073709551615", Value(std::uint64_t{18446744073709551615u})},
      {"18446744073709551616", Value(18446744073709551616.0)},
      {"-1", Value(std::int64_t{-1})},
      {"-9223372036854775808", Value(std::numeric_limits<std::int64_t>::min())},
      {"-9223372036854775809", Value(-9223372036854775809.0)},
      {"-18446744073709551616", Value(-18446744073709551616.0)},
      {"1.0", Value(1.0)},
      {"1e2", Value(100.0)},
      {"1E+2", Value(100.0)},
      {"-2.5e-3", Value(-0.0025)},
      {"0.1", Value(0.1)},
      {"9007199254740993", Value(std::uint64_t{9007199254740993u})},
      // Correct rounding: halfway cases go to even, long inputs to the nearest double.
      {"9007199254740993.0", Value(9007199254740992.0)},
      {"9007199254740995.0", Value(9007199254740996.0)},
      {"0.1000000000000000055511151231257827021181583404541015625", Value(0.1)},
      {"2.2250738585072011e-308", Value(2.2250738585072011e-308)},
      {"1.7976931348623157e308", Value(1.7976931348623157e308)},
      {"5e-324", Value(5e-324)},
      {"2e-324", Value(0.0)},
      {"1e-400", Value(0.0)},
      {"123456789012345678901234567890", Value(1.2345678901234568e29)},
  };
  for (const Form& f : forms) {
    SCOPED_TRACE(f.text);
    Value got = parse_ok(f.text);
    EXPECT_EQ(got.kind(), f.want.kind());
    EXPECT_EQ(got, f.want);
  }
  for (std::string_view text : {"-0", "-0.0", "-1e-400", "-0e5"}) {
    SCOPED_TRACE(text);
    Value got = parse_ok(text);
    ASSERT_EQ(got.kind(), Value::Kind::floating);
    EXPECT_EQ(got.as_double(), 0.0);
    EXPECT_TRUE(std::signbit(got.as_double()));
  }
}

TEST(Parse, Strings) {
  const Case cases[] = {
      {R"("")", ""},
      {R"("plain")", "plain"},
      {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
      {R"("\u0041\u00e9\u20AC")", "A\xC3\xA9\xE2\x82\xAC"},
      {R"("\uD83D\uDE00")", "\xF0\x9F\x98\x80"},
      {R"("\u0000")", "\0"s},
      {R"("0123456789abcdefghij\tz and more than sixteen bytes\n")",
       "0123456789abcdefghij\tz and more than sixteen bytes\n"},
      {"\"\xC3\xA9\xF0\x9F\x98\x80\"", "\xC3\xA9\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Value got = parse_ok(c.text);
    ASSERT_TRUE(got.is_string());
    EXPECT_EQ(got.as_string(), c.want);
  }
}

TEST(Parse, Structures) {
  Value got = parse_ok(R"( {"b": [1, -2, 3.5, true, false, null], "a\u0062": {}, "b": "last"} )");
  ASSERT_TRUE(got.is_object());
  const Object& object = got.as_object();
  ASSERT_EQ(object.size(), 2u);
  EXPECT_EQ(object.begin()->key, "ab");
  ASSERT_NE(object.find("b"), nullptr);
  EXPECT_EQ(*object.find("b"), Value("last"));

  Value array = parse_ok(R"([1, -2, 3.5, true, false, null, "s", [], {}])");
  Array want{Value(std::uint64_t{1}),
             Value(std::int64_t{-2}),
             Value(3.5),
             Value(true),
             Value(false),
             Value(nullptr),
             Value("s"),
             Value(Array{}),
             Value(Object{})};
  EXPECT_EQ(array, Value(want));
}

// Random bytes and random damage to a valid document: neither sink may crash, read out of
// bounds (the sanitizer build checks) or disagree with the other.
TEST(Parse, ArbitraryBytesNeverBreakTheSinksAgreement) {
  std::mt19937 random(12345);
  const std::string base =
      R"({"a": [1, -2.5e3, "x\u00e9\uD83D\uDE00", true, null], "b": {"c": "\"\n"}, "d": -0})";
  const std::string alphabet = "{}[]\":,\\u0123456789-+.eEtrufalsn \t\r\nDdC\x01\xC3\xA9\xFF";
  for (int i = 0; i < 20000; ++i) {
    std::string text = base;
    int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      std::size_t at = random() % (text.size() + 1);
      char c = alphabet[random() % alphabet.size()];
      switch (random() % 3) {
        case 0:
          text.insert(at, 1, c);
          break;
        case 1:
          if (at < text.size()) {
            text[at] = c;
          }
          break;
        default:
          text = text.substr(0, at);
      }
    }
    SCOPED_TRACE(text);
    outcome(text);
  }
  for (int i = 0; i < 5000; ++i) {
    std::string text(random() % 64, '\0');
    for (char& c : text) {
      c = static_cast<char>(random());
    }
    outcome(text);
  }
}

TEST(ParseError, Display) {
  ParseError error{"trailing comma", 12, 0};
  EXPECT_EQ(error.display(), "trailing comma at line 12 column 0");
}

}  // namespace
}  // namespace vardel::json
