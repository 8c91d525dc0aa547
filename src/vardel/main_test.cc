// End to end: the built program, run in a fresh temporary folder over a small tree.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "src/vardel/run_harness.h"

namespace vardel {
namespace {

namespace fs = std::filesystem;

using test::RunResult;
using test::USAGE;
using test::testing_windows_build;
using test::VardelRun;

RunResult usage(int status) {
  return {status, "", std::string(USAGE)};
}

TEST_F(VardelRun, SettlesTheCommandLineBeforeDiscovery) {
  write("a.json", "[1,]");
  write("conf/app.json", "{}");
  write("conf/b.json5", "{\"b\": 1}");
  const std::string incompatible = "error: JSON5 incompatible with JSON Schema\n";
  struct Case {
    std::vector<std::string> arguments;
    RunResult want;
  };
  const Case CASES[] = {
      {{}, usage(1)},
      {{"-h"}, usage(0)},
      {{"-h", "-5", "-s", "x", "a.json"}, usage(0)},
      {{"--help", "missing"}, usage(0)},
      {{"-h", "-v"}, usage(0)},
      {{"-h", "-h"}, usage(1)},
      {{"-h", "-x"}, usage(1)},
      {{"-v"}, {0, "", "vardel 0.0.12\n"}},
      {{"-v", "-l", "missing"}, {0, "", "vardel 0.0.12\n"}},
      {{"-v", "--version"}, usage(1)},
      {{"-5", "-s", "s.json"}, {1, "", incompatible + std::string(USAGE)}},
      {{"-5s", "s.json", "a.json"}, {1, "", incompatible + std::string(USAGE)}},
      {{"-l"}, usage(1)},
      {{"-5"}, usage(1)},
      {{"-s"}, usage(1)},
      {{"-s", "s.json"}, usage(1)},
      {{"--list=yes", "conf"}, usage(1)},
      {{"-lx", "conf"}, usage(1)},
      {{"-l", "-l", "conf"}, usage(1)},
      {{"-l", "--list", "conf"}, usage(1)},
      {{"--lis", "conf"}, usage(1)},
      // "-" and everything after "--" are paths; discovery then fails on the missing file.
      {{"--", "-l"}, {1, "", "unable to query metadata for path: -l\n"}},
      {{"-l", "-"}, {1, "", "unable to query metadata for path: -\n"}},
      {{"-l", ""}, {1, "", "unable to query metadata for path: \n"}},
      {{"-l", "conf"}, {0, "conf\\app.json\n", ""}},
      {{"--l", "conf", "a.json"}, {0, "a.json\nconf\\app.json\n", ""}},
      {{"-l", "-5", "conf"}, {0, "conf\\app.json\nconf\\b.json5\n", ""}},
      {{"-5l", "conf"}, {0, "conf\\app.json\nconf\\b.json5\n", ""}},
      // List mode never looks at the schema.
      {{"-l", "-s", "missing.json", "conf"}, {0, "conf\\app.json\n", ""}},
      {{"-lsmissing.json", "conf"}, {0, "conf\\app.json\n", ""}},
      // A discovery error is printed alone, before the schema is loaded.
      {{"-s", "s.json", "missing"}, {1, "", "unable to query metadata for path: missing\n"}},
      {{"-l", "missing", "conf"}, {1, "", "unable to query metadata for path: missing\n"}},
      {{"conf"}, {0, "", ""}},
      {{"a.json", "conf"}, {1, "", "error: a.json: trailing comma at line 1 column 4\n"}},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(run(c.arguments), c.want);
  }
}

TEST_F(VardelRun, RefusesArgumentsThatAreNotUtf8) {
  if (testing_windows_build()) {
    GTEST_SKIP() << "Windows arguments are UTF-16; Wine turns such bytes into U+FFFD";
  }
  // A non-UTF-8 argument makes the command line unusable, before help is looked at.
  EXPECT_EQ(run({"-l", "caf\xE9"}), usage(1));
  EXPECT_EQ(run({"-h", "\xFF"}), usage(1));
}

TEST_F(VardelRun, ChecksEveryFileAndReportsEachFailure) {
  write("1.json", "{\"a\": 1,}");
  write("2.json", "[\"caf\xE9\"]");
  write("3.json", "[1, 2, 3]\n");
  write("conf/a.json", "[1,]");
  write("conf/ok.json", "{}");
  write("conf/notes.txt", "[1,]");
  EXPECT_EQ(run({"3.json", "2.json", "1.json"}),
            (RunResult{1, "",
                       "error: 1.json: trailing comma at line 1 column 9\n"
                       "error: 2.json: unable to read path: 2.json\n"}));
  EXPECT_EQ(run({"conf"}),
            (RunResult{1, "", "error: conf\\a.json: trailing comma at line 1 column 4\n"}));
  EXPECT_EQ(run({"conf/ok.json", "3.json"}), (RunResult{0, "", ""}));
}

TEST_F(VardelRun, ValidatesUntilTheFirstFailingFile) {
  write("s.json", "{\"required\": [\"a\", \"b\", \"c\"]}");
  write("array.json", "[]");
  write("d/1.json", "{}");
  write("d/2.json", "[1,]");
  write("d/3.json", "{\"a\": 1, \"b\": 2, \"c\": 3}");
  write("empty/notes.txt", "");
  EXPECT_EQ(run({"-s", "s.json", "d"}),
            (RunResult{1, "",
                       "error: d\\1.json: Missing required property 'a'\n"
                       "error: d\\1.json: Missing required property 'b'\n"
                       "error: d\\1.json: Missing required property 'c'\n"}));
  EXPECT_EQ(run({"--schema=s.json", "d/3.json"}), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"-s", "s.json", "d/3.json", "d/2.json"}),
            (RunResult{1, "", "error: d\\2.json: trailing comma at line 1 column 4\n"}));
  // The schema is loaded even when nothing is selected, under the path as typed.
  EXPECT_EQ(run({"-s", "s.json", "empty"}), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"-s", "./missing.json", "empty"}),
            (RunResult{1, "", "error: ./missing.json: unable to read file: ./missing.json\n"}));
  EXPECT_EQ(run({"-s", "-l", "d"}), (RunResult{1, "", "error: -l: unable to read file: -l\n"}));
  EXPECT_EQ(run({"-sarray.json", "d"}),
            (RunResult{1, "", "error: array.json: Schema must be an object\n"}));
}

