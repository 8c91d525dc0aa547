// The platform layer on POSIX systems: Windows semantics over stat, readdir, read and write.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace vardel::platform {
namespace {

// The size and alignment of a large page, which large buffers and blocks ask to be backed by.
constexpr std::size_t LARGE_PAGE = std::size_t{2} << 20;
// Standard output is collected up to this size and then written in one call.
constexpr std::size_t STDOUT_BUFFER_SIZE = 64 * 1024;
// The smallest buffer when a file turns out larger than its size said (files of /proc say 0).
constexpr std::size_t MIN_GROWTH = 4096;

OsError os_error(int code) {
  return OsError{code, std::string(trim_trailing_space(std::strerror(code)))};
}

// Whether a "/"-separated path has a "." or ".." name.
bool has_dot_name(std::string_view path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] != '.' || (i > 0 && path[i - 1] != '/')) {
      continue;
    }
    std::size_t end = i + 1;
    if (end < path.size() && path[end] == '.') {
      ++end;
    }
    if (end == path.size() || path[end] == '/') {
      return true;
    }
  }
  return false;
}

// Windows folds the "." and ".." names of a path by its text before the file system sees it:
// "build\..\x.json" names x.json whether or not "build" exists, and "link\.." is the folder that
// holds the link, not the parent of where it points. The ".." names at the head of a relative
// path stay; above a root there is nothing. A trailing separator stays.
std::string fold_dot_names(std::string_view path) {
  const bool rooted = path.front() == '/';
  std::vector<std::string_view> names;
  std::size_t leading = 0;  // ".." names at the head of the result
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) {
      end = path.size();
    }
    const std::string_view name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == ".") {
      continue;
    }
    if (name != "..") {
      names.push_back(name);
    } else if (names.size() > leading) {
      names.pop_back();
    } else if (!rooted) {
      names.push_back(name);
      ++leading;
    }
  }
  std::string result = rooted ? "/" : "";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) {
      result += '/';
    }
    result += names[i];
  }
  if (result.empty()) {
    result.push_back('.');
  } else if (path.back() == '/' && result.back() != '/') {
    result += '/';
  }
  return result;
}

// The path as the system wants it: "/" for every "\", and, but in a verbatim path ("\\?\..."),
// its "." and ".." names folded. A NUL byte would silently cut the path short in a system call,
// so such a path is refused.
std::expected<std::string, OsError> system_path(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) {
    return std::unexpected(os_error(EINVAL));
  }
  std::string result(path);
  std::ranges::replace(result, '\\', '/');
  if (!path.starts_with("\\\\?\\") && has_dot_name(result)) {
    return fold_dot_names(result);
  }
  return result;
}

// A file descriptor that is closed when it goes.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  [[nodiscard]] int get() const { return fd_; }

 private:
  int fd_;
};

struct DirectoryCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

// Asks for large pages under the whole 2 MiB runs of a fresh, untouched buffer. A large file's
// buffer is a mapping of its own, and first touching it page by page costs more than reading
// the file into it.
void advise_large_pages(char* data, std::size_t size) {
#if defined(MADV_HUGEPAGE)
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
  const std::uintptr_t last = (start + size) & ~(LARGE_PAGE - 1);
  if (last > first) {
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
#else
  (void)data;
  (void)size;
#endif
}

// Reads to the end of the file into `text`, which starts with room for `capacity` bytes and
// grows when the file is longer than expected. A read that comes back short of what was asked
// with exactly `size` bytes in hand, the size the file's metadata gave, has met the end: that
// saves a second read per file only to be told so.
std::expected<void, OsError> read_to_end(int fd, std::size_t size_hint, std::size_t capacity,
                                         std::string& text) {
  std::size_t used = 0;
  int error = 0;
  bool at_end = false;
  for (;;) {
    // Not zero-filled first: every byte kept is one that read() wrote.
    text.resize_and_overwrite(capacity, [&](char* data, std::size_t size) {
      advise_large_pages(data + used, size - used);
      while (used < size) {
        const ssize_t got = ::read(fd, data + used, size - used);
        if (got < 0) {
          if (errno == EINTR) {
            continue;
          }
          error = errno;
          break;
        }
        if (got == 0) {
          at_end = true;
          break;
        }
        const bool short_read = static_cast<std::size_t>(got) < size - used;
        used += static_cast<std::size_t>(got);
        if (short_read && used == size_hint) {
          at_end = true;
          break;
        }
      }
      return used;
    });
    if (error != 0) {
      return std::unexpected(os_error(error));
    }
    if (at_end) {
      return {};
    }
    if (capacity > text.max_size() / 2) {
      return std::unexpected(os_error(EFBIG));
    }
    capacity = std::max(capacity * 2, MIN_GROWTH);
  }
}

// Writes all of the text or ends the process: a reader that went away (a closed pipe) makes
// any further output pointless, and the run must not report success.
void write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        // A stream inherited in non-blocking mode: wait until it takes more.
        pollfd wanted{fd, POLLOUT, 0};
        ::poll(&wanted, 1, -1);
        continue;
      }
      ::_exit(1);
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Both standard streams. SIGPIPE is ignored from the first use on, so that writing to a closed
// pipe fails with EPIPE and ends the run in order instead of killing it.
class Console {
 public:
  Console() { ::signal(SIGPIPE, SIG_IGN); }
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  // Covers a return from main without exit_process.
  ~Console() { flush(); }

