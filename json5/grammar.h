// The JSON5 grammar as PEGTL rules, one struct per rule, named as the grammar names them.
//
// Only the parser includes this file. Each of the 36 rules carries its Json5Rule in `RULE`; the
// parser's control class makes nodes and records failures for the node rules among them, by
// their kind, and for nothing else. The implicit skipping of whitespace and comments is written
// out as SKIP exactly where the grammar lets it run: inside text, object, array and pair.
// Strings, identifiers and numbers are matched without it, so no rule below them mentions SKIP.
#pragma once

#include <cstddef>
#include <cstdint>

#include <tao/pegtl.hpp>
#include <unicode/uchar.h>

#include "json5/json5_rule.h"

namespace vardel::json5::grammar {

namespace pegtl = tao::pegtl;

// Names a grammar rule's Json5Rule; the parser's control class reads its kind from there.
template <Json5Rule R>
struct rule_id {
  static constexpr Json5Rule RULE = R;
};

// A rule that makes a node and whose failures are recorded.
template <typename Rule>
concept NodeRule = requires {
  Rule::RULE;
}
&&is_node_rule(Rule::RULE);

// A node rule whose node has children: the record goes in before them.
template <typename Rule>
concept ParentRule = NodeRule<Rule> &&(kind(Rule::RULE) == Json5RuleKind::plain_node ||
                                       kind(Rule::RULE) == Json5RuleKind::compound_atomic_node);

// One decoded character: its code point and its length in bytes; length 0 when the bytes at
// hand are no valid UTF-8 (or there are none).
struct Decoded {
  char32_t code_point = 0;
  std::size_t length = 0;
};

inline Decoded decode_utf8(const char* data, std::size_t size) {
  if (size == 0) {
    return {};
  }
  const auto b0 = static_cast<unsigned char>(data[0]);
  if (b0 < 0x80) {
    return {b0, 1};
  }
  auto continuation = [&](std::size_t i) {
    return i < size && (static_cast<unsigned char>(data[i]) & 0xC0) == 0x80;
  };
  auto bits = [&](std::size_t i) { return static_cast<char32_t>(data[i] & 0x3F); };
  if ((b0 & 0xE0) == 0xC0 && continuation(1)) {
    const char32_t c = (static_cast<char32_t>(b0 & 0x1F) << 6) | bits(1);
    return c >= 0x80 ? Decoded{c, 2} : Decoded{};
  }
  if ((b0 & 0xF0) == 0xE0 && continuation(1) && continuation(2)) {
    const char32_t c = (static_cast<char32_t>(b0 & 0x0F) << 12) | (bits(1) << 6) | bits(2);
    return c >= 0x800 && (c < 0xD800 || c > 0xDFFF) ? Decoded{c, 3} : Decoded{};
  }
  if ((b0 & 0xF8) == 0xF0 && continuation(1) && continuation(2) && continuation(3)) {
    const char32_t c =
        (static_cast<char32_t>(b0 & 0x07) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
    return c >= 0x10000 && c <= 0x10FFFF ? Decoded{c, 4} : Decoded{};
  }
  return {};
}

// A one-character test: matches the next character when `Test::accepts` says yes for it.
// ASCII is answered from `Test::accepts_ascii` without calling ICU.
template <typename Test>
struct char_class {
  using rule_t = char_class;
  using subs_t = pegtl::empty_list;

  template <typename ParseInput>
  [[nodiscard]] static bool match(ParseInput& in) {
    if (in.empty()) {
      return false;
    }
    const auto b0 = static_cast<unsigned char>(*in.current());
    if (b0 < 0x80) {
      if (Test::accepts_ascii(static_cast<char>(b0))) {
        in.bump_in_this_line(1);
        return true;
      }
      return false;
    }
    const Decoded d = decode_utf8(in.current(), in.size(4));
    if (d.length == 0 || !Test::accepts(d.code_point)) {
      return false;
    }
    in.bump_in_this_line(d.length);
    return true;
  }
};

inline bool has_category(char32_t c, std::uint32_t mask) {
  return (U_GET_GC_MASK(static_cast<UChar32>(c)) & mask) != 0;
}

inline bool is_ascii_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct UnicodeLetterTest {
  static bool accepts_ascii(char c) { return is_ascii_letter(c); }
  static bool accepts(char32_t c) {
    return has_category(
        c, U_GC_LU_MASK | U_GC_LL_MASK | U_GC_LT_MASK | U_GC_LM_MASK | U_GC_LO_MASK | U_GC_NL_MASK);
  }
};

// Mn, Dia, Nd, Pc, U+200C and U+200D: what may continue an identifier besides its starts.
// In ASCII: the digits, "_" (Pc), and "^" and "`" (Dia).
struct IdentifierPartTest {
  static bool accepts_ascii(char c) {
    return (c >= '0' && c <= '9') || c == '_' || c == '^' || c == '`';
  }
  static bool accepts(char32_t c) {
    return c == 0x200C || c == 0x200D ||
           has_category(c, U_GC_MN_MASK | U_GC_ND_MASK | U_GC_PC_MASK) ||
           u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_DIACRITIC) != 0;
  }
};

// Mn | Dia | Nd | Pc | U+200C | U+200D, the look-ahead of identifier_part.
struct identifier_part_char : char_class<IdentifierPartTest> {};

// Arrays and objects nested deeper than the bound are refused at their opening bracket; the
// parser's state does the counting, as the control class enters and leaves `array` and `object`.
struct nesting_guard {
  using rule_t = nesting_guard;
  using subs_t = pegtl::empty_list;

