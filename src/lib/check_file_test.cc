// Tests of check_file over small files in a fresh temporary folder.
#include "src/lib/check_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vardel {
namespace {

namespace fs = std::filesystem;

class CheckFile : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(testing::TempDir()) / "vardel-check-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // Writes the file and returns its path.
  std::string write(std::string_view name, std::string_view content) const {
    const std::string path = (root_ / name).string();
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return path;
  }

  // "" for a file that passes, else the error's text.
  static std::string outcome(const std::string& path, bool json5 = false) {
    const auto checked = check_file(path, json5);
    return checked ? "" : checked.error().display();
  }

  fs::path root_;
};

TEST_F(CheckFile, ReportsTheParsersMessageAndPosition) {
  struct Case {
    std::string_view content, want;
  };
  const Case CASES[] = {
      {"{\"a\": [1, 2.5, null]}\n", ""},
      {"{}\n  \r\n\t", ""},
      {"", "EOF while parsing a value at line 1 column 0"},
      {"\n", "EOF while parsing a value at line 2 column 0"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"{}x", "trailing characters at line 1 column 3"},
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},  // the byte-order mark stays
      {"{\r\n\"a\" 1}", "expected `:` at line 2 column 5"},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.content)));
    EXPECT_EQ(outcome(write("f.json", c.content)), c.want);
  }
}

TEST_F(CheckFile, UnreadableFileNamesItsPath) {
  const std::string latin1 = write("latin1.json", "[\"caf\xE9\"]");
  const std::string dir = (root_ / "dir.json").string();
  fs::create_directory(dir);
  const std::string pipe = (root_ / "p.json").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0) << std::strerror(errno);
  const std::string missing = (root_ / "missing.json").string();

  for (const std::string& path : {latin1, dir, pipe, missing}) {
    SCOPED_TRACE(path);
    const auto checked = check_file(path, false);
    ASSERT_FALSE(checked);
    EXPECT_TRUE(std::holds_alternative<LintError::Io>(checked.error().payload));
    EXPECT_EQ(checked.error().display(), "unable to read path: " + path);
  }
}

TEST_F(CheckFile, ReadsAPathWrittenWithBackslashes) {
  fs::create_directory(root_ / "conf");
  write("conf/a.json", "[1 2]");
  const std::string windows_form = root_.string() + "\\conf\\a.json";
  const auto checked = check_file(windows_form, false);
  ASSERT_FALSE(checked);
  EXPECT_TRUE(std::holds_alternative<LintError::Json>(checked.error().payload));
  EXPECT_EQ(checked.error().display(), "expected `,` or `]` at line 1 column 4");
}

TEST_F(CheckFile, Json5FlagSelectsTheJson5Reader) {
  const std::string relaxed = write("a.json5", "{a: 1, b: [0x1F,],}");
  EXPECT_EQ(outcome(relaxed, true), "");
  EXPECT_EQ(outcome(relaxed, false), "key must be a string at line 1 column 2");

  const auto broken = check_file(write("b.json5", "[1 2]"), true);
  ASSERT_FALSE(broken);
  EXPECT_TRUE(std::holds_alternative<LintError::Json5>(broken.error().payload));
  EXPECT_EQ(outcome((root_ / "gone.json5").string(), true),
            "unable to read path: " + (root_ / "gone.json5").string());
}

}  // namespace
}  // namespace vardel
