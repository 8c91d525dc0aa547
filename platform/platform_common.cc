// The parts of the platform layer that are plain text handling, the same on every system.
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace vardel::platform {
namespace {

constexpr std::string_view WHITE_SPACE = " \t\n\v\f\r";
constexpr std::string_view REPLACEMENT_CHARACTER = "\xEF\xBF\xBD";

}  // namespace

Utf8Step utf8_step(const unsigned char* p, std::size_t left) {
  const unsigned char lead = p[0];
  if (lead < 0x80) {
    return {1, Utf8Kind::valid, lead};
  }
  std::size_t trail = 0;
  unsigned char low = 0x80;  // the range of the second byte; later ones are always 80..BF
  unsigned char high = 0xBF;
  char32_t value = 0;
  if (lead < 0xC2) {
    return {1, Utf8Kind::invalid, 0};
  } else if (lead < 0xE0) {
    trail = 1;
    value = lead & 0x1F;
  } else if (lead < 0xF0) {
    trail = 2;
    value = lead & 0x0F;
    if (lead == 0xE0) {
      low = 0xA0;  // no overlong forms
    }
    // ED A0..BF is a surrogate: told apart below, after the value is known.
  } else if (lead < 0xF5) {
    trail = 3;
    value = lead & 0x07;
    if (lead == 0xF0) {
      low = 0x90;  // no overlong forms
    } else if (lead == 0xF4) {
      high = 0x8F;  // nothing above U+10FFFF
    }
  } else {
    return {1, Utf8Kind::invalid, 0};
  }
  for (std::size_t k = 1; k <= trail; ++k) {
    if (k >= left) {
      return {k, Utf8Kind::invalid, 0};
    }
    const unsigned char c = p[k];
    const bool in_range = k == 1 ? (c >= low && c <= high) : (c >= 0x80 && c <= 0xBF);
    if (!in_range) {
      return {k, Utf8Kind::invalid, 0};
    }
    value = (value << 6) | (c & 0x3F);
  }
  const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  return {trail + 1, surrogate ? Utf8Kind::surrogate : Utf8Kind::valid, value};
}

bool is_valid_utf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  constexpr std::uint64_t HIGH_BITS = 0x8080808080808080;
  std::size_t i = 0;
  while (i < size) {
    // JSON is mostly ASCII: skip it sixteen bytes at a time.
    while (i + 16 <= size) {
      std::uint64_t first = 0;
      std::uint64_t second = 0;
      std::memcpy(&first, bytes + i, 8);
      std::memcpy(&second, bytes + i + 8, 8);
      if (((first | second) & HIGH_BITS) != 0) {
        break;
      }
      i += 16;
    }
    if (i >= size) {
      break;
    }
    const Utf8Step step = utf8_step(bytes + i, size - i);
    if (step.kind != Utf8Kind::valid) {
      return false;
    }
    i += step.length;
  }
  return true;
}

std::string replace_ill_formed(std::string_view text, bool surrogate_is_one_part) {
  if (is_valid_utf8(text)) {
    return std::string(text);
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::string result;
  result.reserve(text.size() + 8);
  std::size_t i = 0;
  while (i < text.size()) {
    const Utf8Step step = utf8_step(bytes + i, text.size() - i);
    if (step.kind == Utf8Kind::valid) {
      result.append(text.substr(i, step.length));
      i += step.length;
      continue;
    }
    result.append(REPLACEMENT_CHARACTER);
    // Strict UTF-8 refuses the ED lead of a surrogate at its second byte, so only the lead is
    // the ill-formed part; the two bytes after it are ill-formed each on their own.
    const bool split = step.kind == Utf8Kind::surrogate && !surrogate_is_one_part;
    i += split ? 1 : step.length;
  }
  return result;
}

std::string_view trim_trailing_space(std::string_view text) {
  const std::size_t end = text.find_last_not_of(WHITE_SPACE);
  return text.substr(0, end == std::string_view::npos ? 0 : end + 1);
}

std::expected<std::vector<std::string>, OsError> list_directory(std::string_view path) {
  auto entries = list_directory_entries(path);
  if (!entries) {
    return std::unexpected(std::move(entries.error()));
  }
  std::vector<std::string> names;
  names.reserve(entries->size());
  for (DirectoryEntry& entry : *entries) {
    names.push_back(std::move(entry.name));
  }
  return names;
}

std::string OsError::display() const {
  return std::string(trim_trailing_space(message)) + " (os error " + std::to_string(code) + ")";
}

}  // namespace vardel::platform