  template <pegtl::apply_mode A, pegtl::rewind_mode M, template <typename...> class Action,
            template <typename...> class Control, typename ParseInput, typename State>
  [[nodiscard]] static bool match(ParseInput& in, State& state) {
    state.check_nesting(in.current() - 1);
    return true;
  }
};

// Whitespace, comments and line terminators.

struct line_terminator : pegtl::sor<pegtl::one<'\n', '\r'>, pegtl::utf8::one<0x2028, 0x2029>>,
                         rule_id<Json5Rule::line_terminator> {};

// U+0009 | U+000B | U+000C | U+0020 | U+00A0 | U+FEFF | Zs | line_terminator. Each alternative
// is one character and no two overlap, so one test per character does the same.
struct WhitespaceTest {
  static bool accepts_ascii(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  }
  static bool accepts(char32_t c) {
    return c == 0x00A0 || c == 0xFEFF || c == 0x2028 || c == 0x2029 ||
           has_category(c, U_GC_ZS_MASK);
  }
};
struct WHITESPACE : char_class<WhitespaceTest>, rule_id<Json5Rule::WHITESPACE> {};
struct COMMENT
    : pegtl::sor<pegtl::seq<pegtl::string<'/', '*'>,
                            pegtl::star<pegtl::not_at<pegtl::string<'*', '/'>>, pegtl::utf8::any>,
                            pegtl::string<'*', '/'>>,
                 pegtl::seq<pegtl::string<'/', '/'>,
                            pegtl::star<pegtl::not_at<line_terminator>, pegtl::utf8::any>>>,
      rule_id<Json5Rule::COMMENT> {};
// The implicit skipping; it always succeeds.
struct SKIP : pegtl::seq<pegtl::star<WHITESPACE>, pegtl::star<COMMENT, pegtl::star<WHITESPACE>>> {};

// Strings and escapes.

// !(U+005C | line_terminator) any character, as one test per character: this is the rule
// that runs once for every character of every string.
struct CharLiteralTest {
  static bool accepts_ascii(char c) { return c != '\\' && c != '\n' && c != '\r'; }
  static bool accepts(char32_t c) { return c != 0x2028 && c != 0x2029; }
};
struct char_literal : char_class<CharLiteralTest>, rule_id<Json5Rule::char_literal> {};
struct single_escape_char : pegtl::one<'\'', '"', '\\', 'b', 'f', 'n', 'r', 't', 'v'>,
                            rule_id<Json5Rule::single_escape_char> {};
struct escape_char : pegtl::sor<single_escape_char, pegtl::ascii::digit, pegtl::one<'x', 'u'>>,
                     rule_id<Json5Rule::escape_char> {};
struct non_escape_char
    : pegtl::seq<pegtl::not_at<pegtl::sor<escape_char, line_terminator>>, pegtl::utf8::any>,
      rule_id<Json5Rule::non_escape_char> {};
struct char_escape_sequence : pegtl::sor<single_escape_char, non_escape_char>,
                              rule_id<Json5Rule::char_escape_sequence> {};
struct nul_escape_sequence : pegtl::one<'0'>, rule_id<Json5Rule::nul_escape_sequence> {};
struct hex_escape_sequence : pegtl::rep<2, pegtl::ascii::xdigit>,
                             rule_id<Json5Rule::hex_escape_sequence> {};
struct unicode_escape_sequence : pegtl::rep<4, pegtl::ascii::xdigit>,
                                 rule_id<Json5Rule::unicode_escape_sequence> {};
struct escape_sequence : pegtl::sor<char_escape_sequence, nul_escape_sequence,
                                    pegtl::seq<pegtl::one<'x'>, hex_escape_sequence>,
                                    pegtl::seq<pegtl::one<'u'>, unicode_escape_sequence>>,
                         rule_id<Json5Rule::escape_sequence> {};
struct line_terminator_sequence : pegtl::sor<pegtl::string<'\r', '\n'>, line_terminator>,
                                  rule_id<Json5Rule::line_terminator_sequence> {};
struct line_continuation : pegtl::seq<pegtl::one<'\\'>, line_terminator_sequence>,
                           rule_id<Json5Rule::line_continuation> {};

// A run of ASCII characters inside a string quoted by `Quote`, none of them the quote, a
// backslash, LF or CR. Each would be matched by a repetition of double_quote_char (or
// single_quote_char) as a char_literal that succeeds; this makes the same char_literal nodes in
// one step, without going through the rules once per character. Nothing fails on the way, so
// nothing is recorded either.
template <char Quote>
struct plain_char_run {
  using rule_t = plain_char_run;
  using subs_t = pegtl::empty_list;

