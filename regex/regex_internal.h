// The pattern translation behind Regex::compile, for the folder's tests and the fuzzer.
#pragma once

#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "regex/regex.h"

namespace vardel::regex {

// A translated pattern longer than this is refused: it could only come from many bracketed
// \W or \S classes (each several kilobytes of ranges), far beyond what compiles anyway.
inline constexpr std::size_t MAX_TRANSLATED_SIZE = std::size_t{1} << 24;

// Rewrites the Perl classes \d \s \w \D \S \W into their Unicode forms, outside and inside
// brackets, leaving \Q...\E untouched; refuses \C. Any other text is copied unchanged, so what
// RE2 refuses in the input it still refuses.
[[nodiscard]] std::expected<std::string, RegexError> translate(std::string_view pattern);

// Compiles `pattern` afresh, outside the cache, searches `text` with it and frees it again:
// what Regex::compile and Regex::search give, for the fuzzer, whose millions of patterns would
// otherwise all stay in the cache.
[[nodiscard]] std::expected<bool, RegexError> search_uncached(std::string_view pattern,
                                                              std::string_view text);

// The inside-bracket items for the complement of \w and of \s: explicit code-point ranges.
[[nodiscard]] const std::string& not_word_ranges();
[[nodiscard]] const std::string& not_space_ranges();

}  // namespace vardel::regex
