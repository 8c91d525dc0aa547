#include "src/lib/load_schema.h"

#include <new>
#include <utility>

#include "json/json.h"
#include "platform/platform.h"

namespace vardel {
namespace {

LintError unreadable(const std::string& path) {
  return LintError{LintError::Io{"unable to read file: " + path}};
}

std::expected<schema::Validator, LintError> parse_schema(const std::string& text) {
  auto schema = json::parse(text);
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

// The document of the latest validate_file call. Tearing a large document down value by value
// takes a tenth of its validation's time, and the last one needs no teardown at all: the run
// ends right after it, and the process ends without destroying anything. So each document is
// kept here until the next call starts, which keeps at most one of them alive between calls.
json::Value& latest_document() {
  static json::Value document;
  return document;
}

std::vector<LintError> validate_text(const std::string& text, const schema::Validator& validator) {
  auto document = json::parse(text);
  if (!document) {
    std::vector<LintError> errors;
    errors.push_back(LintError{LintError::Json{std::move(document.error())}});
    return errors;
  }
  std::vector<LintError> errors = validation_errors_to_lint_errors(validator.validate(*document));
  latest_document() = std::move(*document);
  return errors;
}

}  // namespace

// In both, a document whose value does not fit in memory is refused like a file that does not
// fit, so the run ends with its message instead of abnormally.
std::expected<schema::Validator, LintError> load_schema(const std::string& path) {
  auto text = platform::read_file(path);
  if (!text) {
    return std::unexpected(unreadable(path));
  }
  try {
    return parse_schema(*text);
  } catch (const std::bad_alloc&) {
    return std::unexpected(unreadable(path));
  }
}

std::vector<LintError> validate_file(const std::string& path, const schema::Validator& validator) {
  latest_document() = json::Value();
  std::vector<LintError> errors;
  auto text = platform::read_file(path);
  if (!text) {
    errors.push_back(unreadable(path));
    return errors;
  }
  try {
    return validate_text(*text, validator);
  } catch (const std::bad_alloc&) {
    errors.push_back(unreadable(path));
    return errors;
  }
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
