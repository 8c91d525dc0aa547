// The compact JSON writer and the positional number text.

#include <array>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <variant>

#include "json/json.h"
#include "json/value.h"

namespace vardel::json {

namespace {

// A finite double as its shortest round-trip digits: |d| = 0.d1d2...dn × 10^point, with no
// leading or trailing zeros among the digits (zero is the single digit "0" with point 1).
struct Decimal {
  bool negative = false;
  int point = 0;
  std::size_t size = 0;
  std::array<char, 32> buffer{};  // the digits, then scratch

  [[nodiscard]] std::string_view digits() const { return {buffer.data(), size}; }
};

// Requires: d is finite.
Decimal to_decimal(double d) {
  Decimal dec;
  dec.negative = std::signbit(d);
  // The scientific form is d1[.d2...dn]e±x, the shortest digits that read back as d.
  auto [end, ec] = std::to_chars(dec.buffer.data(), dec.buffer.data() + dec.buffer.size(),
                                 std::fabs(d), std::chars_format::scientific);
  assert(ec == std::errc());
  std::string_view text(dec.buffer.data(), static_cast<std::size_t>(end - dec.buffer.data()));
  std::size_t e = text.find('e');
  int exponent = 0;
  const char* exponent_digits = text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0);
  std::from_chars(exponent_digits, text.data() + text.size(), exponent);
  // Squeeze out the decimal point in place: "1.25e+00" leaves the digits "125".
  for (char c : text.substr(0, e)) {
    if (c != '.') {
      dec.buffer[dec.size++] = c;
    }
  }
  dec.point = exponent + 1;
  return dec;
}

void append_positional_integer(std::string& out, const Decimal& dec) {
  out.append(dec.digits());
  out.append(static_cast<std::size_t>(dec.point) - dec.size, '0');
}

// Appends the value's magnitude in positional form, without a decimal point when it is integral.
void append_positional(std::string& out, const Decimal& dec) {
  auto n = static_cast<int>(dec.size);
  std::string_view digits = dec.digits();
  if (dec.point <= 0) {
    out.append("0.");
    out.append(static_cast<std::size_t>(-dec.point), '0');
    out.append(digits);
  } else if (dec.point >= n) {
    append_positional_integer(out, dec);
  } else {
    out.append(digits.substr(0, static_cast<std::size_t>(dec.point)));
    out.push_back('.');
    out.append(digits.substr(static_cast<std::size_t>(dec.point)));
  }
}

void append_compact_double(std::string& out, double d) {
  if (!std::isfinite(d)) {
    // A Value never holds one (the readers make null of them); JSON has no text for it.
    out.append("null");
    return;
  }
  Decimal dec = to_decimal(d);
  if (dec.negative) {
    out.push_back('-');
  }
  if (dec.point > -5 && dec.point <= 16) {
    append_positional(out, dec);
    if (dec.point >= static_cast<int>(dec.size)) {
      out.append(".0");
    }
    return;
  }
  out.push_back(dec.buffer[0]);
  if (dec.size > 1) {
    out.push_back('.');
    out.append(dec.digits().substr(1));
  }
  out.push_back('e');
  out.append(std::to_string(dec.point - 1));
}

template <class Integer>
void append_integer(std::string& out, Integer i) {
  std::array<char, 24> buffer{};
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), i);
  assert(ec == std::errc());
  out.append(buffer.data(), end);
}

void append_string(std::string& out, std::string_view s) {
  constexpr std::string_view HEX = "0123456789abcdef";
  out.push_back('"');
  for (char c : s) {
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out.append("\\u00");
          out.push_back(HEX[static_cast<unsigned char>(c) >> 4]);
          out.push_back(HEX[static_cast<unsigned char>(c) & 0xF]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
}

void append_compact(std::string& out, const Value& value) {
  std::visit(
      [&out](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::nullptr_t>) {
          out.append("null");
        } else if constexpr (std::is_same_v<T, bool>) {
          out.append(v ? "true" : "false");
        } else if constexpr (std::is_same_v<T, std::uint64_t> || std::is_same_v<T, std::int64_t>) {
          append_integer(out, v);
        } else if constexpr (std::is_same_v<T, double>) {
          append_compact_double(out, v);
        } else if constexpr (std::is_same_v<T, String>) {
          append_string(out, v);
        } else if constexpr (std::is_same_v<T, Array>) {
          out.push_back('[');
          for (std::size_t i = 0; i < v.size(); ++i) {
            if (i != 0) {
              out.push_back(',');
            }
            append_compact(out, v[i]);
          }
          out.push_back(']');
        } else {
          static_assert(std::is_same_v<T, Object>);
          out.push_back('{');
          bool first = true;
          for (const Member& m : v) {
            if (!first) {
              out.push_back(',');
            }
            first = false;
            append_string(out, m.key);
            out.push_back(':');
            append_compact(out, m.value);
          }
          out.push_back('}');
        }
      },
      value.data());
}

}  // namespace

std::string write_compact(const Value& value) {
  std::string out;
  append_compact(out, value);
  return out;
}

std::string number_text(double d) {
  if (!std::isfinite(d)) {
    return "null";  // unreachable from a Value, see append_compact_double
  }
  Decimal dec = to_decimal(d);
  std::string out;
  if (dec.negative) {
    out.push_back('-');
  }
  append_positional(out, dec);
  return out;
}

}  // namespace vardel::json
