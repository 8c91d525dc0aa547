// The platform layer on Windows: the Win32 calls behind platform.h.
//
// UTF-16 lives only in this file. Texts from the system are turned into UTF-8 here; a name that
// is not valid UTF-16 keeps its unpaired surrogates, each as the three bytes UTF-8 would give
// the code point (the generalised form), so that it converts back to the same units and is
// still told apart as not valid Unicode.
// platform.h first: its constants share their names with <windows.h>'s macros.
#include "platform/platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX  // the C++ runtime's headers may have set it already
#define NOMINMAX
#endif
// shellapi.h needs what windows.h declares, so the two keep this order.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "platform/full_path.h"
#include "platform/platform_internal.h"

namespace vardel::platform {
namespace {

// Standard output is collected up to this size and then written in one call.
constexpr std::size_t STDOUT_BUFFER_SIZE = 64 * 1024;
// ReadFile and WriteFile take a 32-bit count; larger transfers go in pieces of this size.
constexpr DWORD MAX_TRANSFER = 1U << 30;
constexpr std::string_view VERBATIM_MARKER = "\\\\?\\";

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 from the system as UTF-8; an unpaired surrogate is kept in the generalised form.
std::string from_wide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char16_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      const char32_t next = static_cast<char16_t>(text[i + 1]);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
        ++i;
      }
    }
    append_utf8(out, c);
  }
  return out;
}

// Whether the UTF-16 text holds an unpaired surrogate.
bool has_unpaired_surrogate(std::wstring_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = static_cast<char16_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < text.size() && static_cast<char16_t>(text[i + 1]) >= 0xDC00 &&
          static_cast<char16_t>(text[i + 1]) <= 0xDFFF) {
        ++i;
        continue;
      }
      return true;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

// UTF-8 (in the generalised form) as UTF-16; nullopt for bytes that no UTF-16 text gives.
std::optional<std::wstring> to_wide(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::wstring out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const Utf8Step step = utf8_step(bytes + i, text.size() - i);
    if (step.kind == Utf8Kind::invalid) {
      return std::nullopt;
    }
    if (step.code_point >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((step.code_point - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((step.code_point - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(step.code_point);
    }
    i += step.length;
  }
  return out;
}

// --- Errors.

struct LocalFreer {
  void operator()(void* memory) const { ::LocalFree(memory); }
};

OsError os_error(DWORD code) {
  wchar_t* buffer = nullptr;
  // With ALLOCATE_BUFFER the "buffer" argument receives a pointer to the allocated text.
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreer> owned(buffer);
  std::string message =
      length == 0 ? std::string("Unknown error") : from_wide(std::wstring_view(buffer, length));
  message.resize(trim_trailing_space(message).size());
  return OsError{static_cast<int>(code), std::move(message)};
}

OsError last_error() {
  return os_error(::GetLastError());
}

// The path as the system takes it. A NUL would cut the path short, and bytes that are not
// (generalised) UTF-8 name no file, so both are refused.
std::expected<std::wstring, OsError> system_path(std::string_view path) {
  if (path.find('\0') != std::string_view::npos) {
    return std::unexpected(os_error(ERROR_INVALID_NAME));
  }
  std::optional<std::wstring> wide = to_wide(path);
  if (!wide) {
    return std::unexpected(os_error(ERROR_INVALID_NAME));
  }
  return std::move(*wide);
}

// --- Handles.

struct HandleCloser {
  void operator()(void* handle) const { ::CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

struct FindCloser {
  void operator()(void* handle) const { ::FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

// Opens a file or directory for its attributes only. `flags` adds FILE_FLAG_OPEN_REPARSE_POINT
// to stay at a link instead of following it.
std::expected<FileHandle, OsError> open_for_attributes(const std::wstring& path, DWORD flags) {
  HANDLE handle =
      ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return std::unexpected(last_error());
  }
  return FileHandle(handle);
}

std::expected<Metadata, OsError> handle_metadata(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info)) {
    return std::unexpected(last_error());
  }
  const bool reparse = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return Metadata{info.FileAttributes, reparse ? info.ReparseTag : 0};
}

// Attributes of the path itself, in one call; the reparse tag needs a handle.
std::expected<DWORD, OsError> own_attributes(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    return std::unexpected(last_error());
  }
  return data.dwFileAttributes;
}

std::expected<Metadata, OsError> query_metadata(std::string_view path, bool follow_links) {
  const auto native = system_path(path);
  if (!native) {
    return std::unexpected(native.error());
  }
  const auto attributes = own_attributes(*native);
  if (!attributes) {
    return std::unexpected(attributes.error());
  }
  // Most paths are no reparse point: then the path and its target are the same thing.
  if ((*attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return Metadata{*attributes, 0};
  }
  const auto handle = open_for_attributes(*native, follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  if (!handle) {
    return std::unexpected(handle.error());
  }
  return handle_metadata(handle->get());
}

// --- Console.

// Writes all of the bytes to a file or pipe, or ends the process: a reader that went away
// makes any further output pointless, and the run must not report success.
void write_all_bytes(HANDLE handle, std::string_view text) {
  while (!text.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), MAX_TRANSFER));
    DWORD written = 0;
    if (!::WriteFile(handle, text.data(), chunk, &written, nullptr)) {
      ::ExitProcess(1);
    }
    text.remove_prefix(written);
  }
}

// A console takes UTF-16, whatever its code page; each call's text holds whole characters.
void write_all_console(HANDLE handle, std::string_view text) {
  constexpr std::size_t MAX_CONVERSION = 1U << 28;
  if (text.size() > MAX_CONVERSION) {
    // Cut at the start of a character, so that each piece converts on its own.
    std::size_t cut = MAX_CONVERSION;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    write_all_console(handle, text.substr(0, cut));
    write_all_console(handle, text.substr(cut));
    return;
  }
  std::wstring wide;
  if (!text.empty()) {
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    wide.resize(static_cast<std::size_t>(length));
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  }
  std::wstring_view rest = wide;
  while (!rest.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 8192));
    DWORD written = 0;
    if (!::WriteConsoleW(handle, rest.data(), chunk, &written, nullptr) || written == 0) {
      ::ExitProcess(1);
    }
    rest.remove_prefix(written);
  }
}

