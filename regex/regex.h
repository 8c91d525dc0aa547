// The regular-expression facade: Unicode-aware patterns compiled once per process.
#pragma once

#include <expected>
#include <string>
#include <string_view>

namespace vardel::regex {

// Why a pattern does not compile.
struct RegexError {
  std::string message;
};

// One entry of the process-wide cache; defined in regex.cc.
struct CompiledRegex;

// A compiled pattern; cheap to copy (it refers to an entry of the process-wide cache).
class Regex {
 public:
  // Compiles `pattern` with the default settings, through a cache keyed by the pattern text
  // (a failed compile is cached too); entries live until the process ends.
  [[nodiscard]] static std::expected<Regex, RegexError> compile(std::string_view pattern);
  // Whether the pattern matches anywhere in `text` (unanchored search).
  [[nodiscard]] bool search(std::string_view text) const;

 private:
  explicit Regex(const CompiledRegex& compiled) : compiled_(&compiled) {}

  const CompiledRegex* compiled_;  // points into the cache, which is never freed
};

}  // namespace vardel::regex
