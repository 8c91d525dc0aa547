// Check mode's file test: the whole file read as UTF-8 text, then parsed and dropped.
#include "src/lib/check_file.h"

#include <new>

#include "json/json.h"
#include "json5/json5.h"
#include "platform/platform.h"

namespace vardel {
namespace {

std::expected<void, LintError> check_json(std::string_view text) {
  const auto parsed = json::validate(text);
  if (!parsed) {
    return std::unexpected(LintError{LintError::Json{parsed.error()}});
  }
  return {};
}

std::expected<void, LintError> check_json5(std::string_view text) {
  const auto checked = json5::json5_check(text);
  if (!checked) {
    return std::unexpected(LintError{LintError::Json5{checked.error()}});
  }
  return {};
}

}  // namespace

std::expected<void, LintError> check_file(const std::string& path, bool json5) {
  const auto text = platform::read_file(path);
  if (!text) {
    // The system's reason is not part of the message.
    return std::unexpected(LintError{LintError::Io{"unable to read path: " + path}});
  }
  try {
    return json5 ? check_json5(*text) : check_json(*text);
  } catch (const std::bad_alloc&) {
    // A document whose tree does not fit in memory is refused like a file that does not fit:
    // the run goes on with the next file instead of ending abnormally.
    return std::unexpected(LintError{LintError::Io{"unable to read path: " + path}});
  }
}

}  // namespace vardel
