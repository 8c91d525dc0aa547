// Tests of the command-line rules and of the exact usage and version texts.
#include "src/vardel/command_line.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vardel {
namespace {

TEST(ParseCommandLine, ReadsOptionsValuesAndPaths) {
  struct Case {
    std::vector<std::string> arguments;
    std::string_view flags;  // the short names of the flags given
    std::optional<std::string> schema;
    std::vector<std::string> paths;
  };
  const Case CASES[] = {
      {{}, "", {}, {}},
      {{"a.json", "dir"}, "", {}, {"a.json", "dir"}},
      {{"d", "-l", "e"}, "l", {}, {"d", "e"}},
      {{"-5l", "x"}, "5l", {}, {"x"}},
      {{"-hv5l"}, "5lhv", {}, {}},
      {{"-ss.json", "d"}, "", "s.json", {"d"}},
      {{"-s", "s.json", "d"}, "", "s.json", {"d"}},
      {{"--schema=s.json", "d"}, "", "s.json", {"d"}},
      {{"--schema", "s.json", "d"}, "", "s.json", {"d"}},
      {{"--schema=", "d"}, "", "", {"d"}},
      {{"--schema=a=b"}, "", "a=b", {}},
      {{"-lsx.json", "d"}, "l", "x.json", {"d"}},
      {{"-ls", "x.json", "d"}, "l", "x.json", {"d"}},
      {{"-s5"}, "", "5", {}},  // the rest of the group is the value
      // The value of -s is the next argument, whatever it looks like.
      {{"-s", "-l", "dir"}, "", "-l", {"dir"}},
      {{"-s", "--"}, "", "--", {}},
      {{"--schema", "-h"}, "", "-h", {}},
      // One-character long names are the short options.
      {{"--l", "--5", "--s=x"}, "5l", "x", {}},
      {{"--s", "x"}, "", "x", {}},
      {{"--", "-l", "--", "-"}, "", {}, {"-l", "--", "-"}},
      {{"-", ""}, "", {}, {"-", ""}},
      {{"--json5", "--list", "--help", "--version"}, "5lhv", {}, {}},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    const auto parsed = parse_command_line(c.arguments);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->json5, c.flags.contains('5'));
    EXPECT_EQ(parsed->list, c.flags.contains('l'));
    EXPECT_EQ(parsed->help, c.flags.contains('h'));
    EXPECT_EQ(parsed->version, c.flags.contains('v'));
    EXPECT_EQ(parsed->schema, c.schema);
    EXPECT_EQ(parsed->paths, c.paths);
  }
}

TEST(ParseCommandLine, RefusesUnusableCommandLines) {
  const std::vector<std::vector<std::string>> CASES = {
      // unknown names: no abbreviation, case-sensitive, "-json5" is a group
      {"-x"},
      {"--foo"},
      {"--JSON5"},
      {"--lis"},
      {"-json5"},
      {"---"},
      {"--=x"},
      {"-l="},
      {"-L"},
      {"a", "-l=x"},
      // a value on a flag
      {"--list=x"},
      {"--list=yes"},
      {"--json5="},
      {"--l=1"},
      {"-lx"},
      // -s without a value
      {"-s"},
      {"--schema"},
      {"--s"},
      {"-ls"},
      {"d", "-5s"},
      // repeated options in any form
      {"-l", "-l"},
      {"-ll"},
      {"-l", "--list"},
      {"--l", "--list"},
      {"-s", "a", "-s", "b"},
      {"-s", "a", "--schema=b"},
      {"-sa", "--s=b"},
      {"-h", "-h"},
      {"-h", "-x"},
      {"-5", "-l5"},
  };
  for (const auto& arguments : CASES) {
    SCOPED_TRACE(testing::PrintToString(arguments));
    EXPECT_FALSE(parse_command_line(arguments).has_value());
  }
}

TEST(UsageText, IsTheBriefLineAndOneRowPerOption) {
  EXPECT_EQ(usage_text(),
            "usage: vardel [OPTIONS] <path> [<path> [<path> ...]]\n"
            "\n"
            "Options:\n"
            "    -5, --json5         parse according to JSON5\n"
            "    -l, --list          list JSON files\n"
            "    -s, --schema <path> validate files against a given JSON Schema file\n"
            "    -h, --help          print usage info\n"
            "    -v, --version       print version info\n");
  EXPECT_EQ(usage_text().size() + 1, 309u);  // as printed, with one more line feed
  EXPECT_EQ(version_text(), "vardel 0.0.12");
}

}  // namespace
}  // namespace vardel
