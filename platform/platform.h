// Every operating-system call the linter needs, with Windows semantics on every host.
//
// Paths are UTF-8 strings in Windows form ("\" or "/" separated). A path the system hands back
// need not be valid Unicode: on POSIX it keeps the name's bytes, on Windows unpaired UTF-16
// surrogates are kept in the generalised UTF-8 form. Such a path is not valid UTF-8, which is how
// callers tell.
#pragma once

#include <cstdint>
#include <expected>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardel::platform {

// An error the operating system reported.
struct OsError {
  int code = 0;
  std::string message;  // the system's text for the code, trailing white space removed
  // The message, then " (os error ", the code, ")".
  [[nodiscard]] std::string display() const;
};

inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;
inline constexpr std::uint32_t REPARSE_TAG_NAME_SURROGATE = 0x20000000;
// The tag of a symbolic link; it has the name-surrogate bit.
inline constexpr std::uint32_t IO_REPARSE_TAG_SYMLINK = 0xA000000C;

// File attributes and, for a reparse point, its tag.
struct Metadata {
  std::uint32_t attributes = 0;
  std::uint32_t reparse_tag = 0;
  // A reparse point whose tag has the name-surrogate bit (a symbolic link or junction).
  [[nodiscard]] bool is_link() const {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (reparse_tag & REPARSE_TAG_NAME_SURROGATE) != 0;
  }
  [[nodiscard]] bool is_directory() const {
    return !is_link() && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
};

// The program's arguments after its own path, as UTF-8 texts; nullopt when one of them is not
// valid Unicode. `argc` and `argv` are main's; a platform that has its own source ignores them.
[[nodiscard]] std::optional<std::vector<std::string>> arguments(int argc, char** argv);

// Metadata of the path with links followed.
[[nodiscard]] std::expected<Metadata, OsError> metadata(std::string_view path);
// Metadata of the path itself, a link not followed.
[[nodiscard]] std::expected<Metadata, OsError> link_metadata(std::string_view path);

// The absolute form of a path, resolved against the current directory without touching the
// file system (see full_path.h for the rules). Fails for the empty path.
[[nodiscard]] std::expected<std::string, OsError> full_path(std::string_view path);

// The names in a directory, in the order the system lists them, without "." and "..".
[[nodiscard]] std::expected<std::vector<std::string>, OsError> list_directory(
    std::string_view path);

// One entry of a directory listing: its name and, when the listing itself tells it, the entry's
// own metadata (a link not followed), exactly as `link_metadata` would give it.
struct DirectoryEntry {
  std::string name;
  std::optional<Metadata> metadata;  // nullopt: the caller asks `link_metadata`
};

// The entries of a directory, in the order the system lists them, without "." and "..". Saves
// a metadata query per entry where the listing carries each entry's type.
[[nodiscard]] std::expected<std::vector<DirectoryEntry>, OsError> list_directory_entries(
    std::string_view path);

// The whole content of a regular file, which must be valid UTF-8 (a byte-order mark stays).
// Fails for anything that is not a regular file, without blocking on it.
[[nodiscard]] std::expected<std::string, OsError> read_file(std::string_view path);

// Memory for large blocks that live briefly, such as the region of a parsed document. Where the
// system offers it, blocks of 2 MiB and more are backed by large pages, which makes first
// touching them several times cheaper than page by page; smaller blocks come from the heap.
[[nodiscard]] std::pmr::memory_resource* large_block_memory();

// Whether the bytes are well-formed UTF-8 (no surrogates, no overlong forms).
[[nodiscard]] bool is_valid_utf8(std::string_view text);

// The path as text for a message: every part that is not valid Unicode becomes U+FFFD.
[[nodiscard]] std::string display_path(std::string_view path);

// Standard output, buffered and written in large blocks; flushed at exit.
void write_stdout(std::string_view text);
// Standard error, each call written whole at once.
void write_stderr(std::string_view text);
// Flushes standard output, then ends the process with the status. A failed write to either
// stream (a closed pipe) ends the process at once with status 1.
[[noreturn]] void exit_process(int status);

}  // namespace vardel::platform
