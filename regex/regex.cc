// RE2 behind a process-wide cache, with Unicode meanings for the Perl classes.
#include "regex/regex.h"

#include <cassert>
#include <charconv>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include <re2/re2.h>
#include <unicode/uchar.h>
#include <unicode/uniset.h>

#include "regex/regex_internal.h"

namespace vardel::regex {

struct CompiledRegex {
  std::unique_ptr<const re2::RE2> re;  // null when the pattern did not compile
  RegexError error;                    // why, when it did not
};

namespace {

// RE2's \d \s \w are ASCII only; these are the Unicode sets, as items that can stand inside a
// bracket. \w: letters, marks, decimal digits, connector punctuation, letter numbers, the two
// joiners, and the symbols that are alphabetic (circled, parenthesized and squared letters).
constexpr std::string_view WORD_ITEMS =
    "\\p{L}\\p{M}\\p{Nd}\\p{Pc}\\p{Nl}\\x{200C}\\x{200D}\\x{24B6}-\\x{24E9}"
    "\\x{1F130}-\\x{1F149}\\x{1F150}-\\x{1F169}\\x{1F170}-\\x{1F189}";
// \s is exactly White_Space.
constexpr std::string_view SPACE_ITEMS = "\\t-\\r \\x{85}\\p{Z}";

// Inside a bracket an expansion must start with a group (\p{..}) and end with a group or a range:
// a neighbouring "-" then reads as it did next to the escape, never as a new range. So \s is
// reordered there, and the complements lead with a group that is a subset of the complement.
constexpr std::string_view SPACE_ITEMS_IN_BRACKET = "\\p{Z}\\x{85}\\t-\\r";
constexpr std::string_view NOT_WORD_LEAD = "\\p{Cc}";
constexpr std::string_view NOT_SPACE_LEAD = "\\p{L}";

constexpr std::uint32_t gc_mask(UCharCategory category) {
  return std::uint32_t{1} << category;
}

constexpr std::uint32_t WORD_CATEGORIES =
    gc_mask(U_UPPERCASE_LETTER) | gc_mask(U_LOWERCASE_LETTER) | gc_mask(U_TITLECASE_LETTER) |
    gc_mask(U_MODIFIER_LETTER) | gc_mask(U_OTHER_LETTER) | gc_mask(U_NON_SPACING_MARK) |
    gc_mask(U_ENCLOSING_MARK) | gc_mask(U_COMBINING_SPACING_MARK) |
    gc_mask(U_DECIMAL_DIGIT_NUMBER) | gc_mask(U_CONNECTOR_PUNCTUATION) | gc_mask(U_LETTER_NUMBER);
constexpr std::uint32_t SPACE_CATEGORIES =
    gc_mask(U_SPACE_SEPARATOR) | gc_mask(U_LINE_SEPARATOR) | gc_mask(U_PARAGRAPH_SEPARATOR);

struct CodePointRange {
  UChar32 first, last;
};

constexpr CodePointRange WORD_EXTRA[] = {
    {0x200C, 0x200D}, {0x24B6, 0x24E9}, {0x1F130, 0x1F149}, {0x1F150, 0x1F169}, {0x1F170, 0x1F189}};
constexpr CodePointRange SPACE_EXTRA[] = {{0x09, 0x0D}, {0x20, 0x20}, {0x85, 0x85}};

void append_code_point(std::string& out, UChar32 c) {
  char digits[8];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, c, 16);
  out += "\\x{";
  out.append(digits, end);
  out += '}';
}

// The complement over U+0000..U+10FFFF (surrogates included, as RE2's own negated classes
// have it) of the categories plus the extra ranges, written as "\x{lo}-\x{hi}" items.
std::string complement_ranges(std::uint32_t categories, std::span<const CodePointRange> extra) {
  UErrorCode status = U_ZERO_ERROR;
  icu::UnicodeSet set;
  set.applyIntPropertyValue(UCHAR_GENERAL_CATEGORY_MASK, static_cast<std::int32_t>(categories),
                            status);
  assert(U_SUCCESS(status));
  for (const CodePointRange& range : extra) {
    set.add(range.first, range.last);
  }
  set.complement();
  std::string out;
  for (std::int32_t i = 0; i < set.getRangeCount(); ++i) {
    append_code_point(out, set.getRangeStart(i));
    out += '-';
    append_code_point(out, set.getRangeEnd(i));
  }
  return out;
}

// The state of one bracket: a complement is written out in full once, later repeats in the
// same bracket add nothing to the union and are written as their short subset group.
struct BracketState {
  bool has_not_word = false;
  bool has_not_space = false;
};

// Appends the text from `pattern[i]` to just past the first `close` at or after `from`, or to
// the end; returns the index after it.
std::size_t copy_through(std::string_view pattern, std::size_t i, std::size_t from,
                         std::string_view close, std::string& out) {
  std::size_t end = pattern.find(close, from);
  end = end == std::string_view::npos ? pattern.size() : end + close.size();
  out.append(pattern.substr(i, end - i));
  return end;
}

// \p{...} and \P{...} take everything up to the first "}" as the name, "]" and "\" included,
// as RE2 reads them; the one-letter form is copied as any escape.
bool is_braced_group(std::string_view pattern, std::size_t i) {
  return i + 2 < pattern.size() && (pattern[i + 1] == 'p' || pattern[i + 1] == 'P') &&
         pattern[i + 2] == '{';
}

RegexError single_byte_refused() {
  return RegexError{"invalid escape sequence: \\C"};
}

// Translates the bracket that opens at `pattern[i]`; returns the index after it.
std::expected<std::size_t, RegexError> translate_bracket(std::string_view pattern, std::size_t i,
                                                         std::string& out) {
  const std::size_t n = pattern.size();
  out += '[';
  ++i;
  if (i < n && pattern[i] == '^') {
    out += '^';
    ++i;
  }
  // A "]" right after the opening is a literal.
  if (i < n && pattern[i] == ']') {
    out += ']';
    ++i;
  }
  BracketState state;
  while (i < n && pattern[i] != ']') {
    const char c = pattern[i];
    if (c == '[' && i + 1 < n && pattern[i + 1] == ':') {
      // A named class runs to the first ":]"; without one the "[" is a literal.
      if (pattern.find(":]", i + 2) != std::string_view::npos) {
        i = copy_through(pattern, i, i + 2, ":]", out);
        continue;
      }
    }
    if (c != '\\' || i + 1 == n) {
      out += c;
      ++i;
      continue;
    }
    if (is_braced_group(pattern, i)) {
      i = copy_through(pattern, i, i + 3, "}", out);
      continue;
    }
    switch (pattern[i + 1]) {
      case 'C':
        return std::unexpected(single_byte_refused());
      case 'd':
        out += "\\p{Nd}";
        break;
      case 'D':
        out += "\\P{Nd}";
        break;
      case 's':
        out += SPACE_ITEMS_IN_BRACKET;
        break;
      case 'S':
        out += NOT_SPACE_LEAD;
        if (!state.has_not_space) {
          out += not_space_ranges();
          state.has_not_space = true;
        }
        break;
      case 'w':
        out += WORD_ITEMS;
        break;
      case 'W':
        out += NOT_WORD_LEAD;
        if (!state.has_not_word) {
          out += not_word_ranges();
          state.has_not_word = true;
        }
        break;
      default:
        out.append(pattern.substr(i, 2));
        break;
    }
    i += 2;
  }
  if (i < n) {
    out += ']';
    ++i;
  }
  return i;
}

// Translates the escape at `pattern[i]` outside brackets; returns the index after it.
std::expected<std::size_t, RegexError> translate_escape(std::string_view pattern, std::size_t i,
                                                        std::string& out) {
  if (i + 1 == pattern.size()) {
    out += '\\';
    return i + 1;
  }
  if (is_braced_group(pattern, i)) {
    return copy_through(pattern, i, i + 3, "}", out);
  }
  switch (pattern[i + 1]) {
    case 'Q':
      // Quoted text is literal up to the first "\E" (a "\\" inside does not escape it).
      return copy_through(pattern, i, i + 2, "\\E", out);
    case 'C':
      return std::unexpected(single_byte_refused());
    case 'd':
      out += "\\p{Nd}";
      break;
    case 'D':
      out += "\\P{Nd}";
      break;
    case 's':
      out += '[';
      out += SPACE_ITEMS;
      out += ']';
      break;
    case 'S':
      out += "[^";
      out += SPACE_ITEMS;
      out += ']';
      break;
    case 'w':
      out += '[';
      out += WORD_ITEMS;
      out += ']';
      break;
    case 'W':
      out += "[^";
      out += WORD_ITEMS;
      out += ']';
      break;
    default:
      out.append(pattern.substr(i, 2));
      break;
  }
  return i + 2;
}

std::unique_ptr<CompiledRegex> compile_fresh(std::string_view pattern) {
  auto compiled = std::make_unique<CompiledRegex>();
  auto translated = translate(pattern);
  if (!translated) {
    compiled->error = std::move(translated.error());
    return compiled;
  }
  RE2::Options options;
  options.set_log_errors(false);
  auto re = std::make_unique<const re2::RE2>(*translated, options);
  if (!re->ok()) {
    compiled->error = RegexError{re->error()};
    return compiled;
  }
  compiled->re = std::move(re);
  return compiled;
}

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};

