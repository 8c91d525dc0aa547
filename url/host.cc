// Host parsing: IPv6 and IPv4 addresses, opaque hosts, and domains through IDNA (UTS #46).
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <unicode/uidna.h>

#include "url/url_internal.h"

namespace vardel::url::internal {
namespace {

using Ipv6 = std::array<std::uint16_t, 8>;

constexpr int END = -1;  // what `at` gives past the end of the text

int at(std::string_view text, std::size_t i) {
  return i < text.size() ? static_cast<unsigned char>(text[i]) : END;
}

bool is_ascii_digit(int c) {
  return c >= '0' && c <= '9';
}

int hex_value(int c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

constexpr ByteSet make_forbidden_host_set() {
  ByteSet set{};
  for (char c : std::string_view("\0\t\n\r #/:<>?@[\\]^|", 17)) {
    set[static_cast<unsigned char>(c)] = true;
  }
  return set;
}

constexpr ByteSet make_forbidden_domain_set() {
  ByteSet set = make_forbidden_host_set();
  for (int b = 0; b < 0x20; ++b) {
    set[b] = true;
  }
  set['%'] = true;
  set[0x7F] = true;
  return set;
}

constexpr ByteSet FORBIDDEN_HOST_SET = make_forbidden_host_set();
constexpr ByteSet FORBIDDEN_DOMAIN_SET = make_forbidden_domain_set();

// The errors the URL rules turn off: CheckHyphens and VerifyDnsLength are false for URLs.
constexpr std::uint32_t IGNORED_IDNA_ERRORS =
    UIDNA_ERROR_EMPTY_LABEL | UIDNA_ERROR_LABEL_TOO_LONG | UIDNA_ERROR_DOMAIN_NAME_TOO_LONG |
    UIDNA_ERROR_LEADING_HYPHEN | UIDNA_ERROR_TRAILING_HYPHEN | UIDNA_ERROR_HYPHEN_3_4;

struct IdnaCloser {
  void operator()(UIDNA* idna) const { uidna_close(idna); }
};
using IdnaHandle = std::unique_ptr<UIDNA, IdnaCloser>;

// The UTS #46 processor, opened on first use and shared by every thread: ICU's conversion
// functions take it as const and keep no state in it. Null when ICU cannot open it, and then
// every non-ASCII domain fails.
const UIDNA* idna() {
  static const IdnaHandle handle = [] {
    UErrorCode status = U_ZERO_ERROR;
    IdnaHandle opened(uidna_openUTS46(UIDNA_CHECK_BIDI | UIDNA_CHECK_CONTEXTJ |
                                          UIDNA_NONTRANSITIONAL_TO_ASCII |
                                          UIDNA_NONTRANSITIONAL_TO_UNICODE,
                                      &status));
    if (U_FAILURE(status)) {
      opened.reset();
    }
    return opened;
  }();
  return handle.get();
}

// Characters whose IDNA handling changed after Unicode 15.0, the version of the ICU data here:
// the exceptions kept for compatibility with IDNA2003 were dropped, so these now map like their
// case-folded, normalized forms; and some default-ignorable characters, which ICU refuses, are now
// ignored. Rewriting them before ICU runs gives ICU text it treats as the current tables do.
struct IdnaUpdate {
  char32_t first;
  char32_t last;
  char32_t target;  // what `first` becomes, the rest of the range following in order; 0 removes
};

constexpr IdnaUpdate IDNA_UPDATES[] = {
    {0x04C0, 0x04C0, 0x04CF},    // CYRILLIC LETTER PALOCHKA
    {0x10A0, 0x10C5, 0x2D00},    // GEORGIAN CAPITAL LETTER AN..HOE
    {0x115F, 0x1160, 0},         // HANGUL CHOSEONG FILLER, JUNGSEONG FILLER
    {0x17B4, 0x17B5, 0},         // KHMER VOWEL INHERENT AQ, AA
    {0x180E, 0x180E, 0},         // MONGOLIAN VOWEL SEPARATOR
    {0x1E9E, 0x1E9E, 0x00DF},    // LATIN CAPITAL LETTER SHARP S (was "ss")
    {0x206A, 0x206F, 0},         // INHIBIT SYMMETRIC SWAPPING..NOMINAL DIGIT SHAPES
    {0x2132, 0x2132, 0x214E},    // TURNED CAPITAL F
    {0x2183, 0x2183, 0x2184},    // ROMAN NUMERAL REVERSED ONE HUNDRED
    {0x3164, 0x3164, 0},         // HANGUL FILLER
    {0xFFA0, 0xFFA0, 0},         // HALFWIDTH HANGUL FILLER
    {0x1D173, 0x1D17A, 0},       // MUSICAL SYMBOL BEGIN BEAM..END PHRASE
    {0x2F868, 0x2F868, 0x36FC},  // CJK COMPATIBILITY IDEOGRAPHs with corrected decompositions
    {0x2F874, 0x2F874, 0x5F53}, {0x2F91F, 0x2F91F, 0x243AB},
    {0x2F95F, 0x2F95F, 0x7AEE}, {0x2F9BF, 0x2F9BF, 0x45D7},
};

// The code point of the well-formed UTF-8 sequence at text[i], which is `length` bytes long.
char32_t decode_utf8(std::string_view text, std::size_t i, std::size_t length) {
  const auto byte = [&](std::size_t k) {
    return static_cast<char32_t>(static_cast<unsigned char>(text[i + k]));
  };
  switch (length) {
    case 1:
      return byte(0);
    case 2:
      return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3:
      return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    default:
      return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
             (byte(3) & 0x3F);
  }
}

std::size_t utf8_length(unsigned char lead) {
  return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// The domain with the updates above applied. Requires: `domain` is well-formed UTF-8.
std::string apply_idna_updates(std::string domain) {
  std::string out;
  bool changed = false;
  for (std::size_t i = 0; i < domain.size();) {
    const std::size_t length = utf8_length(static_cast<unsigned char>(domain[i]));
    const char32_t cp = decode_utf8(domain, i, length);
    const IdnaUpdate* update = nullptr;
    if (cp >= IDNA_UPDATES[0].first) {
      for (const IdnaUpdate& u : IDNA_UPDATES) {
        if (cp >= u.first && cp <= u.last) {
          update = &u;
          break;
        }
      }
    }
    if (update != nullptr && !changed) {
      out.assign(domain, 0, i);
      changed = true;
    }
    if (update != nullptr) {
      if (update->target != 0) {
        append_utf8(out, update->target + (cp - update->first));
      }
    } else if (changed) {
      out.append(domain, i, length);
    }
    i += length;
  }
  return changed ? out : domain;
}

struct IdnaResult {
  std::string ascii;
  std::uint32_t errors = 0;  // UIDNA_ERROR_* bits
};

// One UTS #46 ToASCII call with the URL rules' options; nullopt when ICU fails outright, as it
// does for a label of more than 1000 code points to Punycode-encode (ICU bounds its encoder).
std::optional<IdnaResult> run_idna(std::string_view domain) {
  const UIDNA* processor = idna();
  if (processor == nullptr || domain.size() > INT32_MAX / 4) {
    return std::nullopt;
  }
  std::string out(domain.size() + domain.size() / 2 + 32, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    UIDNAInfo info{};
    info.size = static_cast<std::int16_t>(sizeof(UIDNAInfo));
    const std::int32_t length =
        uidna_nameToASCII_UTF8(processor, domain.data(), static_cast<std::int32_t>(domain.size()),
                               out.data(), static_cast<std::int32_t>(out.size()), &info, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR && attempt == 0) {
      out.assign(static_cast<std::size_t>(length), '\0');
      continue;
    }
    if (U_FAILURE(status) || length < 0) {
      return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(length));
    return IdnaResult{std::move(out), info.errors};
  }
  return std::nullopt;
}

// ICU rewrites each converted label in place, which makes one call on a domain of many non-ASCII
// labels cost time quadratic in its length. A longer domain is converted in pieces of whole
// labels instead; only the Bidi rule looks beyond a label, and it is checked across pieces below.
constexpr std::size_t IDNA_PIECE_BYTES = 2048;

// The domain cut at "." into pieces of whole labels, each at most IDNA_PIECE_BYTES long unless
// one label is longer. The views point into `domain`.
std::vector<std::string_view> split_into_pieces(std::string_view domain) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (domain.size() - start > IDNA_PIECE_BYTES) {
    std::size_t cut = domain.rfind('.', start + IDNA_PIECE_BYTES);
    if (cut == std::string_view::npos || cut < start) {
      cut = domain.find('.', start + IDNA_PIECE_BYTES);
      if (cut == std::string_view::npos) {
        break;
      }
    }
    pieces.push_back(domain.substr(start, cut - start));
    start = cut + 1;
  }
  pieces.push_back(domain.substr(start));
  return pieces;
}

// Whether ToASCII reports a Bidi error for `text`; a failed call counts as one.
bool has_bidi_error(const std::string& text) {
  const std::optional<IdnaResult> result = run_idna(text);
  return !result || (result->errors & UIDNA_ERROR_BIDI) != 0;
}

// UTS #46 ToASCII of a non-ASCII domain, with the URL rules' options; nullopt on any error that
// the URL rules do not ignore.
std::optional<std::string> idna_to_ascii(std::string_view domain) {
  if (domain.size() <= IDNA_PIECE_BYTES) {
    std::optional<IdnaResult> result = run_idna(domain);
    if (!result || (result->errors & ~IGNORED_IDNA_ERRORS) != 0) {
      return std::nullopt;
    }
    return std::move(result->ascii);
  }
  const std::vector<std::string_view> pieces = split_into_pieces(domain);
  std::string out;
  std::vector<bool> bidi_pieces;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) {
      out += '.';
    }
    if (pieces[i].empty()) {
      bidi_pieces.push_back(false);
      continue;
    }
    std::optional<IdnaResult> result = run_idna(pieces[i]);
    if (!result || (result->errors & ~IGNORED_IDNA_ERRORS) != 0) {
      return std::nullopt;
    }
    out += result->ascii;
    // A label "1" breaks the Bidi rule exactly when the piece holds a right-to-left label; the
    // piece itself has passed it.
    bidi_pieces.push_back(has_bidi_error(std::string(pieces[i]) + ".1"));
  }
  // In a domain with a right-to-left label every label must pass the Bidi rule, also those in
  // pieces without one: check each such piece beside a right-to-left label (U+05D0).
  if (std::ranges::find(bidi_pieces, true) != bidi_pieces.end()) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (!bidi_pieces[i] && !pieces[i].empty() &&
          has_bidi_error(std::string(pieces[i]) + ".\xD7\x90")) {
        return std::nullopt;
      }
    }
  }
  return out;
}

