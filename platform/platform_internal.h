// UTF-8 stepping and error-text helpers shared by the platform implementations.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vardel::platform {

// What the sequence at the start of some UTF-8 text holds. `surrogate` is the three-byte form
// of U+D800..U+DFFF that strict UTF-8 refuses and the generalised form keeps.
enum class Utf8Kind { valid, surrogate, invalid };

// One step through UTF-8 text: the length of the sequence at the start and what it holds. An
// ill-formed sequence spans its maximal subpart (at least 1 byte).
struct Utf8Step {
  std::size_t length;
  Utf8Kind kind;
  char32_t code_point;  // for `valid` and `surrogate`
};

// Requires: `left` >= 1 bytes at `p`.
[[nodiscard]] Utf8Step utf8_step(const unsigned char* p, std::size_t left);

// The text with each ill-formed part replaced by U+FFFD. With `surrogate_is_one_part`, an
// encoded surrogate is one part (the generalised form's unpaired surrogate); otherwise it is
// ill-formed byte by byte, as strict UTF-8 reads it.
[[nodiscard]] std::string replace_ill_formed(std::string_view text, bool surrogate_is_one_part);

// The text without trailing white space.
[[nodiscard]] std::string_view trim_trailing_space(std::string_view text);

}  // namespace vardel::platform