// One standard stream: a console, a file or pipe, or nothing at all (a process started
// without it), whose output is then dropped.
class Stream {
 public:
  explicit Stream(DWORD which) : handle_(::GetStdHandle(which)) {
    DWORD mode = 0;
    console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE &&
               ::GetConsoleMode(handle_, &mode) != 0;
  }

  void write(std::string_view text) const {
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
      return;
    }
    if (console_) {
      write_all_console(handle_, text);
    } else {
      write_all_bytes(handle_, text);
    }
  }

 private:
  HANDLE handle_;
  bool console_ = false;
};

class Console {
 public:
  Console() : out_(STD_OUTPUT_HANDLE), err_(STD_ERROR_HANDLE) {}
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  // Covers a return from main without exit_process.
  ~Console() { flush(); }

  void out(std::string_view text) {
    if (buffer_.size() + text.size() > STDOUT_BUFFER_SIZE) {
      flush();
    }
    if (text.size() >= STDOUT_BUFFER_SIZE) {
      out_.write(text);
    } else {
      buffer_.append(text);
    }
  }

  void err(std::string_view text) {
    flush();  // keeps the order of the two streams as they were written
    err_.write(text);
  }

  void flush() {
    if (!buffer_.empty()) {
      out_.write(buffer_);
      buffer_.clear();
    }
  }

 private:
  Stream out_;
  Stream err_;
  std::string buffer_;
};

Console& console() {
  static Console instance;
  return instance;
}

// Reads to the end of the file into `text`, which starts with room for `capacity` bytes and
// grows when the file is longer than its size said.
std::expected<void, OsError> read_to_end(HANDLE handle, std::size_t capacity, std::string& text) {
  std::size_t used = 0;
  DWORD error = 0;
  bool at_end = false;
  for (;;) {
    // Not zero-filled first: every byte kept is one that ReadFile wrote.
    text.resize_and_overwrite(capacity, [&](char* data, std::size_t size) {
      while (used < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - used, MAX_TRANSFER));
        DWORD got = 0;
        if (!::ReadFile(handle, data + used, chunk, &got, nullptr)) {
          error = ::GetLastError();
          break;
        }
        if (got == 0) {
          at_end = true;
          break;
        }
        used += got;
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
      return std::unexpected(os_error(ERROR_FILE_TOO_LARGE));
    }
    capacity = std::max<std::size_t>(capacity * 2, 4096);
  }
}

}  // namespace

std::optional<std::vector<std::string>> arguments(int /*argc*/, char** /*argv*/) {
  // The C runtime's argv went through the ANSI code page; the UTF-16 command line did not.
  int count = 0;
  wchar_t** list = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (list == nullptr) {
    return std::nullopt;
  }
  const std::unique_ptr<wchar_t*, LocalFreer> owned(list);
  std::vector<std::string> result;
  for (int i = 1; i < count; ++i) {
    const std::wstring_view argument = list[i];
    if (has_unpaired_surrogate(argument)) {
      return std::nullopt;
    }
    result.push_back(from_wide(argument));
  }
  return result;
}

std::expected<Metadata, OsError> metadata(std::string_view path) {
  return query_metadata(path, true);
}

std::expected<Metadata, OsError> link_metadata(std::string_view path) {
  return query_metadata(path, false);
}