std::optional<Ipv6> parse_ipv6(std::string_view in) {
  Ipv6 address{};
  int piece_index = 0;
  std::optional<int> compress;
  std::size_t p = 0;
  if (at(in, p) == ':') {
    if (at(in, p + 1) != ':') {
      return std::nullopt;
    }
    p += 2;
    compress = ++piece_index;
  }
  while (at(in, p) != END) {
    if (piece_index == 8) {
      return std::nullopt;
    }
    if (at(in, p) == ':') {
      if (compress) {
        return std::nullopt;
      }
      ++p;
      compress = ++piece_index;
      continue;
    }
    int value = 0;
    int length = 0;
    while (length < 4 && hex_value(at(in, p)) >= 0) {
      value = value * 0x10 + hex_value(at(in, p));
      ++p;
      ++length;
    }
    if (at(in, p) == '.') {
      // An IPv4 address in the last two pieces.
      if (length == 0 || piece_index > 6) {
        return std::nullopt;
      }
      p -= static_cast<std::size_t>(length);
      int numbers_seen = 0;
      while (at(in, p) != END) {
        if (numbers_seen > 0) {
          if (at(in, p) != '.' || numbers_seen >= 4) {
            return std::nullopt;
          }
          ++p;
        }
        if (!is_ascii_digit(at(in, p))) {
          return std::nullopt;
        }
        int ipv4_piece = -1;
        while (is_ascii_digit(at(in, p))) {
          const int number = at(in, p) - '0';
          if (ipv4_piece == -1) {
            ipv4_piece = number;
          } else if (ipv4_piece == 0) {
            return std::nullopt;  // a leading zero
          } else {
            ipv4_piece = ipv4_piece * 10 + number;
          }
          if (ipv4_piece > 255) {
            return std::nullopt;
          }
          ++p;
        }
        address[piece_index] =
            static_cast<std::uint16_t>(address[piece_index] * 0x100 + ipv4_piece);
        ++numbers_seen;
        if (numbers_seen == 2 || numbers_seen == 4) {
          ++piece_index;
        }
      }
      if (numbers_seen != 4) {
        return std::nullopt;
      }
      break;
    }
    if (at(in, p) == ':') {
      ++p;
      if (at(in, p) == END) {
        return std::nullopt;
      }
    } else if (at(in, p) != END) {
      return std::nullopt;
    }
    address[piece_index] = static_cast<std::uint16_t>(value);
    ++piece_index;
  }
  if (compress) {
    int swaps = piece_index - *compress;
    piece_index = 7;
    while (piece_index != 0 && swaps > 0) {
      std::swap(address[piece_index], address[*compress + swaps - 1]);
      --piece_index;
      --swaps;
    }
  } else if (piece_index != 8) {
    return std::nullopt;
  }
  return address;
}

