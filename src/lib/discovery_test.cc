#include "src/lib/discovery.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "src/lib/lazy.h"
#include "src/lib/temp_folder_test_util.h"

namespace vardel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::atomic<int> builds{0};
int count_build() {
  return ++builds;
}
const Lazy<int> COUNTED{count_build};

TEST(Lazy, BuildsOnceOnFirstUseFromAnyThread) {
  EXPECT_EQ(builds, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([] { EXPECT_EQ(*COUNTED, 1); });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(builds, 1);
}

TEST(Discovery, Constants) {
  EXPECT_THAT(*JSON_EXTENSIONS, ElementsAre("eslintrc", "jsfmtrc", "jslintrc", "jshintrc", "json"));
  EXPECT_THAT(*JSON5_EXTENSIONS,
              ElementsAre("eslintrc", "jsfmtrc", "jslintrc", "jshintrc", "json", "json5"));
  EXPECT_THAT(*EXCLUDED_NAMES, ElementsAre(".tesk", ".venv", "build", "node_modules",
                                           "package-lock.json", "target", "vendor"));
  EXPECT_THAT(extension_patterns({"json", "json5"}), ElementsAre(".*\\.json", ".*\\.json5"));
}

TEST(Discovery, Patterns) {
  struct Case {
    std::string_view path;
    bool excluded, json, json5;
  };
  constexpr Case CASES[] = {
      {"C:\\w\\x.json", false, true, true},
      {"C:\\w\\x.json5", false, false, true},
      {"C:\\w\\.eslintrc", false, true, true},
      {"C:\\w\\a.jsfmtrc", false, true, true},
      {"C:\\w\\eslintrc", false, false, false},
      {"C:\\w\\x.JSON", false, false, false},
      {"C:\\w\\x.json.bak", false, false, false},
      {"C:\\w\\xjson", false, false, false},
      // "$" is the very end: not before a final line feed; "." never matches a line feed.
      {"C:\\w\\x.json\n", false, false, false},
      {"C:\\w\\x\n.json", false, true, true},
      {"C:\\w\\rebuild.json", true, true, true},
      {"C:\\build\\w\\x.json", true, true, true},
      {"C:\\w\\Build\\x.json", false, true, true},
      {"C:\\w\\targets\\x.json", true, true, true},
      {"C:\\w\\myvenv\\x.json", true, true, true},
      {"C:\\w\\venv\\x.json", true, true, true},
      {"venv\\x.json", false, true, true},
      {"C:\\w\\package-lock.json", true, true, true},
      {"C:\\w\\package-lock_json", true, false, false},
      {"C:\\w\\node_modules\\x.json", true, true, true},
      {"C:\\w\\vendor\\x.json", true, true, true},
      {"C:\\w\\a_tesk\\x.json", true, true, true},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(EXCLUDED_REGEX->search(c.path), c.excluded);
    EXPECT_EQ(JSON_FILE_REGEX->search(c.path), c.json);
    EXPECT_EQ(JSON5_FILE_REGEX->search(c.path), c.json5);
  }
}

// Runs in a fresh temporary folder that is the current directory.
class FindJsonFiles : public TempFolderTest {
 protected:
  // Creates the file and the folders above it.
  static void file(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) {
      std::error_code error;
      std::filesystem::create_directories(parent, error);
      ASSERT_FALSE(error) << path;
    }
    int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0) << path;
    close(fd);
  }

  // The sorted list, or the error's text after "error: ".
  static std::vector<std::string> find(const std::vector<std::string>& arguments,
                                       bool json5 = false) {
    auto files = find_json_files(arguments, json5);
    if (!files) {
      return {"error: " + files.error().display()};
    }
    return *files;
  }

  // The temporary folder in Windows form, as absolute paths show it.
  std::string windows_root() const {
    std::string path = root_;
    std::ranges::replace(path, '/', '\\');
    return path;
  }
};

