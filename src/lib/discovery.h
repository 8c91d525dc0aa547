// Discovery: from the command line's paths to the sorted list of JSON files to work on.
#pragma once

#include <expected>
#include <string>
#include <vector>

#include "regex/regex.h"
#include "src/lib/lazy.h"
#include "src/lib/lint_error.h"

namespace vardel {

// "eslintrc", "jsfmtrc", "jslintrc", "jshintrc", "json".
extern const Lazy<std::vector<std::string>> JSON_EXTENSIONS;
// JSON_EXTENSIONS, then "json5".
extern const Lazy<std::vector<std::string>> JSON5_EXTENSIONS;
// ".tesk", ".venv", "build", "node_modules", "package-lock.json", "target", "vendor".
extern const Lazy<std::vector<std::string>> EXCLUDED_NAMES;
// Matches a path that ends in "." and one of JSON_EXTENSIONS.
extern const Lazy<regex::Regex> JSON_FILE_REGEX;
// Matches a path that ends in "." and one of JSON5_EXTENSIONS.
extern const Lazy<regex::Regex> JSON5_FILE_REGEX;
// EXCLUDED_NAMES joined by "|" as they are, so "." matches any character and a name matches
// anywhere in a path, also inside a longer name.
extern const Lazy<regex::Regex> EXCLUDED_REGEX;

// For each extension, in order, the pattern ".*\." followed by it.
[[nodiscard]] std::vector<std::string> extension_patterns(
    const std::vector<std::string>& extensions);

// The JSON files the arguments name, in the order found: a file argument as typed, a directory
// walked; each selected by its absolute path (no excluded name, a JSON extension, "json5" too
// when `json5` is set) and given as the cleaned form of the path it was found by. Every
// argument is taken to files before any is tested by name. Returns the first error met.
[[nodiscard]] std::expected<std::vector<std::string>, LintError> collect_json_files(
    const std::vector<std::string>& arguments, bool json5);

// collect_json_files, sorted by the bytes of each path; a file found twice is listed twice.
[[nodiscard]] std::expected<std::vector<std::string>, LintError> find_json_files(
    const std::vector<std::string>& arguments, bool json5);

}  // namespace vardel