std::expected<std::string, OsError> full_path(std::string_view path) {
  if (path.empty()) {
    return std::unexpected(os_error(ERROR_INVALID_NAME));
  }
  // A verbatim path is the system's own form already; it is taken as it is.
  if (path.starts_with(VERBATIM_MARKER)) {
    return std::string(path);
  }
  const auto native = system_path(path);
  if (!native) {
    return std::unexpected(native.error());
  }
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFullPathNameW(native->c_str(), static_cast<DWORD>(buffer.size()),
                                            buffer.data(), nullptr);
    if (length == 0) {
      return std::unexpected(last_error());
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      return from_wide(buffer);
    }
    // Too small: `length` is the size needed, the terminating NUL included.
    buffer.resize(length);
  }
}

// The system keeps the current directory in the process and reads it without a call into the
// kernel, so there is nothing to save by keeping a copy here.
std::expected<std::string, OsError> FullPathResolver::resolve(std::string_view path) {
  return full_path(path);
}

namespace {

// Lists a directory through the find calls, handing each entry but "." and ".." to `take`.
template <typename Take>
std::expected<void, OsError> for_each_listed(std::string_view path, Take take) {
  std::string pattern(path);
  // Joined like the walker joins names, so that "D:" lists the current directory of drive D.
  const bool bare_drive = pattern.size() == 2 && has_drive(pattern);
  if (!pattern.empty() && !is_separator(pattern.back()) && !bare_drive) {
    pattern += '\\';
  }
  pattern += '*';
  const auto native = system_path(pattern);
  if (!native) {
    return std::unexpected(native.error());
  }
  WIN32_FIND_DATAW entry{};
  HANDLE raw = ::FindFirstFileExW(native->c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                  nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (raw == INVALID_HANDLE_VALUE) {
    // The root of an empty drive has no "." or "..", so nothing matches at all.
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
      return {};
    }
    return std::unexpected(last_error());
  }
  const FindHandle find(raw);
  for (;;) {
    const std::wstring_view name = entry.cFileName;
    if (name != L"." && name != L"..") {
      take(entry);
    }
    if (!::FindNextFileW(find.get(), &entry)) {
      if (::GetLastError() == ERROR_NO_MORE_FILES) {
        return {};
      }
      return std::unexpected(last_error());
    }
  }
}

}  // namespace

// The listing carries each entry's own attributes and, for a reparse point, its tag: the same
// answer as a metadata query of the entry with links not followed, without that query.
std::expected<std::vector<DirectoryEntry>, OsError> list_directory_entries(std::string_view path) {
  std::vector<DirectoryEntry> entries;
  const auto listed = for_each_listed(path, [&](const WIN32_FIND_DATAW& entry) {
    Metadata metadata;
    metadata.attributes = entry.dwFileAttributes;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      metadata.reparse_tag = entry.dwReserved0;
    }
    entries.push_back(DirectoryEntry{from_wide(entry.cFileName), metadata});
  });
  if (!listed) {
    return std::unexpected(listed.error());
  }
  return entries;
}

std::pmr::memory_resource* large_block_memory() {
  // Large pages on Windows need a privilege most accounts lack; the heap serves.
  return std::pmr::new_delete_resource();
}

std::expected<std::string, OsError> read_file(std::string_view path) {
  const auto native = system_path(path);
  if (!native) {
    return std::unexpected(native.error());
  }
  HANDLE raw = ::CreateFileW(native->c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (raw == INVALID_HANDLE_VALUE) {
    return std::unexpected(last_error());
  }
  const FileHandle file(raw);
  // A pipe, the console or a device could block or never end; only disk files are read.
  if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
    return std::unexpected(os_error(ERROR_INVALID_FUNCTION));
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size)) {
    return std::unexpected(last_error());
  }
  std::string text;
  if (size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) >= text.max_size()) {
    return std::unexpected(os_error(ERROR_FILE_TOO_LARGE));
  }
  try {
    // One byte more than the size, so that the end shows without growing the buffer.
    const auto done = read_to_end(file.get(), static_cast<std::size_t>(size.QuadPart) + 1, text);
    if (!done) {
      return std::unexpected(done.error());
    }
  } catch (const std::bad_alloc&) {
    return std::unexpected(os_error(ERROR_NOT_ENOUGH_MEMORY));
  }
  if (!is_valid_utf8(text)) {
    return std::unexpected(os_error(ERROR_NO_UNICODE_TRANSLATION));
  }
  return text;
}

// An unpaired surrogate, kept in three bytes by the generalised form, is one U+FFFD.
std::string display_path(std::string_view path) {
  return replace_ill_formed(path, true);
}

void write_stdout(std::string_view text) {
  console().out(text);
}

void write_stderr(std::string_view text) {
  console().err(text);
}

void exit_process(int status) {
  console().flush();
  ::ExitProcess(static_cast<UINT>(status));
}

}  // namespace vardel::platform
