// Tests of the platform layer against the real file system, in a fresh temporary folder.
#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory_resource>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vardel::platform {
namespace {

namespace fs = std::filesystem;

class PlatformFiles : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(testing::TempDir()) / "vardel-platform-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // The path of a name below the folder, as the platform layer takes it.
  std::string path(std::string_view name) const { return (root_ / name).string(); }

  void write(std::string_view name, std::string_view content) const {
    std::ofstream out(path(name), std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good());
  }

  fs::path root_;
};

TEST_F(PlatformFiles, ClassifiesFilesDirectoriesAndLinks) {
  write("file.json", "{}");
  fs::create_directory(path("dir"));
  fs::create_symlink(path("file.json"), path("file-link"));
  fs::create_directory_symlink(path("dir"), path("dir-link"));
  fs::create_symlink(path("missing"), path("dangling"));

  enum class Kind { file, directory, link, fails };
  auto kind = [](const std::expected<Metadata, OsError>& m) {
    if (!m) {
      return Kind::fails;
    }
    if (m->is_link()) {
      return Kind::link;
    }
    return m->is_directory() ? Kind::directory : Kind::file;
  };
  struct Case {
    std::string_view name;
    Kind followed, itself;
  };
  constexpr Case CASES[] = {
      {"file.json", Kind::file, Kind::file}, {"dir", Kind::directory, Kind::directory},
      {"file-link", Kind::file, Kind::link}, {"dir-link", Kind::directory, Kind::link},
      {"dangling", Kind::fails, Kind::link}, {"missing", Kind::fails, Kind::fails},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(kind(metadata(path(c.name))), c.followed);
    EXPECT_EQ(kind(link_metadata(path(c.name))), c.itself);
  }

  const auto link = link_metadata(path("dir-link"));
  ASSERT_TRUE(link);
  EXPECT_EQ(link->reparse_tag & REPARSE_TAG_NAME_SURROGATE, REPARSE_TAG_NAME_SURROGATE);
  EXPECT_EQ(link->attributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(metadata("").has_value());
}

TEST_F(PlatformFiles, TakesBackslashesAsSeparators) {
  fs::create_directory(path("conf"));
  write("conf/app.json", "{}");
  const std::string windows_form = root_.string() + "\\conf\\app.json";
  ASSERT_TRUE(metadata(windows_form));
  EXPECT_FALSE(metadata(windows_form)->is_directory());
  EXPECT_EQ(read_file(windows_form), "{}");
  EXPECT_EQ(list_directory(root_.string() + "\\conf"), std::vector<std::string>{"app.json"});
}

// "." and ".." fold by the text before the system sees the path, as Windows does: a folder
// named before ".." need not exist, and the ".." after a link goes back to the link's folder,
// not to the parent of its target.
TEST_F(PlatformFiles, FoldsDotNamesByTheText) {
  fs::create_directories(path("deep/inner"));
  write("only.json", "top");
  write("deep/only.json", "deep");
  fs::create_directory_symlink(path("deep/inner"), path("link"));
  const std::string root = root_.string();
  struct Case {
    std::string path;
    std::string want;
  };
  const Case CASES[] = {
      {root + "/gone/../only.json", "top"},
      {root + "\\gone\\..\\.\\only.json", "top"},
      {root + "/link/../only.json", "top"},
      {root + "/deep/inner/../only.json", "deep"},
      {root + "/deep/./inner/../../deep/only.json", "deep"},
      {root + "//only.json", "top"},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(read_file(c.path), c.want);
  }
  EXPECT_TRUE(metadata(root + "/gone/..")->is_directory());
  auto listed = list_directory(root + "/link/../deep/inner/../gone/..");
  ASSERT_TRUE(listed) << listed.error().display();
  std::ranges::sort(*listed);
  EXPECT_EQ(*listed, (std::vector<std::string>{"inner", "only.json"}));

  // Relative paths stay relative; their leading ".." names are kept.
  const fs::path saved = fs::current_path();
  fs::current_path(path("deep/inner"));
  EXPECT_EQ(read_file("gone/../../only.json"), "deep");
  EXPECT_EQ(read_file("../../only.json"), "top");
  EXPECT_EQ(read_file("a/../../b/../../only.json"), "top");
  fs::current_path(saved);
}

TEST_F(PlatformFiles, ListsEntriesWithoutDotAndDotDot) {
  write("b.json", "");
  write("a.txt", "");
  fs::create_directory(path("sub"));
  fs::create_directory(path("empty"));
  fs::create_symlink(path("missing"), path("dangling"));

  auto names = list_directory(root_.string());
  ASSERT_TRUE(names) << names.error().display();
  std::ranges::sort(*names);
  EXPECT_EQ(*names, (std::vector<std::string>{"a.txt", "b.json", "dangling", "empty", "sub"}));
  EXPECT_EQ(list_directory(path("empty")), std::vector<std::string>{});

  const auto missing = list_directory(path("missing"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code, ENOENT);
  const auto file = list_directory(path("a.txt"));
  ASSERT_FALSE(file);
  EXPECT_EQ(file.error().code, ENOTDIR);
}

// The type a listing carries must be what link_metadata says, links and all.
TEST_F(PlatformFiles, ListedEntriesCarryTheirOwnMetadata) {
  write("a.json", "");
  fs::create_directory(path("sub"));
  fs::create_symlink(path("sub"), path("dir-link"));
  fs::create_symlink(path("a.json"), path("file-link"));
  fs::create_symlink(path("missing"), path("dangling"));

  auto entries = list_directory_entries(root_.string());
  ASSERT_TRUE(entries) << entries.error().display();
  std::vector<std::string> names;
  for (const DirectoryEntry& entry : *entries) {
    SCOPED_TRACE(entry.name);
    names.push_back(entry.name);
    const auto own = link_metadata(path(entry.name));
    ASSERT_TRUE(own);
    const Metadata got = entry.metadata ? *entry.metadata : *own;
    EXPECT_EQ(got.attributes, own->attributes);
    EXPECT_EQ(got.reparse_tag, own->reparse_tag);
  }
  EXPECT_EQ(names, list_directory(root_.string()));
  EXPECT_EQ(list_directory_entries(path("missing")).error().code, ENOENT);

  // A name holding a "\" cannot be reached through a path, where it is a separator; the
  // listing still tells its type.
  if (!fs::path("x\\y.json").has_parent_path()) {
    fs::create_directory(path("odd"));
    write("odd/x\\y.json", "");
    const auto odd = list_directory_entries(path("odd"));
    ASSERT_TRUE(odd) << odd.error().display();
    ASSERT_EQ(odd->size(), 1u);
    EXPECT_EQ(odd->front().name, "x\\y.json");
    ASSERT_TRUE(odd->front().metadata.has_value());
    EXPECT_EQ(odd->front().metadata->attributes, FILE_ATTRIBUTE_NORMAL);
  }
  EXPECT_EQ(list_directory_entries(path("a.json")).error().code, ENOTDIR);
}

TEST_F(PlatformFiles, ReadsWholeFiles) {
  const std::string bom_text = "\xEF\xBB\xBF{\"k\": \"\xC3\xA9\"}\r\n";
  write("bom.json", bom_text);
  write("empty.json", "");
  std::string big(3 * 1024 * 1024 + 17, 'x');
  big[big.size() / 2] = '\n';
  write("big.json", big);

  EXPECT_EQ(read_file(path("bom.json")), bom_text);
  EXPECT_EQ(read_file(path("empty.json")), "");
  EXPECT_EQ(read_file(path("big.json")), big);
}

TEST_F(PlatformFiles, ReadsFilesLongerThanTheirStatedSize) {
  // Files of /proc report a size of 0 and still have content.
  if (!fs::exists("/proc/self/status")) {
    GTEST_SKIP() << "no /proc";
  }
  const auto text = read_file("/proc/self/status");
  ASSERT_TRUE(text) << text.error().display();
  EXPECT_NE(text->find("Name:"), std::string::npos);
}

TEST_F(PlatformFiles, RefusesWhatIsNotReadableText) {
  write("latin1.json", "\"caf\xE9\"");
  write("cut.json", "\"\xE2\x82\"");
  fs::create_directory(path("dir.json"));
  ASSERT_EQ(::mkfifo(path("pipe.json").c_str(), 0600), 0) << std::strerror(errno);
  fs::create_symlink(path("missing"), path("dangling.json"));

  struct Case {
    std::string_view name;
    int code;
  };
  constexpr Case CASES[] = {
      {"latin1.json", EILSEQ}, {"cut.json", EILSEQ},     {"dir.json", EISDIR},
      {"pipe.json", EINVAL},   {"missing.json", ENOENT}, {"dangling.json", ENOENT},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.name);
    const auto text = read_file(path(c.name));  // a FIFO without a writer must not block
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().code, c.code);
  }
  EXPECT_FALSE(read_file(path("latin1.json") + std::string(1, '\0') + "x"));
  EXPECT_FALSE(read_file(""));
}

