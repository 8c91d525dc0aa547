// Helpers shared by the URL parser's files and their tests: percent-encode sets, UTF-8 checks and
// the host parser.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vardel::url::internal {

// A percent-encode set over bytes. Each set holds the C0 controls and every byte above 0x7E (so
// every byte of a multi-byte UTF-8 sequence), plus the listed ASCII characters.
using ByteSet = std::array<bool, 256>;

constexpr ByteSet make_byte_set(std::string_view members) {
  ByteSet set{};
  for (int b = 0; b < 256; ++b) {
    set[b] = b < 0x20 || b > 0x7E;
  }
  for (char c : members) {
    set[static_cast<unsigned char>(c)] = true;
  }
  return set;
}

inline constexpr ByteSet C0_CONTROL_SET = make_byte_set("");
inline constexpr ByteSet FRAGMENT_SET = make_byte_set(" \"<>`");
inline constexpr ByteSet QUERY_SET = make_byte_set(" \"#<>");
inline constexpr ByteSet SPECIAL_QUERY_SET = make_byte_set(" \"#<>'");
inline constexpr ByteSet PATH_SET = make_byte_set(" \"#<>?^`{}");
inline constexpr ByteSet USERINFO_SET = make_byte_set(" \"#<>?^`{}/:;=@[\\]|");

// Appends `text` to `out`, each byte in `set` written as "%XX". Appending, rather than returning a
// new string, lets the parser build each component in place.
void append_percent_encoded(std::string& out, std::string_view text, const ByteSet& set);

// Whether `text` is well-formed UTF-8 (no surrogates, no overlong forms, nothing above U+10FFFF).
[[nodiscard]] bool is_valid_utf8(std::string_view text);
// `text` with each maximal ill-formed subsequence replaced by U+FFFD, as a UTF-8 decoder does.
[[nodiscard]] std::string replace_invalid_utf8(std::string_view text);

// Parses a host: the text between the authority's "@" and its port or end. `is_opaque` is set for
// URLs whose scheme is not special. Returns the serialized host, or nullopt on failure.
// Requires: `input` is well-formed UTF-8, and not empty unless `is_opaque`.
[[nodiscard]] std::optional<std::string> parse_host(std::string_view input, bool is_opaque);

// Appends the UTF-8 encoding of a code point. Requires: code_point < 0x110000.
void append_utf8(std::string& out, char32_t code_point);

}  // namespace vardel::url::internal
