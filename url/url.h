// Parsing text as an absolute URL by the WHATWG URL Standard's rules, and writing it back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardel::url {

// A parsed URL. Every component is ASCII, already percent-encoded where the rules require it.
struct Url {
  std::string scheme;  // lower case, without the ":"
  std::string username;
  std::string password;
  // The serialized host: a domain, "a.b.c.d", "[v6]", an opaque host, or empty; nullopt for none.
  std::optional<std::string> host;
  std::optional<std::uint16_t> port;  // nullopt also when the port is the scheme's default
  // With `opaque_path` set, the opaque path text; otherwise the list of segments, each written
  // with a leading "/" ("/a/b" holds "a" and "b", "" holds none, "/" holds one empty segment).
  std::string path;
  bool opaque_path = false;
  std::optional<std::string> query;     // without the "?"
  std::optional<std::string> fragment;  // without the "#"

  // The path's segments; empty for an opaque path. The views point into `path`.
  [[nodiscard]] std::vector<std::string_view> path_segments() const;
  // The whole URL as text.
  [[nodiscard]] std::string href() const;
};

// Parses `input` as an absolute URL with no base URL; nullopt on failure. Input is UTF-8; an
// invalid byte sequence reads as U+FFFD.
[[nodiscard]] std::optional<Url> parse(std::string_view input);

}  // namespace vardel::url