struct Cache {
  std::mutex mutex;
  std::unordered_map<std::string, std::unique_ptr<CompiledRegex>, TextHash, std::equal_to<>>
      entries;
};

// Never destroyed: a Regex held in a static object, or by a thread still running at exit,
// keeps pointing at a live entry.
Cache& cache() {
  union Storage {
    Cache value;
    Storage() : value() {}
    ~Storage() {}
  };
  static Storage storage;
  return storage.value;
}

const CompiledRegex& lookup_or_compile(std::string_view pattern) {
  Cache& c = cache();
  {
    std::lock_guard lock(c.mutex);
    auto found = c.entries.find(pattern);
    if (found != c.entries.end()) {
      return *found->second;
    }
  }
  // Compiling a Unicode class takes a while; other threads keep using the cache meanwhile. If
  // two compile the same text, the first stored wins and both results are equal anyway.
  std::unique_ptr<CompiledRegex> fresh = compile_fresh(pattern);
  std::lock_guard lock(c.mutex);
  auto [entry, inserted] = c.entries.try_emplace(std::string(pattern), std::move(fresh));
  return *entry->second;
}

}  // namespace

const std::string& not_word_ranges() {
  static const std::string ranges = complement_ranges(WORD_CATEGORIES, WORD_EXTRA);
  return ranges;
}

