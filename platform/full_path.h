// The Windows path grammar as plain string code: prefixes, separators, and the resolution of a
// path to its absolute form against a given current directory. Nothing here touches the system.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace vardel::platform {

// "\" and "/" both separate the names of a path (except inside a verbatim path).
[[nodiscard]] constexpr bool is_separator(char c) {
  return c == '\\' || c == '/';
}

// Whether the path begins with an ASCII letter and ":", as in "D:" or "d:x".
[[nodiscard]] constexpr bool has_drive(std::string_view path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

enum class PrefixKind {
  verbatim_unc,   // "\\?\UNC\server\share"
  verbatim_disk,  // "\\?\D:", followed by a separator or the end
  verbatim,       // "\\?\name", the name running up to the next "\"
  device,         // "\\.\name", either separator
  unc,            // "\\server\share", either separator, neither part empty
  disk,           // "D:"
};

// The prefix at the start of a path: its kind and how many bytes it spans, as written.
struct PathPrefix {
  PrefixKind kind = PrefixKind::disk;
  std::size_t length = 0;

  // Verbatim paths separate their names by "\" only.
  [[nodiscard]] bool is_verbatim() const {
    return kind == PrefixKind::verbatim_unc || kind == PrefixKind::verbatim_disk ||
           kind == PrefixKind::verbatim;
  }
  // UNC and device prefixes always carry a root, also when no separator follows them.
  [[nodiscard]] bool has_implicit_root() const {
    return kind == PrefixKind::unc || kind == PrefixKind::device;
  }
};

// The prefix the path begins with, or nullopt when it has none ("\\server" alone has none).
[[nodiscard]] std::optional<PathPrefix> parse_prefix(std::string_view path);

// The absolute form of `path` as the Windows full-path call gives it, with `current_directory`
// (itself absolute, in Windows form) as the current directory: a verbatim path ("\\?\...") comes
// back unchanged; any other is anchored (UNC, device, drive, the current directory's drive or
// prefix for a rooted path, the current directory for a relative one), its "." and ".." are
// folded and it is written with "\" only. A drive-relative "D:x" resolves against the current
// directory when that is on drive D, else against "D:\". Names keep trailing dots and spaces:
// where "x.json." names a file of its own, that is the name it is selected by. Returns nullopt
// for the empty path.
[[nodiscard]] std::optional<std::string> resolve_full_path(std::string_view path,
                                                           std::string_view current_directory);

// Resolves many paths in a row to their full form, as `full_path` does, reading the current
// directory from the system at most once: at the first path that needs it. Meant for one
// pass over a list of paths during which nothing changes the current directory.
class FullPathResolver {
 public:
  // Fails for the empty path, and for a relative one when the current directory is unknown.
  [[nodiscard]] std::expected<std::string, OsError> resolve(std::string_view path);

 private:
  std::optional<std::string> current_directory_;
};

}  // namespace vardel::platform