TEST_F(FindJsonFiles, SelectsByExtension) {
  for (const char* name : {".eslintrc", "a.jshintrc", "a.jsfmtrc", "a.jslintrc", "x.json",
                           "x.json5", "x.JSON", "x.json.bak", "eslintrc", "notes.txt"}) {
    file(std::string("sel/") + name);
  }
  const std::vector<std::string> named = {"sel/.eslintrc", "sel/a.jshintrc", "sel/x.json5",
                                          "sel/x.JSON",    "sel/x.json.bak", "sel/eslintrc"};
  EXPECT_THAT(find(named), ElementsAre("sel\\.eslintrc", "sel\\a.jshintrc"));
  EXPECT_THAT(find(named, true), ElementsAre("sel\\.eslintrc", "sel\\a.jshintrc", "sel\\x.json5"));
  EXPECT_THAT(find({"sel"}), ElementsAre("sel\\.eslintrc", "sel\\a.jsfmtrc", "sel\\a.jshintrc",
                                         "sel\\a.jslintrc", "sel\\x.json"));
  EXPECT_THAT(find({"sel/notes.txt", "sel/x.JSON"}), IsEmpty());
}

TEST_F(FindJsonFiles, ExcludesByTheWholeAbsolutePath) {
  for (const char* path : {"rebuild.json", "targets/x.json", "myvenv/x.json", "venv/x.json",
                           "package-lock.json", "node_modules/x.json", "vendor/x.json",
                           "a.tesk/x.json", "Build/x.json", "build/y.json", "x.json"}) {
    file(path);
  }
  EXPECT_THAT(find({"."}), ElementsAre("Build\\x.json", "x.json"));
  // Folded components do not count.
  EXPECT_THAT(find({"build/../x.json"}), ElementsAre("x.json"));
}

TEST_F(FindJsonFiles, ExcludesEverythingBelowAnExcludedWorkingDirectory) {
  for (const char* folder : {"build", "target", "vendor"}) {
    SCOPED_TRACE(folder);
    file(std::string(folder) + "/w/x.json");
    ASSERT_EQ(chdir((std::string(folder) + "/w").c_str()), 0);
    EXPECT_THAT(find({"x.json", "."}), IsEmpty());
    ASSERT_EQ(chdir(root_.c_str()), 0);
  }
}

// "." and ".." fold by the text, as on Windows, before any file is asked: the folder named before
// a ".." need not exist.
TEST_F(FindJsonFiles, FoldsDotNamesBeforeAskingTheSystem) {
  file("x.json");
  file("conf/app.json");
  EXPECT_THAT(find({"gone/../x.json"}), ElementsAre("x.json"));
  EXPECT_THAT(find({"gone\\..\\conf\\.\\app.json"}), ElementsAre("conf\\app.json"));
  EXPECT_THAT(find({"gone/../conf"}), ElementsAre("conf\\app.json"));
  EXPECT_THAT(find({"conf/gone/.."}), ElementsAre("conf\\app.json"));
}

// A name that no Windows path can hold (here one with a "\") does not stop the walk.
TEST_F(FindJsonFiles, WalksPastNamesThatNoPathReaches) {
  file("d/ok.json");
  file("d/notes\\old.txt");
  EXPECT_THAT(find({"d"}), ElementsAre("d\\ok.json"));
}

TEST_F(FindJsonFiles, KeepsDuplicates) {
  file("a.json");
  file("conf/app.json");
  EXPECT_THAT(find({"a.json", "a.json"}), ElementsAre("a.json", "a.json"));
  EXPECT_THAT(find({"conf", "conf/app.json"}), ElementsAre("conf\\app.json", "conf\\app.json"));
}

TEST_F(FindJsonFiles, CollectsInArgumentOrderAndFindSorts) {
  file("b.json");
  file("a.json");
  auto collected = collect_json_files({"b.json", "./a.json"}, false);
  ASSERT_TRUE(collected) << collected.error().display();
  EXPECT_THAT(*collected, ElementsAre("b.json", "a.json"));
  EXPECT_THAT(find({"b.json", "./a.json"}), ElementsAre("a.json", "b.json"));
}

