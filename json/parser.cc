// The JSON parser: one recursive-descent reader shared by the value builder and the validator.
//
// The reader is a template over a sink that receives what it reads. The building sink makes a
// Value; the checking sink ignores everything, so checking a file allocates nothing beyond the
// parser itself. Both go through the same code, so they accept the same texts and fail with the
// same message at the same position.

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <expected>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "json/json.h"
#include "json/json_internal.h"
#include "json/value.h"

namespace vardel::json {

namespace {

constexpr const char* EOF_VALUE = "EOF while parsing a value";
constexpr const char* EOF_LIST = "EOF while parsing a list";
constexpr const char* EOF_OBJECT = "EOF while parsing an object";
constexpr const char* EOF_STRING = "EOF while parsing a string";
constexpr const char* EXPECTED_COLON = "expected `:`";
constexpr const char* EXPECTED_LIST_END = "expected `,` or `]`";
constexpr const char* EXPECTED_OBJECT_END = "expected `,` or `}`";
constexpr const char* EXPECTED_IDENT = "expected ident";
constexpr const char* EXPECTED_VALUE = "expected value";
constexpr const char* KEY_MUST_BE_STRING = "key must be a string";
constexpr const char* TRAILING_COMMA = "trailing comma";
constexpr const char* TRAILING_CHARACTERS = "trailing characters";
constexpr const char* RECURSION_LIMIT = "recursion limit exceeded";
constexpr const char* CONTROL_CHARACTER =
    "control character (\\u0000-\\u001F) found while parsing a string";
constexpr const char* INVALID_ESCAPE = "invalid escape";
constexpr const char* LONE_SURROGATE = "lone leading surrogate in hex escape";
constexpr const char* UNEXPECTED_END_OF_HEX_ESCAPE = "unexpected end of hex escape";
constexpr const char* INVALID_NUMBER = "invalid number";
constexpr const char* NUMBER_OUT_OF_RANGE = "number out of range";

// Byte classes, looked up once per byte in the loops that cannot go in bulk.
constexpr std::uint8_t CLASS_WHITESPACE = 1;
constexpr std::uint8_t CLASS_STRING_STOP = 2;  // '"', '\\' and 0x00 to 0x1F end a plain run
constexpr std::uint8_t CLASS_HEX = 4;

constexpr std::array<std::uint8_t, 256> make_classes() {
  std::array<std::uint8_t, 256> classes{};
  for (int c : {' ', '\t', '\n', '\r'}) {
    classes[static_cast<unsigned char>(c)] |= CLASS_WHITESPACE;
  }
  for (int c = '0'; c <= '9'; ++c) {
    classes[static_cast<unsigned char>(c)] |= CLASS_HEX;
  }
  for (int c = 'a'; c <= 'f'; ++c) {
    classes[static_cast<unsigned char>(c)] |= CLASS_HEX;
    classes[static_cast<unsigned char>(c - 'a' + 'A')] |= CLASS_HEX;
  }
  for (int c = 0; c < 0x20; ++c) {
    classes[static_cast<unsigned char>(c)] |= CLASS_STRING_STOP;
  }
  classes[static_cast<unsigned char>('"')] |= CLASS_STRING_STOP;
  classes[static_cast<unsigned char>('\\')] |= CLASS_STRING_STOP;
  return classes;
}

constexpr std::array<std::uint8_t, 256> CLASSES = make_classes();

inline bool has_class(char c, std::uint8_t cls) {
  return (CLASSES[static_cast<unsigned char>(c)] & cls) != 0;
}
inline bool is_digit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}
inline bool is_continuation_byte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

unsigned hex_value(char c) {
  if (c <= '9') {
    return static_cast<unsigned>(c - '0');
  }
  return static_cast<unsigned>((c | 0x20) - 'a' + 10);
}

// Returns the first byte in [p, end) that is '"', '\\' or below 0x20, or end.
const char* find_string_stop(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i control_max = _mm_set1_epi8(0x1F);
  while (end - p >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash));
    // An unsigned byte b is at most 0x1F exactly when max(b, 0x1F) is 0x1F.
    hits = _mm_or_si128(hits, _mm_cmpeq_epi8(_mm_max_epu8(v, control_max), control_max));
    int mask = _mm_movemask_epi8(hits);
    if (mask != 0) {
      return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
    p += 16;
  }
#else
  constexpr std::uint64_t ONES = 0x0101010101010101ULL;
  constexpr std::uint64_t HIGHS = 0x8080808080808080ULL;
  while (end - p >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    std::uint64_t q = w ^ (ONES * '"');
    std::uint64_t b = w ^ (ONES * '\\');
    // Each term has a byte's high bit set where that byte is zero (or, for the last, below 0x20);
    // bytes with their own high bit set are masked out by ~w.
    std::uint64_t hits = ((q - ONES) | (b - ONES) | (w - ONES * 0x20)) & ~w & HIGHS;
    if (hits != 0) {
      break;  // the byte loop below finds the exact byte
    }
    p += 8;
  }
#endif
  while (p != end && !has_class(*p, CLASS_STRING_STOP)) {
    ++p;
  }
  return p;
}