  template <pegtl::apply_mode A, pegtl::rewind_mode M, template <typename...> class Action,
            template <typename...> class Control, typename ParseInput, typename State>
  [[nodiscard]] static bool match(ParseInput& in, State& state) {
    const char* const begin = in.current();
    const char* const end = in.end();
    const char* at = begin;
    while (at != end) {
      const char c = *at;
      if (static_cast<unsigned char>(c) >= 0x80 || c == Quote || c == '\\' || c == '\n' ||
          c == '\r') {
        break;
      }
      ++at;
    }
    if (at == begin) {
      return false;
    }
    state.add_char_literals(begin, at);
    in.bump_in_this_line(static_cast<std::size_t>(at - begin));
    return true;
  }
};

struct double_quote_char
    : pegtl::sor<pegtl::seq<pegtl::one<'\\'>, escape_sequence>, line_continuation,
                 pegtl::seq<pegtl::not_at<pegtl::one<'"'>>, char_literal>>,
      rule_id<Json5Rule::double_quote_char> {};
struct single_quote_char
    : pegtl::sor<pegtl::seq<pegtl::one<'\\'>, escape_sequence>, line_continuation,
                 pegtl::seq<pegtl::not_at<pegtl::one<'\''>>, char_literal>>,
      rule_id<Json5Rule::single_quote_char> {};
// The repetitions take runs of plain characters in one step where they can.
struct string
    : pegtl::sor<pegtl::seq<pegtl::one<'"'>,
                            pegtl::star<pegtl::sor<plain_char_run<'"'>, double_quote_char>>,
                            pegtl::one<'"'>>,
                 pegtl::seq<pegtl::one<'\''>,
                            pegtl::star<pegtl::sor<plain_char_run<'\''>, single_quote_char>>,
                            pegtl::one<'\''>>>,
      rule_id<Json5Rule::string> {};

// Identifiers.

struct unicode_letter : char_class<UnicodeLetterTest>, rule_id<Json5Rule::unicode_letter> {};
struct identifier_start
    : pegtl::sor<
          pegtl::seq<pegtl::at<pegtl::sor<unicode_letter, pegtl::one<'$', '_'>>>, char_literal>,
          pegtl::seq<pegtl::one<'\\'>, pegtl::one<'u'>, unicode_escape_sequence>>,
      rule_id<Json5Rule::identifier_start> {};
struct identifier_part
    : pegtl::sor<identifier_start, pegtl::seq<pegtl::at<identifier_part_char>, char_literal>>,
      rule_id<Json5Rule::identifier_part> {};
struct identifier : pegtl::seq<identifier_start, pegtl::star<identifier_part>>,
                    rule_id<Json5Rule::identifier> {};

// Numbers.

struct exponent_part : pegtl::seq<pegtl::one<'e', 'E'>, pegtl::opt<pegtl::one<'+', '-'>>,
                                  pegtl::plus<pegtl::ascii::digit>>,
                       rule_id<Json5Rule::exponent_part> {};
struct decimal_integer_literal
    : pegtl::sor<pegtl::one<'0'>,
                 pegtl::seq<pegtl::range<'1', '9'>, pegtl::star<pegtl::ascii::digit>>>,
      rule_id<Json5Rule::decimal_integer_literal> {};
struct decimal_literal
    : pegtl::sor<
          pegtl::seq<decimal_integer_literal, pegtl::one<'.'>, pegtl::star<pegtl::ascii::digit>,
                     pegtl::opt<exponent_part>>,
          pegtl::seq<pegtl::one<'.'>, pegtl::plus<pegtl::ascii::digit>, pegtl::opt<exponent_part>>,
          pegtl::seq<decimal_integer_literal, pegtl::opt<exponent_part>>>,
      rule_id<Json5Rule::decimal_literal> {};
struct hex_integer_literal
    : pegtl::seq<pegtl::istring<'0', 'x'>, pegtl::plus<pegtl::ascii::xdigit>>,
      rule_id<Json5Rule::hex_integer_literal> {};
struct numeric_literal : pegtl::sor<hex_integer_literal, decimal_literal,
                                    pegtl::string<'I', 'n', 'f', 'i', 'n', 'i', 't', 'y'>,
                                    pegtl::string<'N', 'a', 'N'>>,
                         rule_id<Json5Rule::numeric_literal> {};
struct number : pegtl::seq<pegtl::opt<pegtl::one<'+', '-'>>, numeric_literal>,
                rule_id<Json5Rule::number> {};

// Values and structure.

struct value;
struct null : pegtl::string<'n', 'u', 'l', 'l'>, rule_id<Json5Rule::null> {};
struct boolean
    : pegtl::sor<pegtl::string<'t', 'r', 'u', 'e'>, pegtl::string<'f', 'a', 'l', 's', 'e'>>,
      rule_id<Json5Rule::boolean> {};
struct key : pegtl::sor<identifier, string>, rule_id<Json5Rule::key> {};
struct pair : pegtl::seq<key, SKIP, pegtl::one<':'>, SKIP, value>, rule_id<Json5Rule::pair> {};
struct object
    : pegtl::seq<pegtl::one<'{'>, nesting_guard, SKIP,
                 pegtl::sor<pegtl::one<'}'>,
                            pegtl::seq<pair, SKIP,
                                       pegtl::opt<pegtl::one<','>, SKIP, pair,
                                                  pegtl::star<SKIP, pegtl::one<','>, SKIP, pair>>,
                                       SKIP, pegtl::opt<pegtl::one<','>>, SKIP, pegtl::one<'}'>>>>,
      rule_id<Json5Rule::object> {};
struct array
    : pegtl::seq<pegtl::one<'['>, nesting_guard, SKIP,
                 pegtl::sor<pegtl::one<']'>,
                            pegtl::seq<value, SKIP,
                                       pegtl::opt<pegtl::one<','>, SKIP, value,
                                                  pegtl::star<SKIP, pegtl::one<','>, SKIP, value>>,
                                       SKIP, pegtl::opt<pegtl::one<','>>, SKIP, pegtl::one<']'>>>>,
      rule_id<Json5Rule::array> {};
struct value : pegtl::sor<null, boolean, string, number, object, array>,
               rule_id<Json5Rule::value> {};
struct EOI : pegtl::eof, rule_id<Json5Rule::EOI> {};
struct text : pegtl::seq<pegtl::bof, SKIP, value, SKIP, EOI>, rule_id<Json5Rule::text> {};

}  // namespace vardel::json5::grammar
