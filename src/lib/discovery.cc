#include "src/lib/discovery.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "platform/full_path.h"
#include "platform/platform.h"
#include "src/lib/normalize_path.h"
#include "src/lib/walker.h"

namespace vardel {
namespace {

std::vector<std::string> make_json_extensions() {
  return {"eslintrc", "jsfmtrc", "jslintrc", "jshintrc", "json"};
}

std::vector<std::string> make_json5_extensions() {
  std::vector<std::string> extensions = *JSON_EXTENSIONS;
  extensions.emplace_back("json5");
  return extensions;
}

std::vector<std::string> make_excluded_names() {
  return {".tesk", ".venv", "build", "node_modules", "package-lock.json", "target", "vendor"};
}

std::string join(const std::vector<std::string>& texts, std::string_view separator) {
  std::string joined;
  for (const std::string& text : texts) {
    if (!joined.empty()) {
      joined += separator;
    }
    joined += text;
  }
  return joined;
}

// The patterns are fixed texts: one that fails to compile is a fault of this program.
regex::Regex compile_fixed(const std::string& pattern) {
  auto compiled = regex::Regex::compile(pattern);
  if (!compiled) {
    std::abort();
  }
  return *compiled;
}

regex::Regex make_file_regex(const std::vector<std::string>& extensions) {
  return compile_fixed("(" + join(extension_patterns(extensions), "|") + ")$");
}

regex::Regex make_json_file_regex() {
  return make_file_regex(*JSON_EXTENSIONS);
}
regex::Regex make_json5_file_regex() {
  return make_file_regex(*JSON5_EXTENSIONS);
}
regex::Regex make_excluded_regex() {
  return compile_fixed(join(*EXCLUDED_NAMES, "|"));
}

std::unexpected<LintError> io_error(std::string message) {
  return std::unexpected(LintError{LintError::Io{std::move(message)}});
}

std::unexpected<LintError> encoding_error(std::string message) {
  return std::unexpected(LintError{LintError::PathEncoding{std::move(message)}});
}

// Whether a walked entry is a file to consider. The walker read the entry's own metadata; for
// anything but a link that is also what following links gives, so a link is skipped whatever it
// points to, a directory is skipped, and the rest goes on.
bool is_candidate(const WalkEntry& entry) {
  return !entry.metadata.is_link() && !entry.metadata.is_directory();
}

// Every file the arguments reach: a file argument as typed, then the files of each walk.
std::expected<std::vector<std::string>, LintError> find_candidates(
    const std::vector<std::string>& arguments) {
  std::vector<std::string> candidates;
  for (const std::string& argument : arguments) {
    auto metadata = platform::metadata(argument);
    if (!metadata) {
      return io_error("unable to query metadata for path: " + platform::display_path(argument));
    }
    if (metadata->is_link()) {
      return std::unexpected(LintError{
          LintError::PathType{"unknown type of path: " + platform::display_path(argument)}});
    }
    if (!metadata->is_directory()) {
      candidates.push_back(argument);
      continue;
    }
    Walker walker(argument);
    while (auto item = walker.next()) {
      if (!*item) {
        return std::unexpected(LintError{LintError::Walk{std::move(item->error())}});
      }
      if (is_candidate(**item)) {
        candidates.push_back(std::move((*item)->path));
      }
    }
  }
  return candidates;
}

}  // namespace

constinit const Lazy<std::vector<std::string>> JSON_EXTENSIONS{make_json_extensions};
constinit const Lazy<std::vector<std::string>> JSON5_EXTENSIONS{make_json5_extensions};
constinit const Lazy<std::vector<std::string>> EXCLUDED_NAMES{make_excluded_names};
constinit const Lazy<regex::Regex> JSON_FILE_REGEX{make_json_file_regex};
constinit const Lazy<regex::Regex> JSON5_FILE_REGEX{make_json5_file_regex};
constinit const Lazy<regex::Regex> EXCLUDED_REGEX{make_excluded_regex};

std::vector<std::string> extension_patterns(const std::vector<std::string>& extensions) {
  std::vector<std::string> patterns;
  patterns.reserve(extensions.size());
  for (const std::string& extension : extensions) {
    patterns.push_back(".*\\." + extension);
  }
  return patterns;
}

std::expected<std::vector<std::string>, LintError> collect_json_files(
    const std::vector<std::string>& arguments, bool json5) {
  auto candidates = find_candidates(arguments);
  if (!candidates) {
    return std::unexpected(std::move(candidates.error()));
  }
  // The patterns are compiled at their first use, so only when there is a candidate to test.
  std::vector<std::string> files;
  platform::FullPathResolver resolver;
  for (const std::string& candidate : *candidates) {
    if (candidate.empty()) {
      return io_error("unable to resolve path: ");
    }
    auto absolute = resolver.resolve(candidate);
    if (!absolute) {
      return io_error("unable to resolve path: " + platform::display_path(candidate));
    }
    if (!platform::is_valid_utf8(*absolute)) {
      return encoding_error("unable to process path: " + platform::display_path(*absolute));
    }
    if (EXCLUDED_REGEX->search(*absolute)) {
      continue;
    }
    if (!(json5 ? JSON5_FILE_REGEX : JSON_FILE_REGEX)->search(*absolute)) {
      continue;
    }
    std::string cleaned = normalize_path(candidate);
    if (!platform::is_valid_utf8(cleaned)) {
      return encoding_error("unable to process cleaned path: " + platform::display_path(cleaned));
    }
    files.push_back(std::move(cleaned));
  }
  return files;
}

std::expected<std::vector<std::string>, LintError> find_json_files(
    const std::vector<std::string>& arguments, bool json5) {
  auto files = collect_json_files(arguments, json5);
  if (files) {
    // std::string compares its bytes as unsigned values, a prefix first.
    std::ranges::sort(*files);
  }
  return files;
}

}  // namespace vardel
