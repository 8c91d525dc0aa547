// Tests of the Windows platform layer against the real system calls, in a fresh temporary
// folder; they run on Windows or under Wine.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace vardel::platform {
namespace {

namespace fs = std::filesystem;

std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

class WindowsFiles : public testing::Test {
 protected:
  void SetUp() override {
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
      const fs::path candidate =
          base / ("vardel-windows-" + std::to_string(::GetCurrentProcessId()) + "-" +
                  std::to_string(attempt));
      if (fs::create_directory(candidate)) {
        root_ = candidate;
      }
    }
    ASSERT_FALSE(root_.empty());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // The UTF-8 path of a name below the folder, as the platform layer takes it.
  std::string path(std::string_view name) const { return utf8(root_) + "\\" + std::string(name); }

  void write(const std::wstring& name, std::string_view content) const {
    std::ofstream out(root_ / name, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good());
  }

  fs::path root_;
};

TEST_F(WindowsFiles, ClassifiesListsAndReads) {
  write(L"caf\u00E9.json", "{\"a\": 1}\n");
  fs::create_directory(root_ / L"dir");
  write(L"dir/b.json", "");

  const auto file = metadata(path("caf\xC3\xA9.json"));
  ASSERT_TRUE(file) << file.error().display();
  EXPECT_FALSE(file->is_directory());
  EXPECT_FALSE(file->is_link());
  const auto dir = link_metadata(path("dir"));
  ASSERT_TRUE(dir) << dir.error().display();
  EXPECT_TRUE(dir->is_directory());

  auto names = list_directory(utf8(root_));
  ASSERT_TRUE(names) << names.error().display();
  std::ranges::sort(*names);
  EXPECT_EQ(*names, (std::vector<std::string>{"caf\xC3\xA9.json", "dir"}));
  // Either separator, and a directory path that already ends in one.
  const auto below = list_directory(utf8(root_) + "/dir/");
  ASSERT_TRUE(below) << below.error().display();
  EXPECT_EQ(*below, std::vector<std::string>{"b.json"});

  const auto text = read_file(path("caf\xC3\xA9.json"));
  ASSERT_TRUE(text) << text.error().display();
  EXPECT_EQ(*text, "{\"a\": 1}\n");
  const auto empty = read_file(utf8(root_) + "/dir/b.json");
  ASSERT_TRUE(empty) << empty.error().display();
  EXPECT_EQ(*empty, "");
}

TEST_F(WindowsFiles, ReadsOnlyDiskFilesOfUtf8Text) {
  write(L"latin1.json", "[\"caf\xE9\"]");
  fs::create_directory(root_ / L"dir");
  for (const std::string& p : {path("latin1.json"), path("dir"), std::string("NUL"),
                               std::string("CON"), path("missing.json"), std::string("")}) {
    SCOPED_TRACE(p);
    EXPECT_FALSE(read_file(p));
  }
}

TEST_F(WindowsFiles, ReportsTheSystemsTextAndCode) {
  const auto missing = metadata(path("missing.json"));
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code, ERROR_FILE_NOT_FOUND);
  const std::string shown = missing.error().display();
  EXPECT_TRUE(shown.ends_with(" (os error 2)")) << shown;
  EXPECT_GT(shown.size(), std::string_view(" (os error 2)").size()) << shown;
  const std::string message = missing.error().message;
  ASSERT_FALSE(message.empty());
  EXPECT_EQ(message.find_last_not_of(" \t\r\n"), message.size() - 1) << message;

  const auto listing = list_directory(path("missing"));
  ASSERT_FALSE(listing);
  EXPECT_NE(listing.error().code, 0);
  EXPECT_FALSE(metadata(""));
}

