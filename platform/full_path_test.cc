#include "platform/full_path.h"

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "platform/platform.h"

namespace vardel::platform {
namespace {

TEST(ResolveFullPath, FollowsTheWindowsRules) {
  struct Case {
    std::string_view path, cwd;
    std::optional<std::string_view> want;
  };
  const Case cases[] = {
      // Relative paths join the current directory; "." and ".." fold, "\" is written.
      {"x.json", "C:\\work", "C:\\work\\x.json"},
      {"a/b/../c.json", "C:\\work", "C:\\work\\a\\c.json"},
      {"./a//b/./", "C:\\work", "C:\\work\\a\\b\\"},
      {".", "C:\\work\\dir", "C:\\work\\dir"},
      {"..", "C:\\work\\dir", "C:\\work"},
      {"../../../..", "C:\\work\\dir", "C:\\"},
      {"build/../x.json", "\\tmp\\w", "\\tmp\\w\\x.json"},
      {"x.json", "\\tmp\\w", "\\tmp\\w\\x.json"},
      {"../../..", "\\tmp\\w", "\\"},
      {"x", "\\\\srv\\sh\\dir", "\\\\srv\\sh\\dir\\x"},
      {"../../x", "\\\\srv\\sh\\dir", "\\\\srv\\sh\\x"},
      // Trailing dots and spaces stay: only the names matter here.
      {"name. ", "C:\\w", "C:\\w\\name. "},
      // Drive-absolute: the current directory does not matter.
      {"D:\\a\\..\\b", "C:\\work", "D:\\b"},
      {"d:/a/./b.json", "\\tmp\\w", "d:\\a\\b.json"},
      {"D:\\..", "C:\\work", "D:\\"},
      // Drive-relative: against the current directory on that drive, else the drive's root.
      {"D:x", "C:\\work", "D:\\x"},
      {"D:", "C:\\work", "D:\\"},
      {"D:x\\..\\..", "\\tmp\\w", "D:\\"},
      {"c:x", "C:\\work", "C:\\work\\x"},
      {"C:..", "C:\\work\\dir", "C:\\work"},
      // Rooted: the current directory's drive or share, or none.
      {"\\x\\y", "C:\\work", "C:\\x\\y"},
      {"/x/../y", "\\\\srv\\sh\\dir", "\\\\srv\\sh\\y"},
      {"/a/b", "\\tmp\\w", "\\a\\b"},
      {"\\..", "\\tmp\\w", "\\"},
      // UNC: server and share stay; ".." does not leave the share.
      {"\\\\server\\share\\a\\..\\..\\b", "C:\\w", "\\\\server\\share\\b"},
      {"//server/share/x.json", "C:\\w", "\\\\server\\share\\x.json"},
      {"\\\\server\\share\\", "C:\\w", "\\\\server\\share\\"},
      {"\\\\server", "C:\\w", "\\\\server"},
      // Device forms, either separator.
      {"\\\\.\\COM1", "C:\\w", "\\\\.\\COM1"},
      {"//./pipe/x/../y", "C:\\w", "\\\\.\\pipe\\y"},
      {"//?/D:/a/../b", "C:\\w", "\\\\?\\D:\\b"},
      // Verbatim paths come back exactly as given.
      {"\\\\?\\D:\\a\\..\\b/./c", "C:\\w", "\\\\?\\D:\\a\\..\\b/./c"},
      {"\\\\?\\", "C:\\w", "\\\\?\\"},
      // The empty path is refused.
      {"", "C:\\w", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.path << " in " << c.cwd);
    std::optional<std::string> got = resolve_full_path(c.path, c.cwd);
    if (c.want) {
      ASSERT_TRUE(got);
      EXPECT_EQ(*got, *c.want);
    } else {
      EXPECT_FALSE(got) << *got;
    }
  }
}

TEST(ParsePrefix, FindsEachKindAndItsLength) {
  struct Case {
    std::string_view path;
    std::optional<PrefixKind> kind;
    std::size_t length;
  };
  const Case cases[] = {
      {"D:", PrefixKind::disk, 2},
      {"d:x", PrefixKind::disk, 2},
      {"1:", std::nullopt, 0},
      {"\\\\server\\share\\a", PrefixKind::unc, 14},
      {"//server/share", PrefixKind::unc, 14},
      {"\\/server/share", PrefixKind::unc, 14},
      {"\\\\server", std::nullopt, 0},
      {"\\\\server\\", std::nullopt, 0},
      {"\\\\\\share", std::nullopt, 0},
      {"\\\\.\\COM1", PrefixKind::device, 8},
      {"//./COM1/x", PrefixKind::device, 8},
      {"\\\\?\\D:", PrefixKind::verbatim_disk, 6},
      {"\\\\?\\D:/x", PrefixKind::verbatim_disk, 6},
      {"\\\\?\\D:x", PrefixKind::verbatim, 7},
      {"\\\\?\\pics/a\\b", PrefixKind::verbatim, 10},
      {"\\\\?\\UNC\\srv\\sh\\a", PrefixKind::verbatim_unc, 14},
      {"\\\\?\\UNC\\srv", PrefixKind::verbatim_unc, 11},
      {"\\\\?\\UNC\\srv\\", PrefixKind::verbatim_unc, 11},
      // The verbatim marker counts only with backslashes; otherwise it is a UNC share.
      {"//?/a/b", PrefixKind::unc, 5},
      {"\\a", std::nullopt, 0},
      {"", std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::optional<PathPrefix> got = parse_prefix(c.path);
    ASSERT_EQ(got.has_value(), c.kind.has_value());
    if (got) {
      EXPECT_EQ(got->kind, *c.kind);
      EXPECT_EQ(got->length, c.length);
    }
  }
}

// The system's full path is the pure rules applied to the real current directory.
TEST(FullPath, ResolvesAgainstTheCurrentDirectory) {
  char buffer[4096];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  std::string cwd = buffer;
  for (char& c : cwd) {
    if (c == '/') {
      c = '\\';
    }
  }
  auto got = full_path("a/./b.json");
  ASSERT_TRUE(got) << got.error().message;
  EXPECT_EQ(*got, (cwd == "\\" ? "\\" : cwd + "\\") + "a\\b.json");
  EXPECT_FALSE(full_path(""));
}

// Without a current directory only relative paths fail; absolute ones need none.
TEST(FullPath, AbsolutePathsNeedNoCurrentDirectory) {
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  std::string gone = std::filesystem::temp_directory_path() / "gone-XXXXXX";
  ASSERT_NE(mkdtemp(gone.data()), nullptr);
  ASSERT_EQ(chdir(gone.c_str()), 0);
  ASSERT_EQ(rmdir(gone.c_str()), 0);
  auto rooted = full_path("/a/../b.json");
  auto drive = full_path("D:x.json");
  auto relative = full_path("x.json");
  ASSERT_EQ(chdir(saved), 0);
  ASSERT_TRUE(rooted);
  EXPECT_EQ(*rooted, "\\b.json");
  ASSERT_TRUE(drive);
  EXPECT_EQ(*drive, "D:\\x.json");
  ASSERT_FALSE(relative);
  EXPECT_EQ(relative.error().code, ENOENT);
}

}  // namespace
}  // namespace vardel::platform
