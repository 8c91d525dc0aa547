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

std::vector<LintError> validate_text(const std::string& text, const schema::Validator& validator) {
  // The document lies in a region of its own, on large pages where the system has them, and is
  // freed in one step when the call ends.
  const auto document = json::parse_document(text, platform::large_block_memory());
  if (!document) {
    std::vector<LintError> errors;
    errors.push_back(LintError{LintError::Json{document.error()}});
    return errors;
  }
  return validation_errors_to_lint_errors(validator.validate(document->value()));
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
