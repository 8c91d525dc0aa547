#include "src/lib/walker.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "src/lib/temp_folder_test_util.h"

namespace vardel {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

TEST(JoinPath, AddsABackslashOnlyWhereNeeded) {
  struct Case {
    std::string_view directory, name, want;
  };
  constexpr Case CASES[] = {
      {"conf", "app.json", "conf\\app.json"},
      {"conf/", "app.json", "conf/app.json"},
      {"conf\\", "app.json", "conf\\app.json"},
      {"D:", "x", "D:x"},
      {"d:", "x", "d:x"},
      {"D:\\", "x", "D:\\x"},
      {"1:", "x", "1:\\x"},
      {"D:a", "x", "D:a\\x"},
      {"\\\\server\\share", "x", "\\\\server\\share\\x"},
      {"", "x", "x"},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.directory);
    EXPECT_EQ(join_path(c.directory, c.name), c.want);
  }
}

// Runs in a fresh temporary folder that is the current directory.
class WalkerTest : public TempFolderTest {
 protected:
  static void dir(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }
  static void file(const std::string& path) {
    int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0) << path;
    close(fd);
  }
  static void link(const std::string& target, const std::string& path) {
    ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
  }

  // Every item of a walk: entry paths, and errors as "error: " and their text.
  static std::vector<std::string> walk(std::string start) {
    std::vector<std::string> items;
    Walker walker(std::move(start));
    while (auto item = walker.next()) {
      items.push_back(*item ? (*item)->path : "error: " + item->error().display());
    }
    return items;
  }
};

TEST_F(WalkerTest, StartFirstThenDepthFirstInListingOrder) {
  dir("t");
  file("t/a.json");
  dir("t/sub");
  file("t/sub/b.json");
  dir("t/sub/deep");
  file("t/sub/deep/c.json");
  dir("t/empty");
  file("t/z.txt");

  std::vector<std::string> items = walk("t");
  ASSERT_THAT(items,
              UnorderedElementsAre("t", "t\\a.json", "t\\sub", "t\\sub\\b.json", "t\\sub\\deep",
                                   "t\\sub\\deep\\c.json", "t\\empty", "t\\z.txt"));
  EXPECT_EQ(items.front(), "t");
  // Each directory's contents come right after it, its own entries in listing order.
  for (std::string directory : {"t", "t\\sub", "t\\sub\\deep", "t\\empty"}) {
    SCOPED_TRACE(directory);
    auto at = std::ranges::find(items, directory);
    auto end = std::find_if(at + 1, items.end(), [&](const std::string& item) {
      return !item.starts_with(directory + "\\");
    });
    std::vector<std::string> children;
    for (auto it = at + 1; it != end; ++it) {
      if (it->find('\\', directory.size() + 1) == std::string::npos) {
        children.push_back(it->substr(directory.size() + 1));
      }
    }
    auto listed = platform::list_directory(directory);
    ASSERT_TRUE(listed);
    EXPECT_EQ(children, *listed);
  }
}

TEST_F(WalkerTest, JoinsAfterTheStartAsWritten) {
  dir("t");
  dir("t/sub");
  file("t/sub/x.json");
  EXPECT_THAT(walk("t/"), ElementsAre("t/", "t/sub", "t/sub\\x.json"));
  EXPECT_THAT(walk("t\\"), ElementsAre("t\\", "t\\sub", "t\\sub\\x.json"));
  EXPECT_THAT(walk("./t"), ElementsAre("./t", "./t\\sub", "./t\\sub\\x.json"));
}

TEST_F(WalkerTest, LinksBelowTheStartAreEntriesNotFollowed) {
  dir("t");
  dir("t/sub");
  file("t/sub/x.json");
  dir("u");
  link("../t/sub/x.json", "u/to_file");
  link("../t/sub", "u/to_dir");
  link("nowhere", "u/dangling");

  std::vector<std::string> paths;
  Walker walker("u");
  while (auto item = walker.next()) {
    ASSERT_TRUE(*item) << item->error().display();
    paths.push_back((*item)->path);
    EXPECT_EQ((*item)->metadata.is_link(), (*item)->path != "u") << (*item)->path;
  }
  EXPECT_THAT(paths, UnorderedElementsAre("u", "u\\to_file", "u\\to_dir", "u\\dangling"));
}

TEST_F(WalkerTest, FollowsAStartThatLinksToADirectory) {
  dir("t");
  dir("t/sub");
  file("t/sub/x.json");
  link("t", "start");
  EXPECT_THAT(walk("start"), ElementsAre("start", "start\\sub", "start\\sub\\x.json"));
}

