// The URL parser on arbitrary bytes: a parsed URL is ASCII throughout, and its href parses
// again to the same href.
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace url = vardel::url;
  std::optional<url::Url> parsed = url::parse(vardel::fuzz::as_text(data, size));
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
  return 0;
}