  void out(std::string_view text) {
    if (buffer_.size() + text.size() > STDOUT_BUFFER_SIZE) {
      flush();
    }
    if (text.size() >= STDOUT_BUFFER_SIZE) {
      write_all(STDOUT_FILENO, text);
    } else {
      buffer_.append(text);
    }
  }

  void err(std::string_view text) {
    flush();  // keeps the order of the two streams as they were written
    write_all(STDERR_FILENO, text);
  }

  void flush() {
    if (!buffer_.empty()) {
      write_all(STDOUT_FILENO, buffer_);
      buffer_.clear();
    }
  }

 private:
  std::string buffer_;
};

Console& console() {
  static Console instance;
  return instance;
}

Metadata from_stat(const struct stat& info) {
  return Metadata{S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL, 0};
}

// A link's own metadata: a Windows link to a directory carries the directory attribute as well.
// `target` is the result of stat on the link.
Metadata link_from_stat(bool target_found, const struct stat& target) {
  std::uint32_t attributes = FILE_ATTRIBUTE_REPARSE_POINT;
  if (target_found && S_ISDIR(target.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  }
  return Metadata{attributes, IO_REPARSE_TAG_SYMLINK};
}

// An entry's own metadata as a Windows listing carries it, whatever the entry's path: the type
// that readdir gives, or, for a link or a file system that gives none, a query relative to the
// open directory. So a name holding a "\", which a path would turn into a separator, or a path
// longer than the system takes, still has its type. nullopt when even that query fails (in a
// directory that can be read but not searched).
std::optional<Metadata> listed_metadata(int dir_fd, const dirent& entry) {
  if (entry.d_type == DT_DIR) {
    return Metadata{FILE_ATTRIBUTE_DIRECTORY, 0};
  }
  if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) {
    return Metadata{FILE_ATTRIBUTE_NORMAL, 0};
  }
  struct stat info {};
  if (::fstatat(dir_fd, entry.d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::nullopt;
  }
  if (!S_ISLNK(info.st_mode)) {
    return from_stat(info);
  }
  struct stat target {};
  const bool found = ::fstatat(dir_fd, entry.d_name, &target, 0) == 0;
  return link_from_stat(found, target);
}

}  // namespace

std::optional<std::vector<std::string>> arguments(int argc, char** argv) {
  std::vector<std::string> result;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!is_valid_utf8(argument)) {
      return std::nullopt;
    }
    result.emplace_back(argument);
  }
  return result;
}

std::expected<Metadata, OsError> metadata(std::string_view path) {
  const auto native = system_path(path);
  if (!native) {
    return std::unexpected(native.error());
  }
  struct stat info {};
  if (::stat(native->c_str(), &info) != 0) {
    return std::unexpected(os_error(errno));
  }
  return from_stat(info);
}

std::expected<Metadata, OsError> link_metadata(std::string_view path) {
  const auto native = system_path(path);
  if (!native) {
    return std::unexpected(native.error());
  }
  struct stat info {};
  if (::lstat(native->c_str(), &info) != 0) {
    return std::unexpected(os_error(errno));
  }
  if (!S_ISLNK(info.st_mode)) {
    return from_stat(info);
  }
  struct stat target {};
  const bool found = ::stat(native->c_str(), &target) == 0;
  return link_from_stat(found, target);
}