// The sink that builds a Value. Elements of open arrays wait on one stack, members of open
// objects (key and value together) on another, until their array or object closes.
class BuildSink {
 public:
  static constexpr bool WANTS_VALUES = true;

  BuildSink() {
    values_.reserve(64);
    members_.reserve(64);
  }

  void on_null() { add(Value(nullptr)); }
  void on_bool(bool b) { add(Value(b)); }
  void on_unsigned(std::uint64_t u) { add(Value(u)); }
  void on_signed(std::int64_t i) { add(Value(i)); }
  void on_double(double d) { add(Value(d)); }
  void on_string(std::string_view s) { add(Value(s)); }
  void on_key(std::string_view s) { members_.push_back(Member{String(s), Value()}); }
  void begin_array() { in_object_.push_back(false); }
  void end_array(std::size_t count) {
    in_object_.pop_back();
    auto first = values_.end() - static_cast<std::ptrdiff_t>(count);
    Array array(std::make_move_iterator(first), std::make_move_iterator(values_.end()));
    values_.erase(first, values_.end());
    add(Value(std::move(array)));
  }
  void begin_object() { in_object_.push_back(true); }
  void end_object(std::size_t count) {
    in_object_.pop_back();
    auto first = members_.end() - static_cast<std::ptrdiff_t>(count);
    sort_keys(first, count);
    Members members;
    members.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t k = order_[i];
      // Of a run of equal keys the stable order puts the last one in the document last.
      if (i + 1 < count && compare_keys(first[order_[i + 1]].key, first[k].key) == 0) {
        continue;
      }
      members.push_back(std::move(first[k]));
    }
    members_.erase(first, members_.end());
    add(Value(Object::from_sorted_members(std::move(members))));
  }

  // Requires: a whole document was read, so the one value is on the stack.
  [[nodiscard]] Value take() { return std::move(values_.back()); }

 private:
  // Puts a finished value where it belongs: into the member whose key came last when an object
  // is open, else onto the element stack (the document's value too).
  void add(Value value) {
    if (!in_object_.empty() && in_object_.back()) {
      members_.back().value = std::move(value);
    } else {
      values_.push_back(std::move(value));
    }
  }

  // Sets order_ to the positions 0 to count-1 of the members at `first`, stably sorted by key.
  // Sorting positions moves no strings; small objects, the usual case, take an insertion sort.
  void sort_keys(std::vector<Member>::iterator first, std::size_t count) {
    order_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      order_[i] = i;
    }
    auto less = [first](std::size_t a, std::size_t b) {
      return compare_keys(first[a].key, first[b].key) < 0;
    };
    if (count > 32) {
      std::stable_sort(order_.begin(), order_.end(), less);
      return;
    }
    for (std::size_t i = 1; i < count; ++i) {
      std::size_t k = order_[i];
      std::size_t j = i;
      while (j > 0 && less(k, order_[j - 1])) {
        order_[j] = order_[j - 1];
        --j;
      }
      order_[j] = k;
    }
  }

  std::vector<Value> values_;
  std::vector<Member> members_;
  std::vector<bool> in_object_;     // one entry per open array (false) or object (true)
  std::vector<std::size_t> order_;  // scratch of end_object
};

// The sink that only checks: it keeps nothing.
class CheckSink {
 public:
  static constexpr bool WANTS_VALUES = false;