// The first piece of the longest run of two or more zero pieces (the first such run on a tie).
std::optional<int> compressed_piece_index(const Ipv6& address) {
  std::optional<int> longest_index;
  int longest_size = 1;
  std::optional<int> found_index;
  int found_size = 0;
  for (int i = 0; i < 8; ++i) {
    if (address[i] != 0) {
      if (found_size > longest_size) {
        longest_index = found_index;
        longest_size = found_size;
      }
      found_index.reset();
      found_size = 0;
    } else {
      if (!found_index) {
        found_index = i;
      }
      ++found_size;
    }
  }
  return found_size > longest_size ? found_index : longest_index;
}

std::string serialize_ipv6(const Ipv6& address) {
  constexpr std::string_view HEX = "0123456789abcdef";
  std::string out = "[";
  const std::optional<int> compress = compressed_piece_index(address);
  bool ignore0 = false;
  for (int i = 0; i < 8; ++i) {
    if (ignore0 && address[i] == 0) {
      continue;
    }
    ignore0 = false;
    if (compress == i) {
      out += i == 0 ? "::" : ":";
      ignore0 = true;
      continue;
    }
    bool leading = true;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const int digit = (address[i] >> shift) & 0xF;
      if (digit != 0 || !leading || shift == 0) {
        out += HEX[digit];
        leading = false;
      }
    }
    if (i != 7) {
      out += ':';
    }
  }
  out += ']';
  return out;
}