TEST(PlatformMemory, LargeBlocksAreAlignedWritableAndGivenBack) {
  std::pmr::memory_resource* memory = large_block_memory();
  for (std::size_t size : {std::size_t{64}, std::size_t{2} << 20, (std::size_t{5} << 20) + 3}) {
    SCOPED_TRACE(size);
    auto* block = static_cast<unsigned char*>(memory->allocate(size, 16));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0U);
    if (size >= (std::size_t{2} << 20)) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % (std::size_t{2} << 20), 0U);
    }
    std::memset(block, 0xA5, size);
    EXPECT_EQ(block[size - 1], 0xA5);
    memory->deallocate(block, size, 16);
  }
}

TEST(PlatformUtf8, AcceptsExactlyWellFormedText) {
  struct Case {
    std::string_view text;
    bool valid;
  };
  constexpr Case CASES[] = {
      {"", true},
      {"plain ascii", true},
      {"\xC2\x80 \xDF\xBF", true},                  // two-byte bounds
      {"\xE0\xA0\x80 \xEF\xBF\xBF", true},          // three-byte bounds
      {"\xED\x9F\xBF \xEE\x80\x80", true},          // around the surrogates
      {"\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF", true},  // four-byte bounds
      {"\x80", false},                              // lone continuation byte
      {"\xC0\x80", false},                          // overlong NUL
      {"\xC1\xBF", false},                          // overlong
      {"\xE0\x9F\xBF", false},                      // overlong three bytes
      {"\xED\xA0\x80", false},                      // a surrogate
      {"\xF0\x8F\xBF\xBF", false},                  // overlong four bytes
      {"\xF4\x90\x80\x80", false},                  // above U+10FFFF
      {"\xF5\x80\x80\x80", false},
      {"\xFF", false},
      {"\xE2\x82", false},      // cut at the end
      {"\xE2\x82x", false},     // cut before ASCII
      {"\xC3\xA9\xC3", false},  // cut after a valid character
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    EXPECT_EQ(is_valid_utf8(c.text), c.valid);
  }
}

