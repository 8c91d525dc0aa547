#include "src/lib/normalize_path.h"

#include <gtest/gtest.h>

namespace vardel {
namespace {

struct Case {
  std::string_view input, want;
};

void expect_cleaned(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(normalize_path(c.input), c.want);
  }
}

TEST(NormalizePath, WorkedExamples) {
  expect_cleaned({
      {"", "."},
      {".", "."},
      {"..", ".."},
      {"./x.json", "x.json"},
      {"a/./b/", "a\\b"},
      {"a//b", "a\\b"},
      {"a/b/../c", "a\\c"},
      {"a/..", "."},
      {"a/../..", ".."},
      {"a/../../b", "..\\b"},
      {"../../a/..", "..\\.."},
      {"conf/sub/./x.json", "conf\\sub\\x.json"},
      {"/", "\\"},
      {"\\a\\..\\..\\b", "\\b"},
      {"/..", "\\."},
      {"/a/../..", "\\."},
      {"/../..", "\\.."},
      {"/../../a", "\\..\\a"},
      {"D:", "D:."},
      {"D:a", "D:a"},
      {"D:a\\..", "D:."},
      {"D:a\\..\\..", "D:.."},
      {"D:\\a\\..\\..", "D:\\"},
      {"D:/a/./b/../c.json", "D:\\a\\c.json"},
      {"\\\\server\\share", "\\\\server\\share\\"},
      {"//server/share/a/../b", "//server/share\\b"},
      {"\\\\server", "\\server"},
      {"\\\\.\\COM1", "\\\\.\\COM1\\"},
      {"\\\\?\\D:", "\\\\?\\D:"},
      {"\\\\?\\D:\\a\\..\\b", "\\\\?\\D:\\b"},
      {"\\\\?\\UNC\\srv\\sh\\a\\..", "\\\\?\\UNC\\srv\\sh\\"},
      {"name. ", "name. "},
  });
}

TEST(NormalizePath, PrefixesAndRoots) {
  expect_cleaned({
      // The prefix is kept as written: letter case and "/".
      {"d:/x/../y", "d:\\y"},
      {"d:x/y", "d:x\\y"},
      {"1:/x", "1:\\x"},
      {"//server/share", "//server/share\\"},
      {"\\\\server\\share\\..\\..", "\\\\server\\share\\"},
      {"//./COM1/a/..", "//./COM1\\"},
      // An empty server or share makes no prefix.
      {"\\\\server\\", "\\server"},
      {"\\\\\\share\\x", "\\share\\x"},
      // The marker counts only with backslashes: "//?/a/b" is the share "a" of server "?".
      {"//?/a/b/c", "//?/a\\b\\c"},
      // Verbatim prefixes: drive, name, UNC; a root only when a separator follows.
      {"\\\\?\\D:/a", "\\\\?\\D:\\a"},
      {"\\\\?\\D:\\..\\..", "\\\\?\\D:\\"},
      {"\\\\?\\pics", "\\\\?\\pics"},
      {"\\\\?\\pics\\a\\..", "\\\\?\\pics\\"},
      {"\\\\?\\D:x\\y", "\\\\?\\D:x\\y"},
      {"\\\\?\\UNC\\srv\\sh", "\\\\?\\UNC\\srv\\sh"},
      {"\\\\?\\UNC\\srv\\", "\\\\?\\UNC\\srv\\"},
      // A drive-like name later in a path is only a name.
      {"a\\C:", "a\\C:"},
      {"a\\C:\\..", "a"},
  });
}

// Inside a verbatim path only "\" separates names; a name holding "/" is appended part by part.
TEST(NormalizePath, VerbatimNamesHoldingSlashes) {
  expect_cleaned({
      {"\\\\?\\D:\\a/b\\..\\..", "\\\\?\\D:\\a"},
      {"\\\\?\\D:\\a/b", "\\\\?\\D:\\a\\b"},
      {"\\\\?\\D:\\a/./b//c", "\\\\?\\D:\\a\\b\\c"},
      {"\\\\?\\D:\\x\\a/../..", "\\\\?\\D:\\"},
      {"\\\\?\\D:\\a/..\\b", "\\\\?\\D:\\b"},
      {"\\\\?\\D:\\../x", "\\\\?\\D:\\x"},
      {"\\\\?\\pics/a\\b", "\\\\?\\pics/a\\b"},
  });
}

}  // namespace
}  // namespace vardel