// Above any value an IPv4 part can take; larger numbers are held at this value so that they
// cannot overflow and still fail the range checks.
constexpr std::uint64_t IPV4_NUMBER_CAP = std::uint64_t{1} << 33;

// A decimal, octal ("0" prefix) or hexadecimal ("0x" prefix) number; nullopt when it is none.
std::optional<std::uint64_t> parse_ipv4_number(std::string_view in) {
  if (in.empty()) {
    return std::nullopt;
  }
  int radix = 10;
  if (in.size() >= 2 && in[0] == '0' && (in[1] == 'x' || in[1] == 'X')) {
    in.remove_prefix(2);
    radix = 16;
  } else if (in.size() >= 2 && in[0] == '0') {
    in.remove_prefix(1);
    radix = 8;
  }
  std::uint64_t value = 0;
  for (char c : in) {
    const int digit = hex_value(static_cast<unsigned char>(c));
    if (digit < 0 || digit >= radix) {
      return std::nullopt;
    }
    value = std::min(value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit),
                     IPV4_NUMBER_CAP);
  }
  return value;
}

// Whether the domain's last label (a trailing "." aside) is a number, making it an IPv4 address.
bool ends_in_a_number(std::string_view domain) {
  if (!domain.empty() && domain.back() == '.') {
    domain.remove_suffix(1);
  }
  const std::size_t dot = domain.rfind('.');
  const std::string_view last = dot == std::string_view::npos ? domain : domain.substr(dot + 1);
  if (!last.empty() && std::ranges::all_of(last, [](char c) { return is_ascii_digit(c); })) {
    return true;
  }
  return parse_ipv4_number(last).has_value();
}

