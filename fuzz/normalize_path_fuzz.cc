// Path cleaning and full-path resolution on arbitrary bytes. The input up to the first NUL byte
// is the path; whatever follows, resolved against a fixed directory, is the current directory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "platform/full_path.h"
#include "src/lib/normalize_path.h"

namespace {

using vardel::fuzz::check;
namespace platform = vardel::platform;

// Whether cleaning the cleaned path again must change nothing. Two kinds of result are
// cleaned further by design: a rooted path without a prefix may still hold "." or ".."
// ("/.." gives "\.", which gives "\"), since a ".." after such a root lowers the count
// without removing the root; and a result whose first name reads as a prefix once the names
// before it are folded away ("a/../c:" gives "c:", which is a drive).
bool cleaning_is_stable(std::string_view path, std::string_view cleaned) {
  const std::optional<platform::PathPrefix> before = platform::parse_prefix(path);
  const std::optional<platform::PathPrefix> after = platform::parse_prefix(cleaned);
  if (before.has_value() != after.has_value() ||
      (before && (before->kind != after->kind || before->length != after->length))) {
    return false;
  }
  if (!after && !cleaned.empty() && platform::is_separator(cleaned[0])) {
    const std::string_view names = cleaned.substr(1);
    return names != "." && names != ".." && !names.starts_with("..\\") &&
           names.find("\\..\\") == std::string_view::npos && !names.ends_with("\\..");
  }
  return true;
}

// A resolved path that is not verbatim is written with "\" only.
bool is_verbatim(std::string_view path) {
  return path.starts_with("\\\\?\\");
}

// The path without the separators it ends with.
std::string_view without_trailing_separators(std::string_view path) {
  while (!path.empty() && path.back() == '\\') {
    path.remove_suffix(1);
  }
  return path;
}

// Whether resolving the cleaned path must give the path's own full path, up to a trailing
// separator (cleaning drops it). That holds for relative and drive paths whose prefix cleaning
// keeps; UNC, device and verbatim paths are anchored differently by the two (the full path may
// fold a device name, "\\.\COM1\.." giving "\\.\"; a verbatim path is not resolved at all).
bool cleaning_keeps_meaning(std::string_view path, std::string_view cleaned) {
  const std::optional<platform::PathPrefix> prefix = platform::parse_prefix(path);
  const bool plain = prefix ? prefix->kind == platform::PrefixKind::disk
                            : path.empty() || !platform::is_separator(path[0]);
  return plain && cleaning_is_stable(path, cleaned);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = vardel::fuzz::as_text(data, size);
  const std::size_t nul = input.find('\0');
  const std::string_view path = input.substr(0, nul);

  const std::string cleaned = vardel::normalize_path(path);
  check(!cleaned.empty(), "a cleaned path is never empty");
  const std::optional<platform::PathPrefix> prefix = platform::parse_prefix(cleaned);
  const std::string_view names = std::string_view(cleaned).substr(prefix ? prefix->length : 0);
  check(names.find('/') == std::string_view::npos, "cleaning writes \"\\\" after the prefix");
  check(names.find("\\\\") == std::string_view::npos, "cleaning drops empty names");
  if (cleaning_is_stable(path, cleaned)) {
    check(vardel::normalize_path(cleaned) == cleaned, "cleaning is idempotent");
  }

  if (!path.empty() && cleaning_keeps_meaning(path, cleaned)) {
    const std::string_view fixed = "C:\\work\\dir";
    const std::optional<std::string> full = platform::resolve_full_path(path, fixed);
    const std::optional<std::string> full_cleaned = platform::resolve_full_path(cleaned, fixed);
    check(full && full_cleaned &&
              without_trailing_separators(*full) == without_trailing_separators(*full_cleaned),
          "the cleaned path resolves to the same full path");
  }

  std::string current = "C:\\work\\dir";
  if (nul != std::string_view::npos) {
    std::optional<std::string> resolved = platform::resolve_full_path(input.substr(nul + 1), current);
    if (resolved && !is_verbatim(*resolved)) {
      current = *resolved;
    }
  }
  for (const std::string_view directory : {std::string_view(current), std::string_view("\\tmp\\w")}) {
    std::optional<std::string> full = platform::resolve_full_path(path, directory);
    check(full.has_value() == !path.empty(), "only the empty path is refused");
    if (!full || is_verbatim(*full)) {
      continue;
    }
    check(full->find('/') == std::string::npos, "a full path is written with \"\\\" only");
    check(platform::resolve_full_path(*full, directory) == full, "resolution is idempotent");
  }
  return 0;
}
