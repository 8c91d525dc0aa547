// Full paths on POSIX: the Windows rules applied to getcwd(), whose "/" become "\".
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <unistd.h>

#include "platform/full_path.h"
#include "platform/platform.h"

namespace vardel::platform {
namespace {

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

OsError os_error(int code) {
  std::string message = std::strerror(code);
  while (!message.empty() && std::strchr(" \t\n\v\f\r", message.back()) != nullptr) {
    message.pop_back();
  }
  return {code, std::move(message)};
}

// The current directory in Windows form, such as "\tmp\work".
std::expected<std::string, OsError> current_directory() {
  // getcwd with a null buffer allocates one as long as needed, so a deep directory still works.
  std::unique_ptr<char, FreeDeleter> cwd(getcwd(nullptr, 0));
  if (!cwd) {
    return std::unexpected(os_error(errno));
  }
  std::string result(cwd.get());
  std::ranges::replace(result, '/', '\\');
  return result;
}

// Only a relative path needs the current directory here: the POSIX current directory is
// rooted, with no drive or share, so a rooted or drive path resolves the same without it.
bool is_relative(std::string_view path) {
  return !path.empty() && !is_separator(path[0]) && !has_drive(path);
}

}  // namespace

std::expected<std::string, OsError> FullPathResolver::resolve(std::string_view path) {
  if (path.empty()) {
    return std::unexpected(os_error(EINVAL));
  }
  if (is_relative(path) && !current_directory_) {
    auto cwd = current_directory();
    if (!cwd) {
      return std::unexpected(std::move(cwd.error()));
    }
    current_directory_ = std::move(*cwd);
  }
  std::optional<std::string> resolved =
      resolve_full_path(path, current_directory_ ? *current_directory_ : std::string_view("\\"));
  if (!resolved) {
    return std::unexpected(os_error(EINVAL));
  }
  return std::move(*resolved);
}

std::expected<std::string, OsError> full_path(std::string_view path) {
  return FullPathResolver().resolve(path);
}

}  // namespace vardel::platform