  void on_null() {}
  void on_bool(bool) {}
  void on_unsigned(std::uint64_t) {}
  void on_signed(std::int64_t) {}
  void on_double(double) {}
  void on_string(std::string_view) {}
  void on_key(std::string_view) {}
  void begin_array() {}
  void end_array(std::size_t) {}
  void begin_object() {}
  void end_object(std::size_t) {}
};

// The decimal exponent of a number text's leading significant digit plus one, so that
// 10^(e-1) <= |x| < 10^e; only used to tell an overflow from an underflow, so the exponent is
// clamped far outside both limits. Requires: the text is a valid JSON number that is not zero.
std::int64_t decimal_magnitude(std::string_view text) {
  std::size_t i = 0;
  if (text[i] == '-') {
    ++i;
  }
  std::int64_t e = 0;
  if (text[i] == '0') {
    ++i;
    if (i < text.size() && text[i] == '.') {
      ++i;
      while (i < text.size() && text[i] == '0') {
        --e;
        ++i;
      }
    }
  } else {
    while (i < text.size() && is_digit(text[i])) {
      ++e;
      ++i;
    }
  }
  while (i < text.size() && text[i] != 'e' && text[i] != 'E') {
    ++i;
  }
  if (i == text.size()) {
    return e;
  }
  ++i;
  bool negative = false;
  if (text[i] == '-' || text[i] == '+') {
    negative = text[i] == '-';
    ++i;
  }
  std::int64_t exponent = 0;
  for (; i < text.size(); ++i) {
    exponent = std::min<std::int64_t>(exponent * 10 + (text[i] - '0'), 1'000'000'000);
  }
  return negative ? e - exponent : e + exponent;
}

template <class Sink>
class Parser {
 public:
  Parser(std::string_view text, Sink& sink)
      : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()), sink_(sink) {}

  [[nodiscard]] std::expected<void, ParseError> run() {
    if (!parse_value(0)) {
      return std::unexpected(error());
    }
    skip_whitespace();
    if (p_ != end_) {
      fail_at(p_, TRAILING_CHARACTERS);
      return std::unexpected(error());
    }
    return {};
  }

 private:
  // Every parse step returns false after recording its error with fail_at or fail_at_end; the
  // callers then return false at once, so the first error is the one reported.

  // Records an error found at the character whose first byte is at `c`.
  bool fail_at(const char* c, const char* message) {
    error_offset_ = static_cast<std::size_t>(c - begin_) + 1;
    error_message_ = message;
    return false;
  }
  // Records an error found because the text ended.
  bool fail_at_end(const char* message) {
    error_offset_ = static_cast<std::size_t>(end_ - begin_);
    error_message_ = message;
    return false;
  }

  // The recorded error with its line and column.
  [[nodiscard]] ParseError error() const {
    std::string_view before(begin_, error_offset_);
    std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    std::size_t last_line_feed = before.rfind('\n');
    std::size_t line_start = last_line_feed == std::string_view::npos ? 0 : last_line_feed + 1;
    return ParseError{error_message_, line, error_offset_ - line_start};
  }

  void skip_whitespace() {
    while (p_ != end_ && has_class(*p_, CLASS_WHITESPACE)) {
      ++p_;
    }
  }

  bool parse_value(std::size_t depth) {
    skip_whitespace();
    if (p_ == end_) {
      return fail_at_end(EOF_VALUE);
    }
    switch (*p_) {
      case '{':
        return parse_object(depth);
      case '[':
        return parse_array(depth);
      case '"':
        return parse_string(false);
      case 't':
        if (!parse_literal("true")) {
          return false;
        }
        sink_.on_bool(true);
        return true;
      case 'f':
        if (!parse_literal("false")) {
          return false;
        }
        sink_.on_bool(false);
        return true;
      case 'n':
        if (!parse_literal("null")) {
          return false;
        }
        sink_.on_null();
        return true;
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        return parse_number();
      default:
        return fail_at(p_, EXPECTED_VALUE);
    }
  }

  // Requires: p_ is at the literal's first character, which matches.
  bool parse_literal(std::string_view literal) {
    if (static_cast<std::size_t>(end_ - p_) >= literal.size() &&
        std::memcmp(p_, literal.data(), literal.size()) == 0) {
      p_ += literal.size();
      return true;
    }
    for (std::size_t i = 1; i < literal.size(); ++i) {
      if (p_ + i == end_) {
        return fail_at_end(EOF_VALUE);
      }
      if (p_[i] != literal[i]) {
        return fail_at(p_ + i, EXPECTED_IDENT);
      }
    }
    return true;  // not reached: the fast path above took the whole literal
  }

  // Requires: p_ is at '['. `depth` counts the arrays and objects around it.
  bool parse_array(std::size_t depth) {
    if (depth == MAX_NESTING) {
      return fail_at(p_, RECURSION_LIMIT);
    }
    ++p_;
    sink_.begin_array();
    skip_whitespace();
    if (p_ == end_) {
      return fail_at_end(EOF_LIST);
    }
    if (*p_ == ']') {
      ++p_;
      sink_.end_array(0);
      return true;
    }
    std::size_t count = 0;
    for (;;) {
      if (!parse_value(depth + 1)) {
        return false;
      }
      ++count;
      skip_whitespace();
      if (p_ == end_) {
        return fail_at_end(EOF_LIST);
      }
      if (*p_ == ',') {
        ++p_;
        skip_whitespace();
        if (p_ != end_ && *p_ == ']') {
          return fail_at(p_, TRAILING_COMMA);
        }
        continue;
      }
      if (*p_ == ']') {
        ++p_;
        sink_.end_array(count);
        return true;
      }
      return fail_at(p_, EXPECTED_LIST_END);
    }
  }

  // Requires: p_ is at '{'. `depth` counts the arrays and objects around it.
  bool parse_object(std::size_t depth) {
    if (depth == MAX_NESTING) {
      return fail_at(p_, RECURSION_LIMIT);
    }
    ++p_;
    sink_.begin_object();
    skip_whitespace();
    if (p_ == end_) {
      return fail_at_end(EOF_OBJECT);
    }
    if (*p_ == '}') {
      ++p_;
      sink_.end_object(0);
      return true;
    }
    std::size_t count = 0;
    for (;;) {
      // Here white space is skipped and the text goes on.
      if (*p_ != '"') {
        return fail_at(p_, KEY_MUST_BE_STRING);
      }
      if (!parse_string(true)) {
        return false;
      }
      skip_whitespace();
      if (p_ == end_) {
        return fail_at_end(EOF_OBJECT);
      }
      if (*p_ != ':') {
        return fail_at(p_, EXPECTED_COLON);
      }
      ++p_;
      if (!parse_value(depth + 1)) {
        return false;
      }
      ++count;
      skip_whitespace();
      if (p_ == end_) {
        return fail_at_end(EOF_OBJECT);
      }
      if (*p_ == ',') {
        ++p_;
        skip_whitespace();
        if (p_ == end_) {
          return fail_at_end(EOF_VALUE);
        }
        if (*p_ == '}') {
          return fail_at(p_, TRAILING_COMMA);
        }
        continue;
      }
      if (*p_ == '}') {
        ++p_;
        sink_.end_object(count);
        return true;
      }
      return fail_at(p_, EXPECTED_OBJECT_END);
    }
  }

  void deliver_string(bool is_key, std::string_view s) {
    if (is_key) {
      sink_.on_key(s);
    } else {
      sink_.on_string(s);
    }
  }

  // Requires: p_ is at the opening '"'.
  bool parse_string(bool is_key) {
    ++p_;
    const char* run = p_;
    const char* stop = find_string_stop(p_, end_);
    if (stop != end_ && *stop == '"') {
      p_ = stop + 1;
      deliver_string(is_key, std::string_view(run, static_cast<std::size_t>(stop - run)));
      return true;
    }
    // The string holds an escape or fails: decode it piece by piece.
    if constexpr (Sink::WANTS_VALUES) {
      scratch_.clear();
    }
    for (;;) {
      if constexpr (Sink::WANTS_VALUES) {
        scratch_.append(run, stop);
      }
      if (stop == end_) {
        return fail_at_end(EOF_STRING);
      }
      if (*stop == '"') {
        p_ = stop + 1;
        deliver_string(is_key, scratch_);
        return true;
      }
      if (*stop != '\\') {
        return fail_at(stop, CONTROL_CHARACTER);
      }
      p_ = stop + 1;
      if (!parse_escape()) {
        return false;
      }
      run = p_;
      stop = find_string_stop(p_, end_);
    }
  }

  // Requires: p_ is just past a backslash inside a string. Appends the character to scratch_.
  bool parse_escape() {
    if (p_ == end_) {
      return fail_at_end(EOF_STRING);
    }
    char decoded;
    switch (*p_) {
      case '"':
        decoded = '"';
        break;
      case '\\':
        decoded = '\\';
        break;
      case '/':
        decoded = '/';
        break;
      case 'b':
        decoded = '\b';
        break;
      case 'f':
        decoded = '\f';
        break;
      case 'n':
        decoded = '\n';
        break;
      case 'r':
        decoded = '\r';
        break;
      case 't':
        decoded = '\t';
        break;
      case 'u':
        ++p_;
        return parse_unicode_escape();
      default:
        return fail_at(p_, INVALID_ESCAPE);
    }
    ++p_;
    if constexpr (Sink::WANTS_VALUES) {
      scratch_.push_back(decoded);
    }
    return true;
  }

  // Requires: p_ is just past "\u". Reads four hexadecimal digits; nothing after an error.
  std::optional<std::uint32_t> parse_hex4() {
    if (end_ - p_ >= 4 && has_class(p_[0], CLASS_HEX) && has_class(p_[1], CLASS_HEX) &&
        has_class(p_[2], CLASS_HEX) && has_class(p_[3], CLASS_HEX)) {
      std::uint32_t unit = (hex_value(p_[0]) << 12) | (hex_value(p_[1]) << 8) |
                           (hex_value(p_[2]) << 4) | hex_value(p_[3]);
      p_ += 4;
      return unit;
    }
    // Not four hexadecimal digits: the error is at the fourth character, counted in characters
    // (a multi-byte character is one); with fewer than four left the string ended inside.
    const char* c = p_;
    const char* fourth = p_;
    for (int i = 0; i < 4; ++i) {
      if (c == end_) {
        fail_at_end(EOF_STRING);
        return std::nullopt;
      }
      fourth = c;
      ++c;
      while (c != end_ && is_continuation_byte(*c)) {
        ++c;
      }
    }
    fail_at(fourth, INVALID_ESCAPE);
    return std::nullopt;
  }

  // Requires: p_ is just past "\u". Appends the code point to scratch_.
  bool parse_unicode_escape() {
    std::optional<std::uint32_t> leading = parse_hex4();
    if (!leading) {
      return false;
    }
    std::uint32_t unit = *leading;
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return fail_at(p_ - 1, LONE_SURROGATE);
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      for (char expected : {'\\', 'u'}) {
        if (p_ == end_) {
          return fail_at_end(EOF_STRING);
        }
        if (*p_ != expected) {
          return fail_at(p_, UNEXPECTED_END_OF_HEX_ESCAPE);
        }
        ++p_;
      }
      std::optional<std::uint32_t> trailing = parse_hex4();
      if (!trailing) {
        return false;
      }
      if (*trailing < 0xDC00 || *trailing > 0xDFFF) {
        return fail_at(p_ - 1, LONE_SURROGATE);
      }
      unit = 0x10000 + ((unit - 0xD800) << 10) + (*trailing - 0xDC00);
    }
    if constexpr (Sink::WANTS_VALUES) {
      append_utf8(scratch_, unit);
    }
    return true;
  }

  // Requires: p_ is at '-' or a digit.
  bool parse_number() {
    const char* start = p_;
    bool negative = *p_ == '-';
    if (negative) {
      ++p_;
      if (p_ == end_) {
        return fail_at_end(EOF_VALUE);
      }
    }
    std::uint64_t magnitude = 0;
    bool integer_overflow = false;
    std::size_t integer_digits = 0;
    if (*p_ == '0') {
      ++p_;
      if (p_ != end_ && is_digit(*p_)) {
        return fail_at(p_, INVALID_NUMBER);
      }
    } else if (is_digit(*p_)) {
      const char* digits = p_;
      while (p_ != end_ && is_digit(*p_)) {
        auto d = static_cast<std::uint64_t>(*p_ - '0');
        integer_overflow |= __builtin_mul_overflow(magnitude, 10, &magnitude);
        integer_overflow |= __builtin_add_overflow(magnitude, d, &magnitude);
        ++p_;
      }
      integer_digits = static_cast<std::size_t>(p_ - digits);
    } else {
      return fail_at(p_, INVALID_NUMBER);
    }

    bool has_fraction = false;
    if (p_ != end_ && *p_ == '.') {
      has_fraction = true;
      ++p_;
      if (!skip_required_digits()) {
        return false;
      }
    }
    bool has_exponent = false;
    std::size_t exponent_digits = 0;
    if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
      has_exponent = true;
      ++p_;
      if (p_ != end_ && (*p_ == '+' || *p_ == '-')) {
        ++p_;
      }
      const char* digits = p_;
      if (!skip_required_digits()) {
        return false;
      }
      exponent_digits = static_cast<std::size_t>(p_ - digits);
    }

    if (!has_fraction && !has_exponent && !integer_overflow) {
      if (!negative) {
        sink_.on_unsigned(magnitude);
        return true;
      }
      if (magnitude == 0) {
        sink_.on_double(-0.0);
        return true;
      }
      if (magnitude <= (std::uint64_t{1} << 63)) {
        sink_.on_signed(static_cast<std::int64_t>(0 - magnitude));
        return true;
      }
    }
    // Below 10^300 in magnitude nothing can overflow, and the checking sink needs no value.
    if constexpr (!Sink::WANTS_VALUES) {
      if (integer_digits < 200 && (!has_exponent || exponent_digits <= 2)) {
        return true;
      }
    }
    return convert_double(start);
  }

  // Skips the digits after '.', 'e', 'E' or the exponent's sign; at least one must be there.
  bool skip_required_digits() {
    if (p_ == end_) {
      return fail_at_end(EOF_VALUE);
    }
    if (!is_digit(*p_)) {
      return fail_at(p_, INVALID_NUMBER);
    }
    while (p_ != end_ && is_digit(*p_)) {
      ++p_;
    }
    return true;
  }

  // Converts the number text [start, p_) to the nearest double.
  bool convert_double(const char* start) {
    double d = 0;
    auto [ptr, ec] = std::from_chars(start, p_, d);
    if (ec == std::errc::result_out_of_range) {
      std::string_view text(start, static_cast<std::size_t>(p_ - start));
      if (decimal_magnitude(text) > 0) {
        return fail_at(p_ - 1, NUMBER_OUT_OF_RANGE);
      }
      d = *start == '-' ? -0.0 : 0.0;
    }
    sink_.on_double(d);
    return true;
  }

  const char* begin_;
  const char* p_;
  const char* end_;
  Sink& sink_;
  std::string scratch_;  // the decoded text of a string with escapes
  std::size_t error_offset_ = 0;
  const char* error_message_ = "";
};

}  // namespace

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string ParseError::display() const {
  return message + " at line " + std::to_string(line) + " column " + std::to_string(column);
}