const std::string& not_space_ranges() {
  static const std::string ranges = complement_ranges(SPACE_CATEGORIES, SPACE_EXTRA);
  return ranges;
}

std::expected<std::string, RegexError> translate(std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size() + 16);
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '[' || c == '\\') {
      auto next = c == '[' ? translate_bracket(pattern, i, out) : translate_escape(pattern, i, out);
      if (!next) {
        return std::unexpected(std::move(next.error()));
      }
      i = *next;
    } else {
      out += c;
      ++i;
    }
    if (out.size() > MAX_TRANSLATED_SIZE) {
      return std::unexpected(RegexError{"pattern too large"});
    }
  }
  return out;
}

std::expected<Regex, RegexError> Regex::compile(std::string_view pattern) {
  const CompiledRegex& compiled = lookup_or_compile(pattern);
  if (!compiled.re) {
    return std::unexpected(compiled.error);
  }
  return Regex(compiled);
}

std::expected<bool, RegexError> search_uncached(std::string_view pattern,
                                                std::string_view text) {
  std::unique_ptr<CompiledRegex> compiled = compile_fresh(pattern);
  if (!compiled->re) {
    return std::unexpected(std::move(compiled->error));
  }
  return compiled->re->Match(text, 0, text.size(), RE2::UNANCHORED, nullptr, 0);
}

bool Regex::search(std::string_view text) const {
  return compiled_->re->Match(text, 0, text.size(), RE2::UNANCHORED, nullptr, 0);
}

}  // namespace vardel::regex