TEST_F(VardelRun, ChecksJson5FilesWithTheJson5Reader) {
  write("conf/a.json5", "[1 2]");
  write("conf/b.json5", "{a: 1, b: [2,], c: 0x1F, /* note */ }");
  write("conf/c.json", "// comment\n{'k': 'v'}");
  EXPECT_EQ(run({"-5", "conf"}), (RunResult{1, "",
                                            "error: conf\\a.json5:  --> 1:2\n"
                                            "  |\n"
                                            "1 | [1 2]\n"
                                            "  |  ^---\n"
                                            "  |\n"
                                            "  = expected boolean, null, or string\n"}));
  EXPECT_EQ(run({"conf"}),
            (RunResult{1, "", "error: conf\\c.json: expected value at line 1 column 1\n"}));
}

TEST_F(VardelRun, RefusesANamedPipeWithoutWaiting) {
  if (testing_windows_build()) {
    GTEST_SKIP() << "a Windows folder holds no named pipes";
  }
  ASSERT_EQ(::mkfifo((root_ / "p.json").c_str(), 0600), 0) << std::strerror(errno);
  EXPECT_EQ(run({"p.json"}), (RunResult{1, "", "error: p.json: unable to read path: p.json\n"}));
}

TEST_F(VardelRun, SelectsNothingQuietly) {
  write("notes.txt", "not json");
  write("x.JSON", "not json");
  EXPECT_EQ(run({"notes.txt", "x.JSON"}), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"-l", "notes.txt"}), (RunResult{0, "", ""}));
}

TEST_F(VardelRun, ListsCleanedPathsInByteOrder) {
  write("conf/b.json", "{}");
  write("conf/a.json", "{}");
  write("conf/sub/c.json", "{}");
  write("conf/rebuild.json", "{}");
  write("conf/notes.txt", "");
  write("A.json", "{}");
  write("a_b.json", "{}");
  EXPECT_EQ(run({"-l", "./conf/", "a_b.json", "conf/sub/../a.json", "A.json"}),
            (RunResult{0,
                       "A.json\n"
                       "a_b.json\n"
                       "conf\\a.json\n"
                       "conf\\a.json\n"
                       "conf\\b.json\n"
                       "conf\\sub\\c.json\n",
                       ""}));
  EXPECT_EQ(run({"-l", "conf/"}, "conf"),
            (RunResult{1, "", "unable to query metadata for path: conf/\n"}));
  EXPECT_EQ(run({"-l", "sub"}, "conf"), (RunResult{0, "sub\\c.json\n", ""}));
}

