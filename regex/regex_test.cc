#include "regex/regex.h"

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "regex/regex_internal.h"

namespace vardel::regex {
namespace {

std::string utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | (c >> 18));
    s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

constexpr std::string_view WORD =
    "\\p{L}\\p{M}\\p{Nd}\\p{Pc}\\p{Nl}\\x{200C}\\x{200D}\\x{24B6}-\\x{24E9}"
    "\\x{1F130}-\\x{1F149}\\x{1F150}-\\x{1F169}\\x{1F170}-\\x{1F189}";

TEST(Translate, RewritesPerlClasses) {
  struct Case {
    std::string_view pattern;
    std::string want;
  };
  const Case cases[] = {
      {"^\\d{4}$", "^\\p{Nd}{4}$"},
      {"a\\sb", "a[\\t-\\r \\x{85}\\p{Z}]b"},
      {"\\S", "[^\\t-\\r \\x{85}\\p{Z}]"},
      {"\\D[\\D]", "\\P{Nd}[\\P{Nd}]"},
      {"\\w+", "[" + std::string(WORD) + "]+"},
      {"\\W", "[^" + std::string(WORD) + "]"},
      {"[\\d\\s_]", "[\\p{Nd}\\p{Z}\\x{85}\\t-\\r_]"},
      {"[^\\w]", "[^" + std::string(WORD) + "]"},
      // The content of \Q...\E and an escaped backslash stay as written.
      {"\\Q\\d\\E\\d", "\\Q\\d\\E\\p{Nd}"},
      {"\\Q\\d", "\\Q\\d"},
      {"\\\\d", "\\\\d"},
      {"\\\\\\d", "\\\\\\p{Nd}"},
      // Named classes, a leading "]" and \p{..} names are not taken for the bracket's end.
      {"[[:digit:]\\d]\\d", "[[:digit:]\\p{Nd}]\\p{Nd}"},
      {"[]\\d]", "[]\\p{Nd}]"},
      {"[^]\\d]", "[^]\\p{Nd}]"},
      {"\\p{Greek}\\pL\\d", "\\p{Greek}\\pL\\p{Nd}"},
      {"\\b\\B\\A\\z", "\\b\\B\\A\\z"},
      // A second \W in one bracket adds nothing to the union: only its short subset group.
      {"[\\W\\W]", "[\\p{Cc}" + not_word_ranges() + "\\p{Cc}]"},
      {"[\\S]", "[\\p{L}" + not_space_ranges() + "]"},
      {"\\Q\\C\\E", "\\Q\\C\\E"},
      {"ab\\", "ab\\"},
      {"[\\", "[\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    auto got = translate(c.pattern);
    ASSERT_TRUE(got) << got.error().message;
    EXPECT_EQ(*got, c.want);
  }
}

TEST(Translate, RefusesSingleByteClass) {
  for (std::string_view pattern : {"\\C", "a\\C+", "[\\C]", "\\Qa\\E\\C"}) {
    SCOPED_TRACE(pattern);
    auto got = translate(pattern);
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error().message, "invalid escape sequence: \\C");
  }
}

TEST(Translate, RefusesOversizedExpansion) {
  std::string pattern;
  for (int i = 0; i < 2000; ++i) {
    pattern += "[\\W]";
  }
  auto got = translate(pattern);
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().message, "pattern too large");
}