TEST(PlatformUtf8, FindsAFaultAtEveryOffsetOfTheFastPath) {
  // The ASCII fast path works in blocks; a bad byte or a character cut by the end of the text
  // must be seen wherever it falls in a block.
  for (std::size_t at = 0; at < 40; ++at) {
    SCOPED_TRACE(at);
    std::string text(40, 'a');
    text[at] = '\xFF';
    EXPECT_FALSE(is_valid_utf8(text));
    std::string cut(at, 'a');
    cut += "\xF0\x9F\x98";
    EXPECT_FALSE(is_valid_utf8(cut));
    std::string good(at, 'a');
    good += "\xF0\x9F\x98\x80";
    good += std::string(at, 'b');
    EXPECT_TRUE(is_valid_utf8(good));
  }
}

TEST(PlatformDisplayPath, ReplacesEachMaximalSubpart) {
  struct Case {
    std::string_view path, want;
  };
  constexpr Case CASES[] = {
      {"conf\\app.json", "conf\\app.json"},
      {"caf\xE9.json", "caf\xEF\xBF\xBD.json"},
      {"a\xF0\x9F\x98", "a\xEF\xBF\xBD"},                        // one cut sequence, one U+FFFD
      {"\xE0\x80x", "\xEF\xBF\xBD\xEF\xBF\xBDx"},                // E0 cannot go on with 80
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate: three bytes
      {"\xC3(\xE2\x82\xAC", "\xEF\xBF\xBD(\xE2\x82\xAC"},
      {"\xFF\xFE", "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.path)));
    EXPECT_EQ(display_path(c.path), c.want);
  }
}

TEST(PlatformOsError, DisplaysMessageAndCode) {
  EXPECT_EQ((OsError{5, "Access is denied.\r\n"}.display()), "Access is denied. (os error 5)");
  EXPECT_EQ((OsError{0, ""}.display()), " (os error 0)");

  const auto missing = metadata("/nonexistent-vardel-path/x");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().display(),
            std::string(std::strerror(ENOENT)) + " (os error " + std::to_string(ENOENT) + ")");
}

