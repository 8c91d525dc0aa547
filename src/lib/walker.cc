#include "src/lib/walker.h"

#include <utility>

#include "platform/full_path.h"

namespace vardel {
namespace {

std::unexpected<WalkError> walk_error(std::string path, platform::OsError error) {
  return std::unexpected(WalkError{std::move(path), std::move(error)});
}

}  // namespace

std::string join_path(std::string_view directory, std::string_view name) {
  std::string path;
  path.reserve(directory.size() + 1 + name.size());
  path += directory;
  const bool bare_drive = directory.size() == 2 && platform::has_drive(directory);
  if (!directory.empty() && !platform::is_separator(directory.back()) && !bare_drive) {
    path += '\\';
  }
  path += name;
  return path;
}

std::optional<std::expected<WalkEntry, WalkError>> Walker::next() {
  if (start_) {
    std::string start = std::move(*start_);
    start_.reset();
    auto own = platform::link_metadata(start);
    if (!own) {
      return walk_error(std::move(start), std::move(own.error()));
    }
    bool descend = own->is_directory();
    if (own->is_link()) {
      auto target = platform::metadata(start);
      if (!target) {
        return walk_error(std::move(start), std::move(target.error()));
      }
      descend = target->is_directory();
    }
    if (descend) {
      stack_.emplace_back(start);
    }
    return WalkEntry{std::move(start), *own};
  }

  while (!stack_.empty()) {
    Frame& top = stack_.back();
    if (!top.listed) {
      top.listed = true;
      auto entries = platform::list_directory_entries(top.path);
      if (!entries) {
        std::string path = std::move(top.path);
        stack_.pop_back();
        return walk_error(std::move(path), std::move(entries.error()));
      }
      top.entries = std::move(*entries);
    }
    if (top.next == top.entries.size()) {
      stack_.pop_back();
      continue;
    }
    const platform::DirectoryEntry& entry = top.entries[top.next++];
    std::string path = join_path(top.path, entry.name);
    // An entry whose metadata cannot be read is yielded as neither a directory nor a link, so
    // discovery takes it like a file and its check reports it; the walk does not end there.
    platform::Metadata own;
    if (entry.metadata) {
      own = *entry.metadata;
    } else if (auto queried = platform::link_metadata(path)) {
      own = *queried;
    }
    if (own.is_directory()) {
      // `top` is not used past this point: the push may move it.
      stack_.emplace_back(path);
    }
    return WalkEntry{std::move(path), own};
  }
  return std::nullopt;
}

}  // namespace vardel
