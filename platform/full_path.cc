#include "platform/full_path.h"

#include <initializer_list>
#include <vector>

namespace vardel::platform {
namespace {

// Where the next separator starts (any separator, or "\" only in a verbatim path); the size of
// the text when there is none.
std::size_t find_separator(std::string_view text, bool verbatim) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' || (!verbatim && text[i] == '/')) {
      return i;
    }
  }
  return text.size();
}

// The prefix of a path that begins with "\\?\"; only "\" separates its parts.
PathPrefix parse_verbatim_prefix(std::string_view path) {
  constexpr std::string_view MARKER = "\\\\?\\";
  constexpr std::string_view UNC_MARKER = "UNC\\";
  std::string_view rest = path.substr(MARKER.size());
  if (rest.starts_with(UNC_MARKER)) {
    std::string_view server_and_share = rest.substr(UNC_MARKER.size());
    std::size_t server = find_separator(server_and_share, true);
    std::size_t length = MARKER.size() + UNC_MARKER.size() + server;
    if (server < server_and_share.size()) {
      // An empty share adds nothing: the "\" after the server is then the root.
      std::size_t share = find_separator(server_and_share.substr(server + 1), true);
      if (share > 0) {
        length += 1 + share;
      }
    }
    return {PrefixKind::verbatim_unc, length};
  }
  if (has_drive(rest) && (rest.size() == 2 || is_separator(rest[2]))) {
    return {PrefixKind::verbatim_disk, MARKER.size() + 2};
  }
  return {PrefixKind::verbatim, MARKER.size() + find_separator(rest, true)};
}

// How a path that is not verbatim is anchored, for the full-path resolution.
enum class Anchor { device, unc, drive_absolute, drive_relative, rooted, relative };

struct Anchored {
  Anchor anchor = Anchor::relative;
  std::string root;       // written with "\"; ".." never removes any of it
  std::string_view body;  // the rest of the path, still to be folded
};

// Splits a path into its anchor and the rest. `path` must outlive the result (body views it).
Anchored split_anchor(std::string_view path) {
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    if (path.size() >= 4 && (path[2] == '.' || path[2] == '?') && is_separator(path[3])) {
      return {Anchor::device, std::string("\\\\") + path[2] + "\\", path.substr(4)};
    }
    // The server and the share belong to the root.
    std::string_view rest = path.substr(2);
    std::size_t server = find_separator(rest, false);
    std::string root = "\\\\";
    root += rest.substr(0, server);
    if (server == rest.size()) {
      return {Anchor::unc, root, {}};
    }
    rest = rest.substr(server + 1);
    std::size_t share = find_separator(rest, false);
    root += '\\';
    root += rest.substr(0, share);
    return {Anchor::unc, root, rest.substr(share)};
  }
  if (has_drive(path)) {
    std::string root = std::string(path.substr(0, 2)) + "\\";
    if (path.size() > 2 && is_separator(path[2])) {
      return {Anchor::drive_absolute, root, path.substr(3)};
    }
    return {Anchor::drive_relative, root, path.substr(2)};
  }
  if (!path.empty() && is_separator(path[0])) {
    return {Anchor::rooted, "\\", path.substr(1)};
  }
  return {Anchor::relative, "\\", path};
}

bool same_drive(std::string_view a, std::string_view b) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  return upper(a[0]) == upper(b[0]);
}

// The root followed by the names of the bodies, "." and ".." folded, joined with "\".
std::string fold(std::string root, std::initializer_list<std::string_view> bodies,
                 bool trailing_separator) {
  std::vector<std::string_view> names;
  for (std::string_view body : bodies) {
    while (!body.empty()) {
      std::size_t end = find_separator(body, false);
      std::string_view name = body.substr(0, end);
      body.remove_prefix(end == body.size() ? end : end + 1);
      if (name.empty() || name == ".") {
        continue;
      }
      if (name == "..") {
        if (!names.empty()) {
          names.pop_back();
        }
        continue;
      }
      names.push_back(name);
    }
  }
  std::string result = std::move(root);
  for (std::string_view name : names) {
    if (!result.empty() && result.back() != '\\') {
      result += '\\';
    }
    result += name;
  }
  if (trailing_separator && (result.empty() || result.back() != '\\')) {
    result += '\\';
  }
  return result;
}

}  // namespace

std::optional<PathPrefix> parse_prefix(std::string_view path) {
  if (path.starts_with("\\\\?\\")) {
    return parse_verbatim_prefix(path);
  }
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    std::string_view rest = path.substr(2);
    if (rest.size() >= 2 && rest[0] == '.' && is_separator(rest[1])) {
      return PathPrefix{PrefixKind::device, 4 + find_separator(rest.substr(2), false)};
    }
    std::size_t server = find_separator(rest, false);
    if (server == 0 || server == rest.size()) {
      return std::nullopt;
    }
    std::size_t share = find_separator(rest.substr(server + 1), false);
    if (share == 0) {
      return std::nullopt;
    }
    return PathPrefix{PrefixKind::unc, 2 + server + 1 + share};
  }
  if (has_drive(path)) {
    return PathPrefix{PrefixKind::disk, 2};
  }
  return std::nullopt;
}

std::optional<std::string> resolve_full_path(std::string_view path,
                                             std::string_view current_directory) {
  if (path.empty()) {
    return std::nullopt;
  }
  if (path.starts_with("\\\\?\\")) {
    return std::string(path);
  }
  const bool trailing = is_separator(path.back());
  Anchored p = split_anchor(path);
  switch (p.anchor) {
    case Anchor::device:
    case Anchor::unc:
    case Anchor::drive_absolute:
      return fold(std::move(p.root), {p.body}, trailing);
    case Anchor::drive_relative: {
      Anchored cwd = split_anchor(current_directory);
      if (cwd.anchor == Anchor::drive_absolute && same_drive(cwd.root, p.root)) {
        return fold(std::move(cwd.root), {cwd.body, p.body}, trailing);
      }
      return fold(std::move(p.root), {p.body}, trailing);
    }
    case Anchor::rooted: {
      // A rooted path keeps the current directory's drive or share, if it has one.
      Anchored cwd = split_anchor(current_directory);
      if (cwd.anchor == Anchor::rooted || cwd.anchor == Anchor::relative) {
        return fold(std::move(p.root), {p.body}, trailing);
      }
      return fold(std::move(cwd.root), {p.body}, trailing);
    }
    case Anchor::relative: {
      Anchored cwd = split_anchor(current_directory);
      return fold(std::move(cwd.root), {cwd.body, p.body}, trailing);
    }
  }
  return std::nullopt;
}

}  // namespace vardel::platform