std::expected<Value, ParseError> parse(std::string_view text) {
  BuildSink sink;
  Parser<BuildSink> parser(text, sink);
  auto result = parser.run();
  if (!result) {
    return std::unexpected(std::move(result.error()));
  }
  return sink.take();
}

Document::Document(Document&& other) noexcept = default;
Document& Document::operator=(Document&& other) noexcept = default;
Document::~Document() = default;

std::expected<Document, ParseError> parse_document(std::string_view text,
                                                   std::pmr::memory_resource* upstream) {
  // A parsed document takes three to four times the size of its text; a first block of four
  // times holds most documents whole.
  constexpr std::size_t LARGEST_FIRST_BLOCK = std::size_t{1} << 30;
  const std::size_t first_block = text.size() < LARGEST_FIRST_BLOCK / 4
                                      ? std::max<std::size_t>(text.size() * 4, 4096)
                                      : LARGEST_FIRST_BLOCK;
  Document document;
  document.region_ = std::make_unique<Region>(upstream, first_block);
  RegionScope scope(*document.region_);
  BuildSink sink;
  Parser<BuildSink> parser(text, sink);
  auto result = parser.run();
  if (!result) {
    return std::unexpected(std::move(result.error()));
  }
  // The root lies in the region like everything under it, and like them is never destroyed.
  void* root = document.region_->allocate(sizeof(Value), alignof(Value));
  document.root_ = new (root) Value(sink.take());
  return document;
}

std::expected<void, ParseError> validate(std::string_view text) {
  CheckSink sink;
  Parser<CheckSink> parser(text, sink);
  return parser.run();
}

}  // namespace vardel::json
