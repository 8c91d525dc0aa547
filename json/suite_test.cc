// The public parsing suite: every y_ file is accepted, every n_ file refused, every i_ file
// answered, and both entry points agree on each.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "json/json.h"
#include "json/json_internal.h"

namespace vardel::json {
namespace {

std::string read_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::filesystem::path> suite_files() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(VARDEL_TESTDATA "/JSONTestSuite/test_parsing")) {
    if (entry.is_regular_file()) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(JsonTestSuite, EveryFileGetsTheRightAnswer) {
  std::vector<std::filesystem::path> files = suite_files();
  ASSERT_EQ(files.size(), 318u);
  for (const auto& path : files) {
    std::string name = path.filename().string();
    SCOPED_TRACE(name);
    std::string bytes = read_bytes(path);
    // Both run on every file, even those the program would refuse before parsing.
    auto built = parse(bytes);
    auto checked = validate(bytes);
    ASSERT_EQ(built.has_value(), checked.has_value());
    if (!built) {
      EXPECT_EQ(built.error().display(), checked.error().display());
    }
    // The program refuses a file that is not UTF-8 before it parses it.
    bool accepted = is_valid_utf8(bytes) && built.has_value();
    switch (name[0]) {
      case 'y':
        EXPECT_TRUE(accepted) << (built ? "not UTF-8" : built.error().display());
        break;
      case 'n':
        EXPECT_FALSE(accepted);
        break;
      case 'i':
        break;
      default:
        ADD_FAILURE() << "unexpected file name";
    }
  }
}

// Answers for the files whose outcome the suite leaves open, so a change shows.
TEST(JsonTestSuite, ImplementationDefinedAnswers) {
  struct Case {
    const char* name;
    const char* want;  // "ok", "not UTF-8", or the error text
  };
  constexpr Case CASES[] = {
      {"i_number_double_huge_neg_exp.json", "ok"},
      {"i_number_huge_exp.json", "number out of range at line 1 column 136"},
      {"i_number_real_underflow.json", "ok"},
      {"i_number_too_big_neg_int.json", "ok"},
      {"i_number_real_pos_overflow.json", "number out of range at line 1 column 14"},
      {"i_object_key_lone_2nd_surrogate.json",
       "lone leading surrogate in hex escape at line 1 column 8"},
      {"i_string_1st_surrogate_but_2nd_missing.json",
       "unexpected end of hex escape at line 1 column 9"},
      {"i_string_UTF-8_invalid_sequence.json", "not UTF-8"},
      {"i_structure_500_nested_arrays.json", "recursion limit exceeded at line 1 column 128"},
      {"i_structure_UTF-8_BOM_empty_object.json", "expected value at line 1 column 1"},
  };
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.name);
    std::string bytes =
        read_bytes(std::filesystem::path(VARDEL_TESTDATA "/JSONTestSuite/test_parsing") / c.name);
    ASSERT_FALSE(bytes.empty());
    std::string got;
    if (!is_valid_utf8(bytes)) {
      got = "not UTF-8";
    } else {
      auto result = validate(bytes);
      got = result ? "ok" : result.error().display();
    }
    EXPECT_EQ(got, c.want);
  }
}

}  // namespace
}  // namespace vardel::json