TEST_F(WalkerTest, ADirectoryThatCannotBeListedIsAnErrorWithItsPath) {
  dir("t");
  dir("t/gone");
  Walker walker("t");
  auto start = walker.next();
  ASSERT_TRUE(start && *start);
  auto gone = walker.next();
  ASSERT_TRUE(gone && *gone);
  EXPECT_EQ((*gone)->path, "t\\gone");
  ASSERT_EQ(rmdir("t/gone"), 0);
  auto error = walker.next();
  ASSERT_TRUE(error && !*error);
  EXPECT_EQ(error->error().display(),
            "IO error for operation on t\\gone: No such file or directory (os error 2)");
  EXPECT_FALSE(walker.next());
}

TEST_F(WalkerTest, AnUnreadableDirectoryIsAnError) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permissions do not stop the superuser";
  }
  dir("t");
  dir("t/locked");
  file("t/locked/x.json");
  ASSERT_EQ(chmod("t/locked", 0), 0);
  std::vector<std::string> items = walk("t");
  chmod("t/locked", 0755);
  EXPECT_THAT(items, ElementsAre("t", "t\\locked",
                                 "error: IO error for operation on t\\locked: Permission denied "
                                 "(os error 13)"));
}

// A folder that can be listed but not searched: its entries still come with the types the
// listing gives, so its files are yielded and its subfolder is an error of its own.
TEST_F(WalkerTest, AFolderThatCannotBeSearchedStillYieldsItsEntries) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permissions do not stop the superuser";
  }
  dir("t");
  dir("t/shut");
  file("t/shut/x.json");
  dir("t/shut/sub");
  ASSERT_EQ(chmod("t/shut", 0444), 0);
  std::vector<std::string> items = walk("t");
  chmod("t/shut", 0755);
  EXPECT_THAT(items, UnorderedElementsAre("t", "t\\shut", "t\\shut\\x.json", "t\\shut\\sub",
                                          "error: IO error for operation on t\\shut\\sub: "
                                          "Permission denied (os error 13)"));
}

TEST_F(WalkerTest, AMissingStartIsAnError) {
  EXPECT_THAT(walk("missing"),
              ElementsAre("error: IO error for operation on missing: No such file or directory "
                          "(os error 2)"));
}

TEST_F(WalkerTest, DeepTreesNeedNoStackPerLevel) {
  std::string path = "t";
  dir(path);
  for (int level = 0; level < 300; ++level) {
    path += "/d";
    dir(path);
  }
  file(path + "/x.json");
  std::vector<std::string> items = walk("t");
  ASSERT_EQ(items.size(), 302u);
  std::string want = path + "/x.json";
  std::ranges::replace(want, '/', '\\');
  EXPECT_EQ(items.back(), want);
}

// Below the longest path the system accepts, the walk reports the system's error and goes on.
TEST_F(WalkerTest, PathsLongerThanTheSystemAllowsAreWalkErrors) {
  const std::string name(200, 'd');
  ASSERT_EQ(mkdir("t", 0755), 0);
  ASSERT_EQ(chdir("t"), 0);
  constexpr int LEVELS = 25;  // 25 * 201 bytes: past PATH_MAX of 4096
  for (int level = 0; level < LEVELS; ++level) {
    ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
    ASSERT_EQ(chdir(name.c_str()), 0);
  }
  ASSERT_EQ(chdir(root_.c_str()), 0);
  dir("t/sibling");

  std::vector<std::string> items = walk("t");
  auto error = std::ranges::find_if(
      items, [](const std::string& item) { return item.starts_with("error: "); });
  ASSERT_NE(error, items.end());
  EXPECT_TRUE(error->ends_with(": File name too long (os error 36)")) << *error;
  EXPECT_NE(std::ranges::find(items, "t\\sibling"), items.end());

  // remove_all cannot reach that deep by path; take the tree down level by level.
  ASSERT_EQ(chdir("t"), 0);
  for (int level = 0; level < LEVELS; ++level) {
    ASSERT_EQ(chdir(name.c_str()), 0);
  }
  for (int level = 0; level < LEVELS; ++level) {
    ASSERT_EQ(chdir(".."), 0);
    ASSERT_EQ(rmdir(name.c_str()), 0);
  }
  ASSERT_EQ(chdir(root_.c_str()), 0);
}

}  // namespace
}  // namespace vardel