std::expected<std::vector<DirectoryEntry>, OsError> list_directory_entries(std::string_view path) {
  const auto native = system_path(path);
  if (!native) {
    return std::unexpected(native.error());
  }
  const DirectoryHandle dir(::opendir(native->c_str()));
  if (!dir) {
    return std::unexpected(os_error(errno));
  }
  std::vector<DirectoryEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) {
        return std::unexpected(os_error(errno));
      }
      return entries;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") {
      continue;
    }
    const std::optional<Metadata> metadata = listed_metadata(::dirfd(dir.get()), *entry);
    entries.push_back(DirectoryEntry{std::string(name), metadata});
  }
}

namespace {

// Blocks from 2 MiB up are mapped on their own, aligned to 2 MiB and marked for large pages;
// smaller ones are not worth a mapping.
class LargeBlockMemory final : public std::pmr::memory_resource {
 private:
  static std::size_t mapped_size(std::size_t bytes) {
    return (bytes + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
  }

  void* do_allocate(std::size_t bytes, std::size_t align) override {
    if (bytes < LARGE_PAGE || align > LARGE_PAGE) {
      return std::pmr::new_delete_resource()->allocate(bytes, align);
    }
    const std::size_t size = mapped_size(bytes);
    if (size < bytes || size > SIZE_MAX - LARGE_PAGE) {
      throw std::bad_alloc();
    }
    // Map one large page more than needed and cut the mapping to an aligned run of `size`.
    // The mapping is accounted like any allocation, so where memory is short it fails here,
    // as a refusal, rather than when a page is first touched.
    void* mapped = ::mmap(nullptr, size + LARGE_PAGE, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
      throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + LARGE_PAGE - 1) & ~std::uintptr_t{LARGE_PAGE - 1};
    if (aligned != start) {
      ::munmap(mapped, aligned - start);
    }
    const std::uintptr_t tail = aligned + size;
    if (const std::uintptr_t end = start + size + LARGE_PAGE; end != tail) {
      ::munmap(reinterpret_cast<void*>(tail), end - tail);
    }
    void* block = reinterpret_cast<void*>(aligned);
#if defined(MADV_HUGEPAGE)
    // Only advice: where large pages are off or used up, the block gets ordinary ones.
    ::madvise(block, size, MADV_HUGEPAGE);
#endif
    return block;
  }

  void do_deallocate(void* p, std::size_t bytes, std::size_t align) override {
    if (bytes < LARGE_PAGE || align > LARGE_PAGE) {
      std::pmr::new_delete_resource()->deallocate(p, bytes, align);
      return;
    }
    ::munmap(p, mapped_size(bytes));
  }

  [[nodiscard]] bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }
};

}  // namespace

std::pmr::memory_resource* large_block_memory() {
  // Never destroyed: blocks held by static objects go back to it while the process ends.
  static auto* const memory = new LargeBlockMemory();
  return memory;
}

std::expected<std::string, OsError> read_file(std::string_view path) {
  const auto native = system_path(path);
  if (!native) {
    return std::unexpected(native.error());
  }
  // O_NONBLOCK: opening a named pipe must not wait for a writer.
  const FileDescriptor file(::open(native->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.get() < 0) {
    return std::unexpected(os_error(errno));
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) {
    return std::unexpected(os_error(errno));
  }
  // A pipe or a device could block or never end; only regular files are read.
  if (S_ISDIR(info.st_mode)) {
    return std::unexpected(os_error(EISDIR));
  }
  if (!S_ISREG(info.st_mode)) {
    return std::unexpected(os_error(EINVAL));
  }
  std::string text;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size >= text.max_size()) {
    return std::unexpected(os_error(EFBIG));
  }
  try {
    // One byte more than the size, so that the end shows without growing the buffer.
    const auto done = read_to_end(file.get(), static_cast<std::size_t>(size),
                                  static_cast<std::size_t>(size) + 1, text);
    if (!done) {
      return std::unexpected(done.error());
    }
  } catch (const std::bad_alloc&) {
    return std::unexpected(os_error(ENOMEM));
  }
  if (!is_valid_utf8(text)) {
    return std::unexpected(os_error(EILSEQ));
  }
  return text;
}

// Each ill-formed part, the longest that could begin a character, is one U+FFFD.
std::string display_path(std::string_view path) {
  return replace_ill_formed(path, false);
}

void write_stdout(std::string_view text) {
  console().out(text);
}

void write_stderr(std::string_view text) {
  console().err(text);
}

void exit_process(int status) {
  console().flush();
  ::_exit(status);
}

}  // namespace vardel::platform