TEST_F(FindJsonFiles, SortsByBytes) {
  for (const char* path :
       {"ab.json", "a_b.json", "a/b.json", "a.json5", "a.json", "a-b/c.json", "B.json", "A.json"}) {
    file(path);
  }
  EXPECT_THAT(find({"."}, true), ElementsAre("A.json", "B.json", "a-b\\c.json", "a.json", "a.json5",
                                             "a\\b.json", "a_b.json", "ab.json"));
}

TEST_F(FindJsonFiles, KeepsTheFormOfTheArgument) {
  file("conf/app.json");
  EXPECT_THAT(find({"./conf/"}), ElementsAre("conf\\app.json"));
  EXPECT_THAT(find({"conf/"}), ElementsAre("conf\\app.json"));
  EXPECT_THAT(find({root_ + "/conf"}), ElementsAre(windows_root() + "\\conf\\app.json"));
}

TEST_F(FindJsonFiles, Links) {
  file("t/x.json");
  file("u/y.json");
  ASSERT_EQ(symlink("t/x.json", "file-link.json"), 0);
  ASSERT_EQ(symlink("t", "dir-link"), 0);
  ASSERT_EQ(symlink("nowhere.json", "dangling.json"), 0);
  ASSERT_EQ(symlink("../t/x.json", "u/to-file.json"), 0);
  ASSERT_EQ(symlink("../t", "u/to-dir"), 0);
  ASSERT_EQ(symlink("nowhere.json", "u/dangling.json"), 0);
  // A named link is taken by its own path; a link to a folder is walked.
  EXPECT_THAT(find({"file-link.json", "dir-link"}),
              ElementsAre("dir-link\\x.json", "file-link.json"));
  // Links met during a walk are skipped, whatever they point to.
  EXPECT_THAT(find({"u"}), ElementsAre("u\\y.json"));
  EXPECT_THAT(find({"dangling.json"}),
              ElementsAre("error: unable to query metadata for path: dangling.json"));
}

TEST_F(FindJsonFiles, ArgumentErrors) {
  file("a.json");
  EXPECT_THAT(find({""}), ElementsAre("error: unable to query metadata for path: "));
  EXPECT_THAT(find({"a.json", "missing.json"}),
              ElementsAre("error: unable to query metadata for path: missing.json"));
}

TEST_F(FindJsonFiles, NamesThatAreNotUnicode) {
  file("d/x.json");
  file("d/bad\xff.txt");
  // The text check comes before the name tests, so even a name that is not selected fails.
  EXPECT_THAT(find({"d"}), ElementsAre("error: unable to process path: " + windows_root() +
                                       "\\d\\bad\xEF\xBF\xBD.txt"));
}

// Every argument is taken to files before any file is tested, walks included.
TEST_F(FindJsonFiles, ReportsArgumentErrorsBeforeNameErrors) {
  file("d/bad\xff.json");
  EXPECT_THAT(find({"d", "missing"}),
              ElementsAre("error: unable to query metadata for path: missing"));

  // A walk that fails below the last argument: a path longer than the system allows.
  const std::string name(250, 'n');
  // Too long to make by path; built level by level.
  ASSERT_EQ(mkdir("deep", 0755), 0);
  ASSERT_EQ(chdir("deep"), 0);
  for (int level = 0; level < 17; ++level) {
    ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
    ASSERT_EQ(chdir(name.c_str()), 0);
  }
  ASSERT_EQ(chdir(root_.c_str()), 0);
  std::vector<std::string> got = find({"d", "deep"});
  ASSERT_EQ(got.size(), 1u);
  EXPECT_TRUE(got[0].starts_with("error: IO error for operation on deep\\" + name + "\\"))
      << got[0];
  EXPECT_TRUE(got[0].ends_with(": File name too long (os error 36)")) << got[0];

  ASSERT_EQ(chdir("deep"), 0);
  for (int level = 0; level < 17; ++level) {
    ASSERT_EQ(chdir(name.c_str()), 0);
  }
  for (int level = 0; level < 17; ++level) {
    ASSERT_EQ(chdir(".."), 0);
    ASSERT_EQ(rmdir(name.c_str()), 0);
  }
  ASSERT_EQ(chdir(root_.c_str()), 0);
}

}  // namespace
}  // namespace vardel