TEST(PlatformArguments, SkipsProgramPathAndRefusesInvalidUtf8) {
  std::string program = "vardel";
  std::string list = "-l";
  std::string empty;
  std::string latin1 = "caf\xE9";
  std::vector<char*> good = {program.data(), list.data(), empty.data(), nullptr};
  EXPECT_EQ(arguments(3, good.data()), (std::vector<std::string>{"-l", ""}));
  std::vector<char*> bad = {program.data(), list.data(), latin1.data(), nullptr};
  EXPECT_EQ(arguments(3, bad.data()), std::nullopt);
  std::vector<char*> none = {program.data(), nullptr};
  EXPECT_EQ(arguments(1, none.data()), std::vector<std::string>{});
}

// Runs `body` in a child whose standard output is a pipe; returns the child's wait status
// and what it wrote. With `close_reader`, the pipe is closed before the child writes.
struct ChildResult {
  int status;
  std::string out;
};

template <typename Body>
ChildResult run_child(bool close_reader, Body body) {
  int fds[2];
  EXPECT_EQ(::pipe(fds), 0);
  if (close_reader) {
    ::close(fds[0]);
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], STDOUT_FILENO);
    ::close(fds[1]);
    body();
    ::_exit(99);
  }
  ::close(fds[1]);
  std::string out;
  if (!close_reader) {
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fds[0], buffer, sizeof buffer)) > 0) {
      out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {status, out};
}

TEST(PlatformConsole, WritesEverythingBufferedAndExitsWithTheStatus) {
  std::string want;
  for (int i = 0; i < 50000; ++i) {
    want += "conf\\file" + std::to_string(i) + ".json\n";
  }
  const ChildResult child = run_child(false, [] {
    for (int i = 0; i < 50000; ++i) {
      write_stdout("conf\\file" + std::to_string(i) + ".json\n");
    }
    write_stdout(std::string(200000, 'y'));  // larger than the buffer, after buffered text
    exit_process(3);
  });
  ASSERT_TRUE(WIFEXITED(child.status));
  EXPECT_EQ(WEXITSTATUS(child.status), 3);
  EXPECT_EQ(child.out, want + std::string(200000, 'y'));
}

TEST(PlatformConsole, ClosedPipeEndsTheRunWithStatusOne) {
  const ChildResult child = run_child(true, [] {
    write_stdout("a.json\n");
    exit_process(0);
  });
  ASSERT_TRUE(WIFEXITED(child.status)) << "killed by signal " << WTERMSIG(child.status);
  EXPECT_EQ(WEXITSTATUS(child.status), 1);
}

}  // namespace
}  // namespace vardel::platform