TEST_F(VardelRun, SkipsEverythingBelowAnExcludedFolder) {
  write("build/proj/a.json", "[1,]");
  write("proj/a.json", "{}");
  EXPECT_EQ(run({"-l", "a.json", "."}, "build/proj"), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"a.json"}, "build/proj"), (RunResult{0, "", ""}));
  EXPECT_EQ(run({"-l", "build/../proj", "build"}), (RunResult{0, "proj\\a.json\n", ""}));
}

TEST_F(VardelRun, NamesAnUndecodableEntryByItsFullPath) {
  if (testing_windows_build()) {
    GTEST_SKIP() << "Wine shows a file name that is not UTF-8 as valid text";
  }
  write("d/caf\xE9.txt", "");
  std::string full = fs::canonical(root_).string();
  std::ranges::replace(full, '/', '\\');
  EXPECT_EQ(run({"-l", "d"}),
            (RunResult{1, "", "unable to process path: " + full + "\\d\\caf\xEF\xBF\xBD.txt\n"}));
}

TEST_F(VardelRun, ReportsADirectoryThatCannotBeListed) {
  if (::geteuid() == 0 || testing_windows_build()) {
    GTEST_SKIP() << "permissions do not hold for root";
  }
  write("d/a.json", "{}");
  fs::create_directory(root_ / "d" / "locked");
  fs::permissions(root_ / "d" / "locked", fs::perms::none);
  const RunResult result = run({"-l", "d"});
  fs::permissions(root_ / "d" / "locked", fs::perms::owner_all);
  EXPECT_EQ(
      result,
      (RunResult{1, "",
                 "IO error for operation on d\\locked: " + std::string(std::strerror(EACCES)) +
                     " (os error " + std::to_string(EACCES) + ")\n"}));
}

// The Windows build under Wine, whose drive Z: is the root of the Unix file system.
TEST_F(VardelRun, KeepsDriveAndVerbatimPrefixesOfArguments) {
  if (!testing_windows_build()) {
    GTEST_SKIP() << "drive letters exist only on Windows";
  }
  write("conf/app.json", "{}");
  write("conf/sub/b.json", "[1,]");
  std::string full = "Z:" + fs::canonical(root_).string();
  std::ranges::replace(full, '/', '\\');
  struct Case {
    std::vector<std::string> arguments;
    RunResult want;
  };
  const Case CASES[] = {
      {{"-l", full + "/conf"},
       {0, full + "\\conf\\app.json\n" + full + "\\conf\\sub\\b.json\n", ""}},
      // Drive-relative: against the current directory of drive Z:, which is the folder.
      {{"-l", "Z:conf/sub"}, {0, "Z:conf\\sub\\b.json\n", ""}},
      {{"-l", "Z:conf\\sub"}, {0, "Z:conf\\sub\\b.json\n", ""}},
      // A verbatim path is taken as it is; its names are separated by "\" only.
      {{"-l", "\\\\?\\" + full + "\\conf\\sub"},
       {0, "\\\\?\\" + full + "\\conf\\sub\\b.json\n", ""}},
      {{"Z:conf\\sub\\..\\sub\\b.json"},
       {1, "", "error: Z:conf\\sub\\b.json: trailing comma at line 1 column 4\n"}},
      {{"-l", "Q:\\missing"}, {1, "", "unable to query metadata for path: Q:\\missing\n"}},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(run(c.arguments), c.want);
  }
}

TEST_F(VardelRun, EndsWithStatusOneWhenNobodyReadsTheList) {
  write("a.json", "{}");
  EXPECT_EQ(run({"-l", "a.json"}, "", true), (RunResult{1, "", ""}));
}

TEST_F(VardelRun, ListsManyFilesCompletely) {
  std::string want;
  for (int i = 0; i < 3000; ++i) {
    std::string name = "f";
    name += std::to_string(10000 + i);
    name += ".json";
    write("many/" + name, "");
    want += "many\\";
    want += name;
    want += '\n';
  }
  EXPECT_EQ(run({"-l", "many"}), (RunResult{0, want, ""}));
}

}  // namespace
}  // namespace vardel
