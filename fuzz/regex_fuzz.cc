// The regular-expression facade on arbitrary bytes: the pattern is the input up to the first NUL
// byte, the searched text whatever follows. Translation, compilation and search never crash;
// translation and compilation agree on refusals; a pattern without escapes is translated
// unchanged; the cache gives what a fresh compile gives.
//
// Cached patterns stay in memory until the process ends, together with the search automata RE2
// builds for them, so caching every input would fill memory within a minute. Every input is
// compiled and searched afresh; one pattern in CACHE_SHARE, picked by a hash of its text so that
// a saved input replays the same way, also goes through the cache.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "regex/regex.h"
#include "regex/regex_internal.h"

namespace {

constexpr std::uint64_t CACHE_SHARE = 256;

std::uint64_t fnv1a(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325;
  for (const char c : text) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
  }
  return hash;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace regex = vardel::regex;
  using vardel::fuzz::check;
  const std::string_view input = vardel::fuzz::as_text(data, size);
  const std::size_t nul = input.find('\0');
  const std::string_view pattern = input.substr(0, nul);
  const std::string_view text = nul == std::string_view::npos ? input : input.substr(nul + 1);

  auto translated = regex::translate(pattern);
  if (translated && pattern.find('\\') == std::string_view::npos) {
    check(*translated == pattern, "a pattern without escapes is unchanged");
  }
  auto fresh = regex::search_uncached(pattern, text);
  check(translated || !fresh, "an untranslatable pattern does not compile");
  if (fnv1a(pattern) % CACHE_SHARE != 0) {
    return 0;
  }
  auto cached = regex::Regex::compile(pattern);
  check(cached.has_value() == fresh.has_value(), "the cache compiles alike");
  if (cached) {
    check(cached->search(text) == *fresh, "the cache searches alike");
  } else {
    check(cached.error().message == fresh.error().message, "the cache refuses alike");
  }
  return 0;
}