std::optional<std::uint32_t> parse_ipv4(std::string_view in) {
  if (!in.empty() && in.back() == '.') {
    in.remove_suffix(1);
  }
  std::array<std::uint64_t, 4> numbers{};
  std::size_t count = 0;
  for (std::size_t start = 0;;) {
    if (count == 4) {
      return std::nullopt;  // more than four parts
    }
    const std::size_t dot = in.find('.', start);
    const std::optional<std::uint64_t> number =
        parse_ipv4_number(in.substr(start, dot == std::string_view::npos ? dot : dot - start));
    if (!number) {
      return std::nullopt;
    }
    numbers[count++] = *number;
    if (dot == std::string_view::npos) {
      break;
    }
    start = dot + 1;
  }
  for (std::size_t i = 0; i + 1 < count; ++i) {
    if (numbers[i] > 255) {
      return std::nullopt;
    }
  }
  const std::uint64_t last = numbers[count - 1];
  if (last >= (std::uint64_t{1} << (8 * (5 - count)))) {
    return std::nullopt;
  }
  std::uint64_t ipv4 = last;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    ipv4 += numbers[i] << (8 * (3 - i));
  }
  return static_cast<std::uint32_t>(ipv4);
}

std::string serialize_ipv4(std::uint32_t address) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    out += std::to_string((address >> shift) & 0xFF);
    if (shift != 0) {
      out += '.';
    }
  }
  return out;
}

std::optional<std::string> parse_opaque_host(std::string_view in) {
  if (std::ranges::any_of(
          in, [](char c) { return FORBIDDEN_HOST_SET[static_cast<unsigned char>(c)]; })) {
    return std::nullopt;
  }
  std::string out;
  append_percent_encoded(out, in, C0_CONTROL_SET);
  return out;
}

std::string percent_decode(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '%' && hex_value(at(in, i + 1)) >= 0 && hex_value(at(in, i + 2)) >= 0) {
      out += static_cast<char>(hex_value(at(in, i + 1)) * 16 + hex_value(at(in, i + 2)));
      i += 2;
    } else {
      out += in[i];
    }
  }
  return out;
}

// The domain parser with beStrict false: an ASCII domain is only lower-cased (whatever ToASCII
// would make of it), any other goes through UTS #46 ToASCII.
std::optional<std::string> parse_domain(std::string domain) {
  const bool ascii =
      std::ranges::all_of(domain, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) {
    for (char& c : domain) {
      if (c >= 'A' && c <= 'Z') {
        c = static_cast<char>(c - 'A' + 'a');
      }
    }
  } else {
    // A byte sequence that is not UTF-8 decodes to U+FFFD, which ToASCII always refuses.
    if (!is_valid_utf8(domain)) {
      return std::nullopt;
    }
    std::optional<std::string> converted = idna_to_ascii(apply_idna_updates(std::move(domain)));
    if (!converted) {
      return std::nullopt;
    }
    domain = std::move(*converted);
  }
  if (domain.empty()) {
    return std::nullopt;
  }
  for (char c : domain) {
    const auto b = static_cast<unsigned char>(c);
    if (FORBIDDEN_DOMAIN_SET[b] || b >= 0x80) {
      return std::nullopt;
    }
  }
  return domain;
}

}  // namespace

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::optional<std::string> parse_host(std::string_view input, bool is_opaque) {
  if (!input.empty() && input.front() == '[') {
    if (input.back() != ']' || input.size() < 2) {
      return std::nullopt;
    }
    const std::optional<Ipv6> address = parse_ipv6(input.substr(1, input.size() - 2));
    if (!address) {
      return std::nullopt;
    }
    return serialize_ipv6(*address);
  }
  if (is_opaque) {
    return parse_opaque_host(input);
  }
  std::optional<std::string> domain = parse_domain(
      input.find('%') == std::string_view::npos ? std::string(input) : percent_decode(input));
  if (!domain) {
    return std::nullopt;
  }
  if (ends_in_a_number(*domain)) {
    const std::optional<std::uint32_t> address = parse_ipv4(*domain);
    if (!address) {
      return std::nullopt;
    }
    return serialize_ipv4(*address);
  }
  return domain;
}

}  // namespace vardel::url::internal
