// The regular-expression facade on arbitrary bytes: the pattern is the input up to the first NUL
// byte, the searched text whatever follows. Translation and compilation never crash, agree on
// refusals, and a pattern without escapes is translated unchanged.
//
// Compiled patterns stay in the facade's cache until the process ends, together with the
// search automata RE2 builds for them, so compiling every input would fill memory within a
// minute. Translation runs on every input; compilation and the search on one pattern in
// COMPILE_SHARE, picked by a hash of its text, so that a saved input replays the same way.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "regex/regex.h"
#include "regex/regex_internal.h"

namespace {

constexpr std::uint64_t COMPILE_SHARE = 16;

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
  if (fnv1a(pattern) % COMPILE_SHARE != 0) {
    return 0;
  }
  auto compiled = regex::Regex::compile(pattern);
  if (!translated) {
    check(!compiled.has_value(), "an untranslatable pattern does not compile");
    return 0;
  }
  if (compiled) {
    (void)compiled->search(text);
  }
  return 0;
}
