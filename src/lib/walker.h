// The recursive directory walk of discovery.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "src/lib/lint_error.h"

namespace vardel {

// `name` appended to the directory path `directory`, with a "\" between them unless the
// directory is empty, ends in "\" or "/", or is a bare drive prefix ("D:" and "x" give "D:x").
[[nodiscard]] std::string join_path(std::string_view directory, std::string_view name);

// A path the walk reached, with its own metadata (a link not followed).
struct WalkEntry {
  std::string path;
  platform::Metadata metadata;
};

// Walks a directory tree depth first: the start itself, then each directory's entries in the
// order the system lists them, the contents of a directory right after it. The start is
// followed when it is a link to a directory; links below it are yielded, never followed.
//
// Each listing is read whole and closed before the walk goes deeper, so no listing stays open,
// and the walk keeps its own stack, so the depth of a tree is bounded only by memory and by the
// longest path the system accepts.
class Walker {
 public:
  explicit Walker(std::string start) : start_(std::move(start)) {}

  // The next entry, or an error with the path concerned (a directory that cannot be listed);
  // nullopt once the walk is over. The walk goes on after an error. An entry whose own metadata
  // cannot be read comes with empty metadata: neither a directory nor a link.
  [[nodiscard]] std::optional<std::expected<WalkEntry, WalkError>> next();

 private:
  // A directory to list, or being listed.
  struct Frame {
    explicit Frame(std::string directory) : path(std::move(directory)) {}
    std::string path;
    bool listed = false;
    std::vector<platform::DirectoryEntry> entries;
    std::size_t next = 0;
  };

  std::optional<std::string> start_;
  std::vector<Frame> stack_;
};

}  // namespace vardel
