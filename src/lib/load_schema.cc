#include "src/lib/load_schema.h"

#include <string>
#include <utility>

#include "json/json.h"
#include "platform/platform.h"

namespace vardel {

std::expected<schema::Validator, LintError> load_schema(const std::string& path) {
  auto text = platform::read_file(path);
  if (!text) {
    return std::unexpected(LintError{LintError::Io{"unable to read file: " + path}});
  }
  auto schema = json::parse(*text);
  if (!schema) {
    return std::unexpected(LintError{LintError::Json{std::move(schema.error())}});
  }
  auto validator =
      schema::Validator::new_(std::move(*schema), schema::ValidatorOptions::default_());
  if (!validator) {
    return std::unexpected(LintError{LintError::Schema{std::move(validator.error().message)}});
  }
  return std::move(*validator);
}

namespace {

// The document of the latest validate_file call. Tearing a large document down value by value
// takes a tenth of its validation's time, and the last one needs no teardown at all: the run
// ends right after it, and the process ends without destroying anything. So each document is
// kept here until the next call starts, which keeps at most one of them alive between calls.
json::Value& latest_document() {
  static json::Value document;
  return document;
}

}  // namespace

std::vector<LintError> validate_file(const std::string& path, const schema::Validator& validator) {
  json::Value& kept = latest_document();
  kept = json::Value();
  std::vector<LintError> errors;
  auto text = platform::read_file(path);
  if (!text) {
    errors.push_back(LintError{LintError::Io{"unable to read file: " + path}});
    return errors;
  }
  auto document = json::parse(*text);
  if (!document) {
    errors.push_back(LintError{LintError::Json{std::move(document.error())}});
    return errors;
  }
  // The text is not needed past the parse.
  text = std::string();
  errors = validation_errors_to_lint_errors(validator.validate(*document));
  kept = std::move(*document);
  return errors;
}

std::vector<LintError> validation_errors_to_lint_errors(
    std::vector<schema::ValidationError> errors) {
  std::vector<LintError> lint_errors;
  lint_errors.reserve(errors.size());
  for (schema::ValidationError& error : errors) {
    lint_errors.push_back(LintError{LintError::Schema{std::move(error.message)}});
  }
  return lint_errors;
}

}  // namespace vardel