TEST_F(WindowsFiles, KeepsNamesThatAreNotValidUtf16) {
  // A lone leading surrogate in the name; the system may refuse to create it.
  const std::wstring name = std::wstring(L"x") + static_cast<wchar_t>(0xD800) + L".json";
  const HANDLE handle = ::CreateFileW((root_ / name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    GTEST_SKIP() << "this system refuses such file names";
  }
  ::CloseHandle(handle);
  const auto names = list_directory(utf8(root_));
  ASSERT_TRUE(names) << names.error().display();
  ASSERT_EQ(names->size(), 1U);
  const std::string& kept = names->front();
  if (kept != "x\xED\xA0\x80.json") {
    GTEST_SKIP() << "this system changes such file names";
  }
  EXPECT_FALSE(is_valid_utf8(kept));
  EXPECT_EQ(display_path(kept), "x\xEF\xBF\xBD.json");
  // The generalised form converts back to the same name.
  const auto again = metadata(utf8(root_) + "\\" + kept);
  EXPECT_TRUE(again) << again.error().display();
  EXPECT_TRUE(full_path(kept));
}

TEST_F(WindowsFiles, TellsLinksFromWhatTheyPointTo) {
  write(L"file.json", "{}");
  fs::create_directory(root_ / L"dir");
  // Symbolic links need a privilege or developer mode; without them there is nothing to test.
  const DWORD unprivileged = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (!::CreateSymbolicLinkW((root_ / L"file-link").c_str(), (root_ / L"file.json").c_str(),
                             unprivileged) ||
      !::CreateSymbolicLinkW((root_ / L"dir-link").c_str(), (root_ / L"dir").c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | unprivileged) ||
      !::CreateSymbolicLinkW((root_ / L"dangling").c_str(), (root_ / L"missing").c_str(),
                             unprivileged)) {
    GTEST_SKIP() << "this system makes no symbolic links here";
  }
  if (::GetFileAttributesW((root_ / L"file-link").c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "this system reports symbolic links made that are not there";
  }
  const auto own = link_metadata(path("file-link"));
  ASSERT_TRUE(own) << own.error().display();
  if (!own->is_link()) {
    GTEST_SKIP() << "this system shows symbolic links as what they point to";
  }
  EXPECT_EQ(own->reparse_tag, IO_REPARSE_TAG_SYMLINK);
  const auto file = metadata(path("file-link"));
  ASSERT_TRUE(file) << file.error().display();
  EXPECT_FALSE(file->is_link());
  EXPECT_FALSE(file->is_directory());

  const auto dir_own = link_metadata(path("dir-link"));
  ASSERT_TRUE(dir_own) << dir_own.error().display();
  EXPECT_TRUE(dir_own->is_link());
  EXPECT_FALSE(dir_own->is_directory());
  const auto dir = metadata(path("dir-link"));
  ASSERT_TRUE(dir) << dir.error().display();
  EXPECT_TRUE(dir->is_directory());

  const auto dangling = link_metadata(path("dangling"));
  ASSERT_TRUE(dangling) << dangling.error().display();
  EXPECT_TRUE(dangling->is_link());
  EXPECT_FALSE(metadata(path("dangling")));
}

TEST(WindowsFullPath, ResolvesWithoutTouchingTheFileSystem) {
  std::wstring cwd(MAX_PATH * 4, L'\0');
  cwd.resize(::GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data()));
  ASSERT_FALSE(cwd.empty());
  const std::string current = utf8(fs::path(cwd));
  const std::string joined = current.ends_with('\\') ? current : current + "\\";

  struct Case {
    std::string input, want;
  };
  const Case CASES[] = {
      {"a\\..\\b.json", joined + "b.json"},
      {"./conf/./x.json", joined + "conf\\x.json"},
      {"\\\\?\\Q:\\a\\..\\b", "\\\\?\\Q:\\a\\..\\b"},
      {"\\\\server\\share\\a\\..\\b", "\\\\server\\share\\b"},
      {"Q:\\x\\.\\y", "Q:\\x\\y"},
      {"Q:/x/../../y", "Q:\\y"},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.input);
    const auto full = full_path(c.input);
    ASSERT_TRUE(full) << full.error().display();
    EXPECT_EQ(*full, c.want);
  }
  EXPECT_FALSE(full_path(""));
}

TEST(WindowsDisplayPath, ShowsEachUnpairedSurrogateAsOneReplacement) {
  struct Case {
    std::string_view input, want;
  };
  constexpr Case CASES[] = {
      {"conf\\a.json", "conf\\a.json"},
      {"a\xED\xA0\x80.json", "a\xEF\xBF\xBD.json"},
      {"\xED\xB0\x80\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xF0\x9F\x98\x80\xED\xBF\xBF", "\xF0\x9F\x98\x80\xEF\xBF\xBD"},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(display_path(c.input), c.want);
  }
  EXPECT_FALSE(is_valid_utf8("a\xED\xA0\x80"));
  EXPECT_TRUE(is_valid_utf8("a\xED\x9F\xBF"));
}

}  // namespace
}  // namespace vardel::platform
