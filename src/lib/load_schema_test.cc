#include "src/lib/load_schema.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vardel {
namespace {

using ::testing::ElementsAreArray;

std::vector<std::string> texts(const std::vector<LintError>& errors) {
  std::vector<std::string> out;
  for (const LintError& error : errors) {
    out.push_back(error.display());
  }
  return out;
}

// Each test writes its files into a fresh directory of its own.
class LoadSchema : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = ::testing::TempDir() + "vardel_schema_XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir_ = templ + "/";
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string write(const std::string& name, std::string_view content) {
    const std::string path = dir_ + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  std::string dir_;
};

template <typename Payload>
bool holds(const LintError& error) {
  return std::holds_alternative<Payload>(error.payload);
}

TEST_F(LoadSchema, ReportsSchemasThatCannotBeUsed) {
  struct Case {
    std::string name;
    std::string_view content;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"empty.json", "", "EOF while parsing a value at line 1 column 0"},
      {"array.json", "[{}]", "Schema must be an object"},
      {"number.json", "5", "Schema must be an object"},
      {"string.json", "\"{}\"", "Schema must be an object"},
      {"true.json", "true", "Schema must be an object"},
      {"null.json", "null", "Schema must be an object"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto validator = load_schema(write(c.name, c.content));
    ASSERT_FALSE(validator);
    EXPECT_EQ(validator.error().display(), c.want);
  }
  auto broken = load_schema(write("broken.json", "{\"type\": }"));
  ASSERT_FALSE(broken);
  EXPECT_TRUE(holds<LintError::Json>(broken.error()));
  EXPECT_EQ(broken.error().display(), "expected value at line 1 column 10");
  auto not_object = load_schema(write("null2.json", "null"));
  ASSERT_FALSE(not_object);
  EXPECT_TRUE(holds<LintError::Schema>(not_object.error()));
}

TEST_F(LoadSchema, ReportsSchemaPathsThatCannotBeRead) {
  for (const std::string& path : {dir_ + "missing.json", dir_, dir_ + "."}) {
    SCOPED_TRACE(path);
    auto validator = load_schema(path);
    ASSERT_FALSE(validator);
    EXPECT_TRUE(holds<LintError::Io>(validator.error()));
    EXPECT_EQ(validator.error().display(), "unable to read file: " + path);
  }
  auto invalid_utf8 = load_schema(write("latin1.json", "{\"a\": \"\xE9\"}"));
  ASSERT_FALSE(invalid_utf8);
  EXPECT_EQ(invalid_utf8.error().display(), "unable to read file: " + dir_ + "latin1.json");
}

TEST_F(LoadSchema, ValidatesFilesAgainstTheSchema) {
  auto validator = load_schema(write("schema.json",
                                     R"({"required": ["name"],
          "properties": {"name": {"type": "string"}, "port": {"type": "integer", "minimum": 1}},
          "additionalProperties": false})"));
  ASSERT_TRUE(validator) << validator.error().display();

  EXPECT_TRUE(
      validate_file(write("good.json", R"({"name": "x", "port": 80})"), *validator).empty());
  EXPECT_THAT(
      texts(validate_file(write("three.json", R"({"port": 0.5, "extra": 1})"), *validator)),
      ElementsAreArray({"Missing required property 'name'", "Expected type integer, got number",
                        "Value 0.5 is less than minimum 1",
                        "Additional property 'extra' is not allowed"}));

  // A file that does not parse gives its one parse error, and its schema failures are not looked
  // for; a comment makes valid JSON5 but not JSON.
  const std::vector<LintError> broken =
      validate_file(write("broken.json", "// note\n{\"port\": 0}"), *validator);
  ASSERT_EQ(broken.size(), 1u);
  EXPECT_TRUE(holds<LintError::Json>(broken[0]));
  EXPECT_EQ(broken[0].display(), "expected value at line 1 column 1");

  const std::string missing = dir_ + "missing.json";
  EXPECT_THAT(texts(validate_file(missing, *validator)),
              ElementsAreArray({"unable to read file: " + missing}));
  EXPECT_THAT(texts(validate_file(dir_, *validator)),
              ElementsAreArray({"unable to read file: " + dir_}));
}

TEST_F(LoadSchema, EmptySchemaAcceptsEveryFile) {
  auto validator = load_schema(write("schema.json", "{}"));
  ASSERT_TRUE(validator);
  for (std::string_view content : {"null", "[1, 2]", R"({"a": {"b": []}})", "\"x\""}) {
    EXPECT_TRUE(validate_file(write("doc.json", content), *validator).empty()) << content;
  }
}

TEST(ValidationErrorsToLintErrors, KeepsEveryMessageInOrder) {
  std::vector<schema::ValidationError> records = {
      {"/a", "/type", "type", "first", std::nullopt, std::nullopt},
      {"", "/required", "required", "second", json::Value(1.0), json::Value("x")},
      {"/b", "/const", "const", "first", std::nullopt, std::nullopt},
  };
  const std::vector<LintError> errors = validation_errors_to_lint_errors(records);
  ASSERT_EQ(errors.size(), 3u);
  for (const LintError& error : errors) {
    EXPECT_TRUE(holds<LintError::Schema>(error));
  }
  EXPECT_THAT(texts(errors), ElementsAreArray({"first", "second", "first"}));
  EXPECT_TRUE(validation_errors_to_lint_errors({}).empty());
}

}  // namespace
}  // namespace vardel
