// The public JSON5 conformance cases: .json and .json5 files read, .js and .txt files are
// refused, except where this reader's number rules decide otherwise (listed below).
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "json5/json5.h"

namespace vardel::json5 {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Cases whose outcome differs from their extension's: the grammar reads them, and the number
// conversion then refuses them with the message given.
const std::map<std::string, std::string> REFUSED_BY_CONVERSION = {
    // A sign before a hexadecimal literal: an integer text, read as a signed decimal integer,
    // which the "x" ends.
    {"numbers/negative-hexadecimal.json5", "error parsing integer"},
    {"numbers/negative-zero-hexadecimal.json5", "error parsing integer"},
    {"numbers/positive-hexadecimal.json5", "error parsing integer"},
    {"numbers/positive-zero-hexadecimal.json5", "error parsing integer"},
    // Only "Infinity" and "-Infinity" become null; "+Infinity" goes to the decimal parse,
    // whose infinite result is refused.
    {"numbers/positive-infinity.json5", "error parsing number: too large"},
};

TEST(Json5Suite, CasesByExtension) {
  const fs::path root = fs::path(VARDEL_TESTDATA) / "json5-tests";
  ASSERT_TRUE(fs::is_directory(root)) << root;
  int cases = 0;
  int exceptions = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() || (extension != ".json" && extension != ".json5" &&
                                     extension != ".js" && extension != ".txt")) {
      continue;
    }
    const std::string name = entry.path().lexically_relative(root).generic_string();
    SCOPED_TRACE(name);
    ++cases;
    const std::string text = read_file(entry.path());
    const auto value = json5_to_value(text);
    const auto checked = json5_check(text);
    EXPECT_EQ(checked.has_value(), value.has_value());
    if (!checked && !value) {
      EXPECT_EQ(checked.error(), value.error());
    }
    if (const auto it = REFUSED_BY_CONVERSION.find(name); it != REFUSED_BY_CONVERSION.end()) {
      ++exceptions;
      ASSERT_FALSE(value);
      EXPECT_EQ(value.error().message, it->second);
      EXPECT_EQ(value.error().location, (SourceLocation{1, 1}));
      continue;
    }
    if (extension == ".json" || extension == ".json5") {
      EXPECT_TRUE(value) << value.error().display();
    } else {
      EXPECT_FALSE(value);
    }
  }
  EXPECT_EQ(cases, 113);
  EXPECT_EQ(exceptions, static_cast<int>(REFUSED_BY_CONVERSION.size()));
}

// A few cases whose exact outcome shows a rule of this reader.
TEST(Json5Suite, SelectedOutcomes) {
  const fs::path root = fs::path(VARDEL_TESTDATA) / "json5-tests";
  struct Case {
    const char* file;
    std::string message;
  };
  const Case cases[] = {
      {"misc/empty.txt",
       " --> 1:1\n  |\n1 | \n  | ^---\n  |\n  = expected array, boolean, null, number, object, "
       "or string"},
      {"numbers/noctal.js", " --> 1:2\n  |\n1 | 080\n  |  ^---\n  |\n  = expected EOI"},
      {"arrays/lone-trailing-comma-array.js",
       " --> 2:5\n  |\n2 |     ,\n  |     ^---\n  |\n  = expected array, boolean, null, number, "
       "object, or string"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string text = read_file(root / c.file);
    const auto value = json5_to_value(text);
    ASSERT_FALSE(value);
    EXPECT_EQ(value.error().message, c.message);
  }
  const auto hex =
      json5_to_value(read_file(root / "numbers/hexadecimal-with-integer-exponent.json5"));
  ASSERT_TRUE(hex);
  EXPECT_EQ(*hex, json::Value(std::uint64_t{0xc8e4}));
}

}  // namespace
}  // namespace vardel::json5
