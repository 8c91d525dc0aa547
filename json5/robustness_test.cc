// Hostile input: deep nesting stops at the bound without exhausting the stack, and no byte
// sequence makes the reader crash.
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "json5/json5.h"
#include "json5/json5_internal.h"

namespace vardel::json5 {
namespace {

std::string repeat(std::string_view piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) {
    out += piece;
  }
  return out;
}

TEST(Json5Nesting, AcceptsTheBoundAndRefusesOneMore) {
  struct Case {
    std::string text;
    bool reads;
    SourceLocation location;
  };
  const Case cases[] = {
      {repeat("[", 127) + repeat("]", 127), true, {}},
      {repeat("[", 128) + repeat("]", 128), false, {1, 128}},
      {repeat("{a:", 127) + "1" + repeat("}", 127), true, {}},
      {repeat("{a:", 128) + "1" + repeat("}", 128), false, {1, 3 * 127 + 1}},
      {repeat("[{a:", 64) + repeat("}]", 64), false, {1, 4 * 63 + 2}},
      {repeat("[\n", 128), false, {128, 1}},
      // The 128th level is refused even where an earlier syntax error would follow.
      {repeat("[", 200) + "1 2", false, {1, 128}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 12));
    auto value = json5_to_value(c.text);
    EXPECT_EQ(value.has_value(), c.reads);
    if (!c.reads) {
      ASSERT_FALSE(value);
      EXPECT_EQ(value.error(), (Json5Error{"recursion limit exceeded", c.location}));
    }
  }
}

TEST(Json5Nesting, MillionLevelsDeep) {
  const std::size_t depth = 1'000'000;
  for (const std::string& text :
       {repeat("[", depth) + repeat("]", depth), repeat("{a:", depth), repeat("[{'k':", depth)}) {
    auto value = json5_to_value(text);
    ASSERT_FALSE(value);
    EXPECT_EQ(value.error().message, "recursion limit exceeded");
  }
}

TEST(Json5Nesting, DeepValuesConvertAndRelease) {
  // The deepest accepted document, wide at every level (63 arrays holding an object each, and
  // one array inside), goes through conversion and release.
  std::string text;
  for (int i = 0; i < 63; ++i) {
    text += "[1, 'x', {k: ";
  }
  text += "[null]";
  for (int i = 0; i < 63; ++i) {
    text += "}, 2]";
  }
  auto value = json5_to_value(text);
  ASSERT_TRUE(value) << value.error().display();
  const json::Value* v = &*value;
  int arrays = 1;
  while (v->as_array().size() == 4) {
    ++arrays;
    v = v->as_array()[2].as_object().find("k");
  }
  EXPECT_EQ(arrays, 64);
  EXPECT_EQ(*v, json::Value(json::Array{json::Value(nullptr)}));
  EXPECT_FALSE(json5_to_value("[" + text + "]"));
}

// Every start rule and the whole reader on one text; they must give a result, never crash.
void exercise(std::string_view text) {
  auto value = json5_to_value(text);
  if (!value) {
    EXPECT_FALSE(value.error().message.empty());
  }
  // Checking alone must come to the same outcome, with the same error.
  const auto checked = json5_check(text);
  EXPECT_EQ(checked.has_value(), value.has_value());
  if (!checked && !value) {
    EXPECT_EQ(checked.error(), value.error());
  }
  for (int rule = 0; rule < JSON5_RULE_COUNT; ++rule) {
    auto nodes = json5_parse_rule(static_cast<Json5Rule>(rule), text);
    if (!nodes) {
      if (const auto* syntax = std::get_if<Json5SyntaxError>(&nodes.error())) {
        EXPECT_FALSE(syntax->expected.empty());
        EXPECT_LE(syntax->position, text.size());
        EXPECT_FALSE(syntax->display().empty());
      }
    }
  }
}

TEST(Json5Robustness, AnyBytes) {
  exercise(std::string_view());
  std::mt19937 random(20261210);
  // Bytes that matter to the grammar, and bytes of broken UTF-8.
  const std::string alphabet =
      std::string("[]{}:,'\"\\/*+-.0123456789eExXuabnlfrtvINfyaN_$ \t\r\n") +
      "\xC3\xA9\xE2\x80\xA8" + "\xEF\xBB\xBF\x80\xBF\xC0\xF4\x90\xED\xA0\xFF" +
      std::string(1, '\0');
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const std::size_t length = random() % 40;
    for (std::size_t i = 0; i < length; ++i) {
      text += random() % 8 == 0 ? static_cast<char>(random() % 256)
                                : alphabet[random() % alphabet.size()];
    }
    SCOPED_TRACE(testing::PrintToString(text));
    exercise(text);
  }
}

TEST(Json5Robustness, MutatedDocuments) {
  const std::string seed =
      "{\n  // c\n  a: [1, -2.5e3, 0x1F, +Infinity, NaN, 'x\\u00e9\\n\\\n', \"\\x41\"],\n"
      "  \"b\": {c: null, d: true, \u00e9\u0301: false,},\n  /* e */ f: .5,\n}\n";
  std::mt19937 random(5);
  for (int round = 0; round < 3000; ++round) {
    std::string text = seed;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0:
          text[at] = static_cast<char>(random() % 256);
          break;
        case 1:
          text.erase(at, 1 + random() % 3);
          break;
        case 2:
          text.insert(at, 1, static_cast<char>(random() % 256));
          break;
      }
      if (text.empty()) {
        text = "[";
      }
    }
    SCOPED_TRACE(testing::PrintToString(text));
    exercise(text);
  }
}

TEST(Json5Robustness, InvalidUtf8IsRefusedWhereItStands) {
  struct Case {
    std::string text;
    std::string want;
  };
  const Case cases[] = {
      {"'a\xFF'", " --> 1:3\n  |\n1 | 'a\xFF'\n  |   ^---\n  |\n  = expected char_literal"},
      {"[1, \xC3]",
       " --> 1:5\n  |\n1 | [1, \xC3]\n  |     ^---\n  |\n  = expected array, boolean, null, number, object, or string"},
      {"\xED\xA0\x80",
       " --> 1:1\n  |\n1 | \xED\xA0\x80\n  | ^---\n  |\n  = expected array, boolean, null, number, object, or string"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    auto value = json5_to_value(c.text);
    ASSERT_FALSE(value);
    EXPECT_EQ(value.error().message, c.want);
  }
}

}  // namespace
}  // namespace vardel::json5
