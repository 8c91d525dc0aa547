// Validate mode: loading the schema file once and validating each file against it.
#pragma once

#include <expected>
#include <string>
#include <vector>

#include "schema/validator.h"
#include "src/lib/lint_error.h"

namespace vardel {

// Reads and parses the schema file and makes the validator with the default options.
// Errors: Io "unable to read file: <path>" (also when its value does not fit in memory), Json
// for a parse error, Schema for a schema that is not an object.
[[nodiscard]] std::expected<schema::Validator, LintError> load_schema(const std::string& path);

// Every failure of one file, in check order; empty when it is valid. A file that cannot be read
// or parsed, or whose value does not fit in memory, gives that one error and is not validated.
[[nodiscard]] std::vector<LintError> validate_file(const std::string& path,
                                                   const schema::Validator& validator);

// One LintError::Schema per record, holding its message, in the same order.
[[nodiscard]] std::vector<LintError> validation_errors_to_lint_errors(
    std::vector<schema::ValidationError> errors);

}  // namespace vardel