TEST(Regex, MatchesLikeTheDefaultSettings) {
  struct Case {
    std::string_view pattern;
    std::string text;
    bool want;
  };
  const Case cases[] = {
      // \d: any decimal digit.
      {"^\\d$", utf8(0x0660), true},
      {"^\\d$", utf8(0x0669), true},
      {"^\\d$", utf8(0xFF10), true},
      {"^\\d$", utf8(0xFF19), true},
      {"^\\d$", utf8(0x00B2), false},  // superscript two is not a decimal digit
      {"^\\D$", utf8(0x0660), false},
      {"^\\D$", "x", true},
      // \s: exactly White_Space.
      {"^\\s$", utf8(0x00A0), true},
      {"^\\s$", utf8(0x0085), true},
      {"^\\s$", utf8(0x2028), true},
      {"^\\s$", utf8(0x3000), true},
      {"^\\s$", "\x0b", true},
      {"^\\s$", utf8(0x200B), false},
      {"^\\s$", utf8(0x180E), false},
      {"^\\S$", utf8(0x200B), true},
      {"^\\S$", utf8(0x00A0), false},
      // \w: letters, marks, digits, connectors, letter numbers, joiners, alphabetic symbols.
      {"^\\w$", "\xc3\xa9", true},
      {"^\\w$", "_", true},
      {"^\\w$", utf8(0x0301), true},
      {"^\\w$", utf8(0x2160), true},
      {"^\\w$", utf8(0x200C), true},
      {"^\\w$", utf8(0x24B6), true},
      {"^\\w$", utf8(0x1F189), true},
      {"^\\w$", utf8(0x1F18A), false},
      {"^\\w$", "-", false},
      {"^\\W$", "\xc3\xa9", false},
      {"^\\W$", "-", true},
      // The complements inside brackets, plain and negated.
      {"^[\\D]$", "x", true},
      {"^[\\D]$", utf8(0xFF10), false},
      {"^[^\\W]$", "\xc3\xa9", true},
      {"^[^\\W]$", "-", false},
      {"^[a\\S]$", "a", true},
      {"^[a\\S]$", utf8(0x4E00), true},
      {"^[a\\S]$", utf8(0x00A0), false},
      {"^[^a\\S]$", utf8(0x00A0), true},
      {"^[^a\\S]$", "a", false},
      {"^[\\W\\d]$", "7", true},
      {"^[\\W\\d]$", "x", false},
      // A "-" next to an expansion stays a literal, as it was next to the escape.
      {"^[\\W-z]$", "-", true},
      {"^[\\W-z]$", "z", true},
      {"^[\\W-z]$", "y", false},
      {"^[\\s-z]$", "-", true},
      {"^[\\s-z]$", "y", false},
      {"^[\\w-!]$", "-", true},
      {"^[\\w-!]$", "!", true},
      {"^[\\w-!]$", " ", false},
      // Quoted and escaped text is literal.
      {"^\\Q\\d\\E$", "\\d", true},
      {"^\\Q\\d\\E$", "5", false},
      {"^\\\\d$", "\\d", true},
      {"^\\\\d$", "\\5", false},
      // \b stays ASCII.
      {"\\bx\\b", "a x b", true},
      {"\\bx\\b", "\xc3\xa9x", true},
      // Anchors only at the ends of the text, "." not a line feed, case-sensitive.
      {"a$", "a\n", false},
      {"a$", "ba", true},
      {"^a", "ba", false},
      {"^a", "b\na", false},
      {"a.b", "a\nb", false},
      {"a.b", "aéb", true},
      {"a", "A", false},
      {"b", "abc", true},
      {"^b", "abc", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pattern << " on " << testing::PrintToString(c.text));
    auto re = Regex::compile(c.pattern);
    ASSERT_TRUE(re) << re.error().message;
    EXPECT_EQ(re->search(c.text), c.want);
  }
}

TEST(Regex, RefusesWhatItCannotCompile) {
  const std::string_view patterns[] = {
      "(?=a)", "(?!a)", "(?<=a)", "(?<!a)", "(a)\\1", "\\C", "[\\C]", "(", "[a", "a{1001}",
      // Not UTF-8, also after a backslash and inside brackets and quotes.
      "\xff", "a\xc3", "\\\xc3", "[\xe2\x82]", "\\Q\xc0\xaf\\E",
      // Unterminated or misplaced expansions stay errors.
      "[\\W", "[\\S", "[a-\\W]", "[\\x{0}-\\W]", "[\\x{1}-\\s]", "[a-\\d]", "[\\Q\\d\\E]",
      "\\p{\\d}", "[\\p{a]\\W}]", "[[:\\d:]]"};
  for (std::string_view pattern : patterns) {
    SCOPED_TRACE(testing::PrintToString(std::string(pattern)));
    EXPECT_FALSE(Regex::compile(pattern));
  }
}

// Every code point: the bracketed complements are exactly the plain ones, with and without
// case folding.
TEST(Regex, BracketedComplementsEqualPlainOnes) {
  struct Pair {
    std::string_view bracketed, plain;
  };
  constexpr Pair pairs[] = {
      {"^[\\W]$", "^\\W$"},  {"^[\\S]$", "^\\S$"},         {"^[^\\W]$", "^\\w$"},
      {"^[^\\S]$", "^\\s$"}, {"(?i)^[\\W]$", "(?i)^\\W$"}, {"(?i)^[^\\W]$", "(?i)^\\w$"},
      {"^[\\s]$", "^\\s$"},  {"^[\\w]$", "^\\w$"},         {"(?i)^[\\S]$", "(?i)^\\S$"},
      {"^[^\\D]$", "^\\d$"},
  };
  for (const Pair& pair : pairs) {
    SCOPED_TRACE(pair.bracketed);
    auto bracketed = Regex::compile(pair.bracketed);
    auto plain = Regex::compile(pair.plain);
    ASSERT_TRUE(bracketed && plain);
    int mismatches = 0;
    for (char32_t c = 0; c <= 0x10FFFF && mismatches < 5; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) {
        continue;
      }
      const std::string text = utf8(c);
      if (bracketed->search(text) != plain->search(text)) {
        ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c);
        ++mismatches;
      }
    }
  }
}

