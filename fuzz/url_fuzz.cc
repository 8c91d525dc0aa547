// The URL parser on arbitrary bytes: surrounding controls and spaces, and tabs and line breaks
// anywhere, change nothing; a parsed URL is ASCII throughout, and its href parses again to the
// same URL.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "url/url.h"

namespace {

using vardel::fuzz::check;

bool is_ascii(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The start of the character at or before `i`, so that an insertion splits no UTF-8 sequence.
std::size_t character_start(std::string_view text, std::size_t i) {
  while (i > 0 && i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
    --i;
  }
  return i;
}

bool same_url(const vardel::url::Url& a, const vardel::url::Url& b) {
  return a.scheme == b.scheme && a.username == b.username && a.password == b.password &&
         a.host == b.host && a.port == b.port && a.path == b.path &&
         a.opaque_path == b.opaque_path && a.query == b.query && a.fragment == b.fragment;
}

bool same_result(const std::optional<vardel::url::Url>& a,
                 const std::optional<vardel::url::Url>& b) {
  return a.has_value() == b.has_value() && (!a || same_url(*a, *b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace url = vardel::url;
  const std::string_view input = vardel::fuzz::as_text(data, size);
  std::optional<url::Url> parsed = url::parse(input);

  // Leading and trailing C0 controls and spaces are trimmed, and every tab, LF and CR removed,
  // before parsing starts.
  check(same_result(url::parse("\x01 " + std::string(input) + " \x1f"), parsed),
        "surrounding controls and spaces are ignored");
  std::string with_tabs(input);
  with_tabs.insert(character_start(with_tabs, with_tabs.size() / 2), "\t\n");
  with_tabs.insert(character_start(with_tabs, with_tabs.size() / 3), "\r");
  check(same_result(url::parse(with_tabs), parsed), "tabs and line breaks are ignored");

  if (!parsed) {
    return 0;
  }
  const std::string href = parsed->href();
  check(is_ascii(href), "href is ASCII");
  check(!parsed->scheme.empty(), "scheme is not empty");
  check(!parsed->opaque_path || parsed->path_segments().empty(), "opaque path has no segments");

  std::optional<url::Url> again = url::parse(href);
  check(again.has_value(), "href parses");
  check(again->href() == href, "href parses to itself");
  check(same_url(*again, *parsed), "href parses to the same components");
  return 0;
}
