// The grammar and the parse driver: which texts read, where and how refused texts are reported,
// and the shape of the tree the conversion gets.
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "json5/json5.h"
#include "json5/json5_internal.h"

namespace vardel::json5 {
namespace {

const std::string ALL_VALUES = "expected array, boolean, null, number, object, or string";

// The six lines for a one-digit line number, from their parts, so that the tables below stay
// readable; the rendering itself is checked whole, character for character, in
// RendersWholeTexts.
std::string six_lines(std::string_view at, std::string_view shown, std::string_view marker,
                      std::string_view message) {
  return " --> " + std::string(at) + "\n  |\n1 | " + std::string(shown) + "\n  | " +
         std::string(marker) + "^---\n  |\n  = " + std::string(message);
}

std::string syntax_error_of(std::string_view text) {
  auto value = json5_to_value(text);
  if (value) {
    return "<read>";
  }
  return value.error().display();
}

TEST(Json5Parse, RendersWholeTexts) {
  struct Case {
    std::string text;
    std::string_view want;
  };
  const Case cases[] = {
      {"[1 2]", " --> 1:2\n  |\n1 | [1 2]\n  |  ^---\n  |\n  = expected boolean, null, or string"},
      {"",
       " --> 1:1\n  |\n1 | \n  | ^---\n  |\n  = expected array, boolean, null, number, object, or string"},
      {"[1,\r\n",
       " --> 2:1\n  |\n2 | \n  | ^---\n  |\n  = expected array, boolean, null, number, object, or string"},
      // The CR of a CR LF inside a string: both line ends shown as symbols.
      {"\"ab\r\ncd\"",
       " --> 1:4\n  |\n1 | \"ab\u240D\u240A\n  |    ^---\n  |\n  = expected char_literal"},
      {"\"a\rb", " --> 1:3\n  |\n1 | \"a\u240Db\n  |   ^---\n  |\n  = expected char_literal"},
      {"\"a\nb\"", " --> 1:3\n  |\n1 | \"a\u240A\n  |   ^---\n  |\n  = expected char_literal"},
      // Not on a line end: the line's CR and LF are dropped.
      {"{a:1,\r\n  b 2}",
       " --> 1:4\n  |\n1 | {a:1,\n  |    ^---\n  |\n  = expected boolean, null, or string"},
      {"[\t1\t2]",
       " --> 1:3\n  |\n1 | [\t1\t2]\n  |  \t^---\n  |\n  = expected boolean, null, or string"},
      {"[\n\n\n\n\n\n\n\n\n\n1 2]",
       "  --> 11:1\n   |\n11 | 1 2]\n   | ^---\n   |\n   = expected boolean, null, or string"},
      {"[" + std::string(99, '\n') + "1 2]",
       "   --> 100:1\n    |\n100 | 1 2]\n    | ^---\n    |\n    = expected boolean, null, or string"},
      // Columns count characters, not bytes.
      {"['\u00e9\u4e2d' 1]",
       " --> 1:2\n  |\n1 | ['\u00e9\u4e2d' 1]\n  |  ^---\n  |\n  = expected boolean or null"},
      {"['\u00e9\u4e2d' 1 2]",
       " --> 1:2\n  |\n1 | ['\u00e9\u4e2d' 1 2]\n  |  ^---\n  |\n  = expected boolean or null"},
      {"['\u00e9\u4e2d', 1 2]",
       " --> 1:8\n  |\n1 | ['\u00e9\u4e2d', 1 2]\n  |        ^---\n  |\n  = expected boolean, null, or string"},
      {"\"\u00e9\u2028\"",
       " --> 1:3\n  |\n1 | \"\u00e9\u2028\"\n  |   ^---\n  |\n  = expected char_literal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(syntax_error_of(c.text), c.want);
  }
}

TEST(Json5Parse, ReportsFarthestFailure) {
  struct Case {
    std::string_view text;
    std::string_view at;
    std::string_view marker;
    std::string message;
  };
  const Case cases[] = {
      {"1 2", "1:3", "  ", "expected EOI"},
      {"[1]x", "1:4", "   ", "expected EOI"},
      {"[1][2]", "1:4", "   ", "expected EOI"},
      {"{a:1}{", "1:6", "     ", "expected EOI"},
      {"nullx", "1:5", "    ", "expected EOI"},
      {"1 /* x", "1:3", "  ", "expected EOI"},
      {"\"abc", "1:5", "    ", "expected char_literal"},
      {"'abc", "1:5", "    ", "expected char_literal"},
      {"   ", "1:4", "   ", ALL_VALUES},
      {"// only", "1:8", "       ", ALL_VALUES},
      {"/* c */", "1:8", "       ", ALL_VALUES},
      {"/* x", "1:1", "", ALL_VALUES},
      {"/* a /* b */ c */ 1", "1:14", "             ", ALL_VALUES},
      {"tru", "1:1", "", ALL_VALUES},
      {"x", "1:1", "", ALL_VALUES},
      {"+ 1", "1:1", "", ALL_VALUES},
      {".", "1:1", "", ALL_VALUES},
      {"-", "1:1", "", ALL_VALUES},
      {"[,]", "1:2", " ", ALL_VALUES},
      {"[1,,]", "1:4", "   ", ALL_VALUES},
      {"[1,,2]", "1:4", "   ", ALL_VALUES},
      {"{a:[}", "1:5", "    ", ALL_VALUES},
      {"[\u0085]", "1:2", " ", ALL_VALUES},
      {"[\u200b]", "1:2", " ", ALL_VALUES},
      {"[truefalse]", "1:2", " ", "expected null"},
      {"{,}", "1:2", " ", "expected identifier or string"},
      {"{", "1:2", " ", "expected identifier or string"},
      {"{1: 2}", "1:2", " ", "expected identifier or string"},
      {"{a:1,,}", "1:6", "     ", "expected identifier or string"},
      {"[{]", "1:3", "  ", "expected identifier or string"},
      {"{\"a\" 1}", "1:2", " ", "expected identifier"},
      {"\"a\\", "1:4", "   ", "expected char_escape_sequence or nul_escape_sequence"},
      {"\"\\1\"", "1:3", "  ", "expected char_escape_sequence or nul_escape_sequence"},
      {"'\\9'", "1:3", "  ", "expected char_escape_sequence or nul_escape_sequence"},
      {"'\\x4g'", "1:4", "   ", "expected hex_escape_sequence"},
      {"'\\x'", "1:4", "   ", "expected hex_escape_sequence"},
      {"'\\u12'", "1:4", "   ", "expected unicode_escape_sequence"},
      {"{\\u12:1}", "1:4", "   ", "expected unicode_escape_sequence"},
      {"{1a:1}", "1:2", " ", "expected identifier or string"},
      {"{a-b:1}", "1:1", "", ALL_VALUES},
      {"{a b:1}", "1:1", "", ALL_VALUES},
      {"{a:1, a-b:2}", "1:4", "   ", "expected boolean, null, or string"},
      // Numbers that end early: the rest meets EOI at the top, and inside an array the
      // failures of the alternatives tried before `number` at its start are the farthest.
      {"0x", "1:2", " ", "expected EOI"},
      {"0xG", "1:2", " ", "expected EOI"},
      {"01", "1:2", " ", "expected EOI"},
      {"00.5", "1:2", " ", "expected EOI"},
      {"0x1.5", "1:4", "   ", "expected EOI"},
      {"1e", "1:2", " ", "expected EOI"},
      {"1.5e+", "1:4", "   ", "expected EOI"},
      {"1.2.3", "1:4", "   ", "expected EOI"},
      {"1..2", "1:3", "  ", "expected EOI"},
      {"Infinityx", "1:9", "        ", "expected EOI"},
      {"1_000", "1:2", " ", "expected EOI"},
      {"0o7", "1:2", " ", "expected EOI"},
      {"0b1", "1:2", " ", "expected EOI"},
      {"01 // c", "1:2", " ", "expected EOI"},
      {"1 /* c */ e", "1:11", "          ", "expected EOI"},
      {"[01]", "1:2", " ", "expected boolean, null, or string"},
      {"[0x]", "1:2", " ", "expected boolean, null, or string"},
      {"[1e]", "1:2", " ", "expected boolean, null, or string"},
      {"[Infinityx]", "1:2", " ", "expected boolean, null, or string"},
      {"{a: 0x1.5}", "1:5", "    ", "expected boolean, null, or string"},
      {"- 1", "1:1", "", ALL_VALUES},
      {"--1", "1:1", "", ALL_VALUES},
      {"+-1", "1:1", "", ALL_VALUES},
      {"-.e1", "1:1", "", ALL_VALUES},
      {".e1", "1:1", "", ALL_VALUES},
      {"Inf", "1:1", "", ALL_VALUES},
      {"infinity", "1:1", "", ALL_VALUES},
      {"INFINITY", "1:1", "", ALL_VALUES},
      {"nan", "1:1", "", ALL_VALUES},
      {"[- 1]", "1:2", " ", ALL_VALUES},
      {"\u0661", "1:1", "", ALL_VALUES},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string shown(c.text);
    std::erase_if(shown, [](char ch) { return ch == '\n' || ch == '\r'; });
    EXPECT_EQ(syntax_error_of(c.text), six_lines(c.at, shown, c.marker, c.message));
  }
}

TEST(Json5Parse, ReadsTexts) {
  const std::string_view texts[] = {
      "[]",
      "{}",
      "[ ]",
      "{ }",
      "[[[]]]",
      "[1 , 2]",
      "{ a : 1 , }",
      "{a:1 /* c */, b:2}",
      "{a\n:\n1}",
      "[1,]",
      "[1,2,]",
      "{a:1,}",
      "{a:1,b:2,}",
      "\uFEFF[]",
      " // c\n 5 /* d */ ",
      "1 // end",
      "[1//c\n,2]",
      "[1/*c*/,2]",
      "[/**/]",
      "\uFEFF\uFEFF1",
      "1\uFEFF",
      "\u3000[\u2028]\u00A0",
      "[\u2029\v\f]",
      "[\r\n1,\r2\n]",
      "{null:1}",
      "{true:false}",
      "{$a_b:1}",
      "{\"a\":1,\"a\":2}",
      "null",
      "true",
      "false",
      "Infinity",
      "-Infinity",
      "NaN",
      "-NaN",
      "+NaN",
      "''",
      "\"\"",
      "'\\''",
      "\"it's\"",
      "'say \"hi\"'",
      "'\\q'",
      "'\\U0041'",
      "'\\01'",
      "'\\x41'",
      "'a\\\r\nb'",
      "'a\\\nb'",
      "'a\\\rb'",
      "'a\\\u2028b'",
      "'a\\\u2029b'",
      "'\t'",
      "'\x01\x1f'",
      "'\\\u00e9'",
      "'\\/'",
      "{$:1}",
      "{_:1}",
      "{$_:1}",
      "{a1:1}",
      "{\u00e9t\u00e9:1}",
      "{a^b:1}",
      "{a`b:1}",
      "{a\u00b7b:1}",
      "{\\u0031:1}",
      "{null:1}",
      "{Infinity:1, NaN:2}",
      "{a\u0301:1}",
      "{a\u200Cb:1}",
      "{\\u0061:1}",
      "{a\\u0062c:1}",
      "0x1F",
      "0X1f",
      "-0x1F",
      "+0x1F",
      "1.",
      "5.e3",
      ".5",
      "+.5",
      "-.5",
      "0e5",
      "1E+5",
      "1e-5",
      "0.0e0",
      "123456789012345678901234567890",
      "[-1.5e-3,+2]",
  };
  for (std::string_view text : texts) {
    SCOPED_TRACE(text);
    auto nodes = json5_parse_rule(Json5Rule::text, text);
    EXPECT_TRUE(nodes.has_value());
  }
}

// The rule and text of each node of a subtree, depth first, children indented by two spaces.
void describe(const Node& node, int depth, std::string& out) {
  out += std::string(2 * depth, ' ') + std::string(name(node.rule())) + " " +
         std::string(node.text()) + "\n";
  for (const Node& child : node.children()) {
    describe(child, depth + 1, out);
  }
}

std::string tree_of(Json5Rule start, std::string_view text) {
  auto nodes = json5_parse_rule(start, text);
  if (!nodes) {
    return "<refused>";
  }
  std::string out;
  for (const Node& node : *nodes) {
    describe(node, 0, out);
  }
  return out;
}

TEST(Json5Parse, BuildsNodes) {
  struct Case {
    Json5Rule start;
    std::string_view text;
    std::string_view want;
  };
  const Case cases[] = {
      {Json5Rule::text, " [1, {a: 'x'}, null] ",
       "array [1, {a: 'x'}, null]\n  number 1\n  object {a: 'x'}\n    identifier a\n      "
       "char_literal a\n    string 'x'\n      char_literal x\n  null null\nEOI \n"},
      {Json5Rule::text, "{b:true,\"c\":false,}",
       "object {b:true,\"c\":false,}\n  identifier b\n    char_literal b\n  boolean true\n  "
       "string \"c\"\n    char_literal c\n  boolean false\nEOI \n"},
      {Json5Rule::string, "'ab\u00e9'",
       "string 'ab\u00e9'\n  char_literal a\n  char_literal b\n  char_literal \u00e9\n"},
      {Json5Rule::string, "''", "string ''\n"},
      {Json5Rule::string, "'\\''", "string '\\''\n  char_escape_sequence '\n"},
      {Json5Rule::string, "'\\q'", "string '\\q'\n  char_escape_sequence q\n"},
      {Json5Rule::string, "'\\U0041'",
       "string '\\U0041'\n  char_escape_sequence U\n  char_literal 0\n  char_literal 0\n  "
       "char_literal 4\n  char_literal 1\n"},
      {Json5Rule::string, "'\\01'", "string '\\01'\n  nul_escape_sequence 0\n  char_literal 1\n"},
      {Json5Rule::string, "'\\x41\\u00e9'",
       "string '\\x41\\u00e9'\n  hex_escape_sequence 41\n  unicode_escape_sequence 00e9\n"},
      {Json5Rule::string, "'\\x411'",
       "string '\\x411'\n  hex_escape_sequence 41\n  char_literal 1\n"},
      {Json5Rule::string, "'a\\\r\nb'", "string 'a\\\r\nb'\n  char_literal a\n  char_literal b\n"},
      {Json5Rule::string, "'a\\\nb'", "string 'a\\\nb'\n  char_literal a\n  char_literal b\n"},
      {Json5Rule::string, "'a\\\rb'", "string 'a\\\rb'\n  char_literal a\n  char_literal b\n"},
      {Json5Rule::string, "'a\\\u2028b'",
       "string 'a\\\u2028b'\n  char_literal a\n  char_literal b\n"},
      {Json5Rule::identifier, "a\\u0062c",
       "identifier a\\u0062c\n  char_literal a\n  unicode_escape_sequence 0062\n  char_literal c\n"},
      // A backslash not followed by "u" ends an identifier.
      {Json5Rule::identifier, "ab\\x", "identifier ab\n  char_literal a\n  char_literal b\n"},
      {Json5Rule::number, "-0x1F", "number -0x1F\n"},
      {Json5Rule::number, "01", "number 0\n"},
      {Json5Rule::number, "1.2.3", "number 1.2\n"},
      {Json5Rule::number, "1.5e+", "number 1.5\n"},
      {Json5Rule::number, "Infinityx", "number Infinity\n"},
      {Json5Rule::text, "[]", "array []\nEOI \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(tree_of(c.start, c.text), c.want);
  }
}

TEST(Json5Parse, EoiNodeIsEmptyAtTheEnd) {
  auto nodes = json5_parse_rule(Json5Rule::text, "[1] // c");
  ASSERT_TRUE(nodes.has_value());
  ASSERT_EQ(nodes->size(), 2u);
  EXPECT_EQ((*nodes)[1].rule(), Json5Rule::EOI);
  EXPECT_EQ((*nodes)[1].begin(), 8u);
  EXPECT_EQ((*nodes)[1].end(), 8u);
}

TEST(Json5Parse, NodesKeepTheTreeAlive) {
  const std::string text = "[['a', 'b']]";
  std::vector<Node> inner;
  {
    auto nodes = json5_parse_rule(Json5Rule::text, text);
    ASSERT_TRUE(nodes.has_value());
    inner = (*nodes)[0].children()[0].children();
  }
  ASSERT_EQ(inner.size(), 2u);
  EXPECT_EQ(inner[1].text(), "'b'");
  EXPECT_EQ(inner[1].children()[0].text(), "b");
}

TEST(Json5Parse, SyntaxErrorFields) {
  auto nodes = json5_parse_rule(Json5Rule::text, "{\n  a: [1 2]}");
  ASSERT_FALSE(nodes.has_value());
  const auto* error = std::get_if<Json5SyntaxError>(&nodes.error());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->position, 8u);
  EXPECT_EQ(error->expected,
            (std::vector<Json5Rule>{Json5Rule::boolean, Json5Rule::null, Json5Rule::string}));
  EXPECT_EQ(error->line, 2u);
  EXPECT_EQ(error->column, 7u);
  EXPECT_EQ(error->shown_line, "  a: [1 2]}");

  const Json5Error converted = Json5Error::from_syntax_error(*error);
  EXPECT_EQ(converted.message, error->display());
  EXPECT_EQ(converted.location, (SourceLocation{2, 7}));
}

TEST(Json5Parse, LocationOfOffsets) {
  struct Case {
    std::string_view text;
    std::size_t offset;
    SourceLocation want;
  };
  const Case cases[] = {
      {"", 0, {1, 1}},         {"ab\ncd", 3, {2, 1}},        {"ab\r\ncd", 4, {2, 1}},
      {"ab\r\ncd", 3, {1, 4}},  // on the LF: the CR before it is still on line 1
      {"a\rb", 2, {1, 3}},      // a lone CR is a character
      {"a\u2028b", 4, {1, 3}}, {"\u00e9\u4e2dx", 5, {1, 3}}, {"x\n", 2, {2, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(location_of(c.text, c.offset), c.want);
  }
}

TEST(Json5Parse, OtherStartRulesNeedNotReachTheEnd) {
  EXPECT_EQ(tree_of(Json5Rule::value, "1 2"), "number 1\n");
  EXPECT_EQ(tree_of(Json5Rule::array, "[1] x"), "array [1]\n  number 1\n");
  EXPECT_EQ(tree_of(Json5Rule::pair, "a : 'b' }"),
            "identifier a\n  char_literal a\nstring 'b'\n  char_literal b\n");
  EXPECT_EQ(tree_of(Json5Rule::WHITESPACE, " x"), "");
  EXPECT_EQ(tree_of(Json5Rule::double_quote_char, "abc"), "char_literal a\n");
  EXPECT_EQ(tree_of(Json5Rule::escape_sequence, "x41"), "hex_escape_sequence 41\n");
  EXPECT_EQ(tree_of(Json5Rule::EOI, ""), "EOI \n");
  EXPECT_EQ(tree_of(Json5Rule::EOI, "x"), "<refused>");
}

TEST(Json5Rule, ThirteenNodeRules) {
  std::vector<std::string_view> node_rules;
  for (int rule = 0; rule < JSON5_RULE_COUNT; ++rule) {
    if (is_node_rule(static_cast<Json5Rule>(rule))) {
      node_rules.push_back(name(static_cast<Json5Rule>(rule)));
    }
  }
  EXPECT_EQ(node_rules, (std::vector<std::string_view>{
                            "EOI", "array", "boolean", "char_escape_sequence", "char_literal",
                            "hex_escape_sequence", "identifier", "nul_escape_sequence", "null",
                            "number", "object", "string", "unicode_escape_sequence"}));
}

TEST(Json5Rule, Names) {
  EXPECT_EQ(name(Json5Rule::EOI), "EOI");
  EXPECT_EQ(name(Json5Rule::WHITESPACE), "WHITESPACE");
  EXPECT_EQ(name(Json5Rule::char_escape_sequence), "char_escape_sequence");
  EXPECT_EQ(name(Json5Rule::value), "value");
  EXPECT_EQ(static_cast<int>(Json5Rule::value), 35);
  EXPECT_EQ(static_cast<int>(Json5Rule::null), 24);
  EXPECT_EQ(static_cast<int>(Json5Rule::string), 31);
}

}  // namespace
}  // namespace vardel::json5
