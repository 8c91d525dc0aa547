// Helpers of the JSON library shared by its sources and its tests only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vardel::json {

// The deepest nesting of arrays and objects a document may have; one more level fails.
inline constexpr std::size_t MAX_NESTING = 127;

// Tells whether the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF, no truncated sequence.
[[nodiscard]] inline bool is_valid_utf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* end = p + bytes.size();
  while (p != end) {
    unsigned char b = *p;
    if (b < 0x80) {
      ++p;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) {
        low = 0xA0;
      } else if (b == 0xED) {
        high = 0x9F;
      }
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) {
        low = 0x90;
      } else if (b == 0xF4) {
        high = 0x8F;
      }
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - p) < length) {
      return false;
    }
    if (p[1] < low || p[1] > high) {
      return false;
    }
    for (std::size_t i = 2; i < length; ++i) {
      if (p[i] < 0x80 || p[i] > 0xBF) {
        return false;
      }
    }
    p += length;
  }
  return true;
}

}  // namespace vardel::json
