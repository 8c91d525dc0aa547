// The directory listing with entry types, for a platform layer that does not read the types
// from its own listing yet: every entry's metadata is left to link_metadata, so the walk
// classifies each entry exactly as it did with bare names. A native version fills the metadata
// from the listing (the attributes and reparse tag of each found entry) and replaces this file.
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace vardel::platform {

std::expected<std::vector<DirectoryEntry>, OsError> list_directory_entries(std::string_view path) {
  auto names = list_directory(path);
  if (!names) {
    return std::unexpected(std::move(names.error()));
  }
  std::vector<DirectoryEntry> entries;
  entries.reserve(names->size());
  for (std::string& name : *names) {
    entries.push_back(DirectoryEntry{std::move(name), std::nullopt});
  }
  return entries;
}

}  // namespace vardel::platform
