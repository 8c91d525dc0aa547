// What the fuzz targets share: the entry point's declaration and the check that stops the run
// when a property fails, so that libFuzzer keeps the input that broke it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <source_location>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace vardel::fuzz {

// Aborts with the failed property and where it was checked. Unlike assert, it stays on in
// optimised builds.
inline void check(bool holds, std::string_view property,
                  std::source_location where = std::source_location::current()) {
  if (holds) {
    return;
  }
  std::fprintf(stderr, "%s:%u: property failed: %.*s\n", where.file_name(),
               static_cast<unsigned>(where.line()), static_cast<int>(property.size()),
               property.data());
  std::abort();
}

// The input as text; fuzz inputs are arbitrary bytes.
inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Whether the text is well-formed UTF-8 (no surrogates, no overlong forms, at most U+10FFFF).
inline bool is_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      low = b == 0xE0 ? 0xA0 : 0x80;
      high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      low = b == 0xF0 ? 0x90 : 0x80;
      high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
      return false;
    }
    if (text.size() - i < length) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

}  // namespace vardel::fuzz