TEST(Regex, DiscoveryPatterns) {
  struct Case {
    std::string_view path;
    bool excluded, json;
  };
  constexpr Case cases[] = {
      {"C:\\w\\conf\\a.json", false, true},      {"C:\\w\\build\\a.json", true, true},
      {"C:\\w\\rebuild.json", true, true},       {"C:\\w\\venv\\a.json", true, true},
      {"C:\\w\\xtesk\\a.json", true, true},      {"C:\\w\\targets\\a.txt", true, false},
      {"C:\\w\\package-lockXjson", true, false}, {"C:\\w\\.eslintrc", false, true},
      {"C:\\w\\a.jshintrc", false, true},        {"C:\\w\\a.json5", false, false},
      {"C:\\w\\a.JSON", false, false},           {"C:\\w\\ajson", false, false},
      {"C:\\w\\a.json\\b.txt", false, false},    {"C:\\w\\a.json\n", false, false},
  };
  auto excluded = Regex::compile(".tesk|.venv|build|node_modules|package-lock.json|target|vendor");
  auto json = Regex::compile("(.*\\.eslintrc|.*\\.jsfmtrc|.*\\.jslintrc|.*\\.jshintrc|.*\\.json)$");
  ASSERT_TRUE(excluded && json);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.path)));
    EXPECT_EQ(excluded->search(c.path), c.excluded);
    EXPECT_EQ(json->search(c.path), c.json);
  }
}

TEST(Regex, DatePatternTakesAnyDecimalDigits) {
  struct Case {
    std::string text;
    bool want;
  };
  const std::string arabic_indic = utf8(0x0662) + utf8(0x0660) + utf8(0x0662) + utf8(0x0664) + "-" +
                                   utf8(0x0660) + utf8(0x0661) + "-" + utf8(0x0661) + utf8(0x0665);
  const std::string fullwidth = utf8(0xFF12) + utf8(0xFF10) + utf8(0xFF12) + utf8(0xFF14) + "-" +
                                utf8(0xFF10) + utf8(0xFF11) + "-" + utf8(0xFF11) + utf8(0xFF15);
  const Case cases[] = {
      {"2024-01-15", true},     {arabic_indic, true},   {fullwidth, true},
      {"2024-01-15\n", false},  {"x2024-01-15", false}, {"2024-1-15", false},
      {"2024-01-15T00", false}, {"2024/01/15", false},  {"", false},
  };
  auto date = Regex::compile("^\\d{4}-\\d{2}-\\d{2}$");
  ASSERT_TRUE(date) << date.error().message;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(date->search(c.text), c.want);
  }
}

TEST(Regex, CacheGivesTheSameResultEveryTime) {
  for (int round = 0; round < 2; ++round) {
    auto good = Regex::compile("^\\w+$");
    ASSERT_TRUE(good);
    EXPECT_TRUE(good->search("h\xc3\xa9llo"));
    EXPECT_FALSE(good->search("a b"));
    auto bad = Regex::compile("(a)\\1");
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().message, "invalid escape sequence: \\1");
    auto single_byte = Regex::compile("\\C");
    ASSERT_FALSE(single_byte);
    EXPECT_EQ(single_byte.error().message, "invalid escape sequence: \\C");
  }
  // Patterns that differ only after an embedded NUL are different entries.
  auto with_a = Regex::compile(std::string_view("x\0a", 3));
  auto with_b = Regex::compile(std::string_view("x\0b", 3));
  ASSERT_TRUE(with_a && with_b);
  EXPECT_TRUE(with_a->search(std::string_view("x\0a", 3)));
  EXPECT_FALSE(with_b->search(std::string_view("x\0a", 3)));
}

TEST(Regex, CacheIsSafeAcrossThreads) {
  const std::vector<std::string> patterns = {"^[\\W]+$", "^\\d+$", "(?=x)", "[\\S\\d]"};
  std::vector<std::thread> threads;
  std::vector<int> matched(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        for (const std::string& pattern : patterns) {
          auto re = Regex::compile(pattern);
          if (re && re->search("12")) {
            ++matched[t];
          }
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (int count : matched) {
    EXPECT_EQ(count, 100);  // "^\d+$" and "[\S\d]" match "12", 50 times each
  }
}

}  // namespace
}  // namespace vardel::regex
