// Check mode's test of one file: does it read as text and parse as JSON (or JSON5)?
#pragma once

#include <expected>
#include <string>

#include "src/lib/lint_error.h"

namespace vardel {

// Reads the file at `path` whole and parses it, as JSON5 when `json5` is set, else as JSON;
// the parsed value is dropped. Errors: LintError::Io "unable to read path: <path>" when the
// file cannot be read or is not UTF-8, or its document does not fit in memory; LintError::Json
// (or LintError::Json5) for a syntax error.
[[nodiscard]] std::expected<void, LintError> check_file(const std::string& path, bool json5);

}  // namespace vardel
