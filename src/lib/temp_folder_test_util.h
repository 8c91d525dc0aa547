// A test fixture for the tests of this folder that work in a tree of real files.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

namespace vardel {

// A fresh temporary folder that is the current directory while the test runs. Its path holds
// no excluded name, so discovery keeps the files made in it.
class TempFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    char* cwd = getcwd(nullptr, 0);
    ASSERT_NE(cwd, nullptr);
    saved_cwd_ = cwd;
    free(cwd);
    std::string pattern = std::filesystem::temp_directory_path() / "vardel-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    ASSERT_EQ(chdir(root_.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(saved_cwd_.c_str()), 0);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  std::string saved_cwd_;
  std::string root_;
};

}  // namespace vardel
