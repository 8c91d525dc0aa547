// The basic URL parser for absolute URLs (no base URL, no state override) and the URL serializer.
//
// The parser works on UTF-8 bytes rather than code points: every character that steers it is
// ASCII, and every byte of a multi-byte sequence is in every percent-encode set, so encoding byte
// by byte gives the same text as encoding code point by code point.
#include "url/url.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "url/url_internal.h"

namespace vardel::url {
namespace internal {

void append_percent_encoded(std::string& out, std::string_view text, const ByteSet& set) {
  constexpr std::string_view HEX = "0123456789ABCDEF";
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t start = i;
    while (i < text.size() && !set[static_cast<unsigned char>(text[i])]) {
      ++i;
    }
    out.append(text, start, i - start);
    if (i < text.size()) {
      const auto b = static_cast<unsigned char>(text[i]);
      out += '%';
      out += HEX[b >> 4];
      out += HEX[b & 0xF];
      ++i;
    }
  }
}

namespace {

// The length of the well-formed UTF-8 sequence at text[i], or, when there is none, minus the
// length of the ill-formed prefix that one U+FFFD replaces (the maximal subpart).
int utf8_sequence_length(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) {
    return 1;
  }
  int needed = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    needed = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    needed = 2;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    needed = 3;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
  } else {
    return -1;
  }
  for (int k = 1; k <= needed; ++k) {
    if (i + k >= text.size()) {
      return -k;
    }
    const auto b = static_cast<unsigned char>(text[i + k]);
    if (b < low || b > high) {
      return -k;
    }
    low = 0x80;
    high = 0xBF;
  }
  return needed + 1;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const int length = utf8_sequence_length(text, i);
    if (length < 0) {
      return false;
    }
    i += static_cast<std::size_t>(length);
  }
  return true;
}

std::string replace_invalid_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size();) {
    const int length = utf8_sequence_length(text, i);
    if (length > 0) {
      out.append(text, i, static_cast<std::size_t>(length));
      i += static_cast<std::size_t>(length);
    } else {
      out += "\xEF\xBF\xBD";
      i += static_cast<std::size_t>(-length);
    }
  }
  return out;
}

}  // namespace internal

namespace {

using internal::append_percent_encoded;

constexpr int END = -1;  // what `Parser::at` gives past the end of the input

bool is_ascii_alpha(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool is_scheme_char(int c) {
  return is_ascii_alpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (ascii_lower(text[i]) != lower[i]) {
      return false;
    }
  }
  return true;
}

bool is_single_dot_segment(std::string_view s) {
  return s == "." || equals_ignoring_case(s, "%2e");
}

bool is_double_dot_segment(std::string_view s) {
  return s == ".." || equals_ignoring_case(s, ".%2e") || equals_ignoring_case(s, "%2e.") ||
         equals_ignoring_case(s, "%2e%2e");
}

bool is_windows_drive_letter(std::string_view s) {
  return s.size() == 2 && is_ascii_alpha(static_cast<unsigned char>(s[0])) &&
         (s[1] == ':' || s[1] == '|');
}

bool is_normalized_windows_drive_letter(std::string_view s) {
  return is_windows_drive_letter(s) && s[1] == ':';
}

std::string_view trim_controls_and_spaces(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 0x20) {
    s.remove_prefix(1);
  }
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) {
    s.remove_suffix(1);
  }
  return s;
}

bool is_tab_or_newline(char c) {
  return c == '\t' || c == '\n' || c == '\r';
}

// The text without its tabs and newlines and with invalid UTF-8 replaced, or nullopt when it has
// neither and can be parsed as it is.
std::optional<std::string> rewrite_input(std::string_view text) {
  bool has_tab_or_newline = false;
  bool ascii = true;
  for (char c : text) {
    has_tab_or_newline |= is_tab_or_newline(c);
    ascii &= static_cast<unsigned char>(c) < 0x80;
  }
  const bool valid = ascii || internal::is_valid_utf8(text);
  if (!has_tab_or_newline && valid) {
    return std::nullopt;
  }
  std::string out = valid ? std::string(text) : internal::replace_invalid_utf8(text);
  std::erase_if(out, is_tab_or_newline);
  return out;
}

struct SchemeKind {
  bool special = false;
  bool file = false;
  std::optional<std::uint16_t> default_port;
};

SchemeKind scheme_kind(std::string_view scheme) {
  if (scheme == "http" || scheme == "ws") {
    return {true, false, 80};
  }
  if (scheme == "https" || scheme == "wss") {
    return {true, false, 443};
  }
  if (scheme == "ftp") {
    return {true, false, 21};
  }
  if (scheme == "file") {
    return {true, true, std::nullopt};
  }
  return {};
}

// One run of the state machine over prepared input. The member functions follow its states;
// each returns false when the input is not a URL, and leaves `pos_` where the next state starts.
class Parser {
 public:
  // `input` must outlive the parser.
  explicit Parser(std::string_view input) : in_(input) {}

  std::optional<Url> run() {
    if (!parse_scheme()) {
      return std::nullopt;
    }
    if (kind_.file) {
      if (!parse_file()) {
        return std::nullopt;
      }
    } else if (kind_.special) {
      // Any run of slashes and backslashes may stand for the "//".
      while (at(pos_) == '/' || at(pos_) == '\\') {
        ++pos_;
      }
      if (!parse_authority()) {
        return std::nullopt;
      }
      parse_path_start();
    } else if (at(pos_) == '/' && at(pos_ + 1) == '/') {
      pos_ += 2;
      if (!parse_authority()) {
        return std::nullopt;
      }
      parse_path_start();
    } else if (at(pos_) == '/') {
      ++pos_;
      parse_path("");
    } else {
      url_.opaque_path = true;
      parse_opaque_path();
    }
    if (at(pos_) == '?') {
      ++pos_;
      parse_query();
    }
    if (at(pos_) == '#') {
      ++pos_;
      url_.fragment.emplace();
      append_percent_encoded(*url_.fragment, in_.substr(pos_), internal::FRAGMENT_SET);
    }
    return std::move(url_);
  }

 private:
  int at(std::size_t i) const { return i < in_.size() ? static_cast<unsigned char>(in_[i]) : END; }

  bool is_slash(int c) const { return c == '/' || (kind_.special && c == '\\'); }

  // Ends the authority, the host, the port and a path segment.
  bool is_authority_end(int c) const { return c == END || c == '?' || c == '#' || is_slash(c); }

  [[nodiscard]] bool parse_scheme() {
    if (!is_ascii_alpha(at(0))) {
      return false;
    }
    std::size_t end = 1;
    while (is_scheme_char(at(end))) {
      ++end;
    }
    if (at(end) != ':') {
      return false;
    }
    url_.scheme.reserve(end);
    for (char c : in_.substr(0, end)) {
      url_.scheme += ascii_lower(c);
    }
    kind_ = scheme_kind(url_.scheme);
    pos_ = end + 1;
    return true;
  }

  // From after the "//" to the end of the port: the credentials before the last "@", the host and
  // the port.
  [[nodiscard]] bool parse_authority() {
    std::size_t end = pos_;
    std::size_t last_at = std::string_view::npos;
    while (!is_authority_end(at(end))) {
      if (in_[end] == '@') {
        last_at = end;
      }
      ++end;
    }
    if (last_at != std::string_view::npos) {
      // The first ":" splits the credentials; any later ":" or "@" is encoded as data.
      const std::string_view credentials = in_.substr(pos_, last_at - pos_);
      const std::size_t colon = credentials.find(':');
      append_percent_encoded(url_.username, credentials.substr(0, colon), internal::USERINFO_SET);
      if (colon != std::string_view::npos) {
        append_percent_encoded(url_.password, credentials.substr(colon + 1),
                               internal::USERINFO_SET);
      }
      pos_ = last_at + 1;
      if (pos_ == end) {
        return false;  // credentials without a host
      }
    }
    return parse_host_and_port(end);
  }

  [[nodiscard]] bool parse_host_and_port(std::size_t end) {
    std::size_t host_end = pos_;
    bool inside_brackets = false;
    for (; host_end < end; ++host_end) {
      const char c = in_[host_end];
      if (c == ':' && !inside_brackets) {
        break;
      }
      if (c == '[') {
        inside_brackets = true;
      } else if (c == ']') {
        inside_brackets = false;
      }
    }
    const std::string_view host_text = in_.substr(pos_, host_end - pos_);
    const bool has_port = host_end < end;
    if (host_text.empty() && (has_port || kind_.special)) {
      return false;
    }
    std::optional<std::string> host = internal::parse_host(host_text, !kind_.special);
    if (!host) {
      return false;
    }
    url_.host = std::move(host);
    pos_ = end;
    return !has_port || parse_port(in_.substr(host_end + 1, end - host_end - 1));
  }

  [[nodiscard]] bool parse_port(std::string_view digits) {
    if (digits.empty()) {
      return true;
    }
    std::uint32_t port = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') {
        return false;
      }
      port = port * 10 + static_cast<std::uint32_t>(c - '0');
      if (port > 0xFFFF) {
        return false;
      }
    }
    if (port != kind_.default_port) {
      url_.port = static_cast<std::uint16_t>(port);
    }
    return true;
  }

  // From after "file:". The host is empty unless two slashes bring one.
  [[nodiscard]] bool parse_file() {
    url_.host.emplace();
    if (!is_slash(at(pos_)) || !is_slash(at(pos_ + 1))) {
      if (is_slash(at(pos_))) {
        ++pos_;
      }
      parse_path("");
      return true;
    }
    pos_ += 2;
    std::size_t end = pos_;
    while (!is_authority_end(at(end))) {
      ++end;
    }
    const std::string_view host_text = in_.substr(pos_, end - pos_);
    pos_ = end;
    if (is_windows_drive_letter(host_text)) {
      // "file://C:/x": the drive letter is the first path segment, not a host.
      parse_path(host_text);
      return true;
    }
    if (!host_text.empty()) {
      std::optional<std::string> host = internal::parse_host(host_text, false);
      if (!host) {
        return false;
      }
      if (*host == "localhost") {
        host->clear();
      }
      url_.host = std::move(host);
    }
    parse_path_start();
    return true;
  }

  void parse_path_start() {
    const int c = at(pos_);
    if (kind_.special) {
      if (is_slash(c)) {
        ++pos_;
      }
      parse_path("");
      return;
    }
    if (c == END || c == '?' || c == '#') {
      return;
    }
    if (c == '/') {
      ++pos_;
    }
    parse_path("");
  }

  // The segments up to "?", "#" or the end, the first one starting with `first`.
  void parse_path(std::string_view first) {
    std::string& path = url_.path;
    std::size_t segment_start = path.size();
    path += '/';
    path += first;
    while (true) {
      const int c = at(pos_);
      if (c == END || c == '?' || c == '#' || is_slash(c)) {
        const bool slash = is_slash(c);
        end_segment(segment_start, slash);
        if (!slash) {
          return;
        }
        ++pos_;
        segment_start = path.size();
        path += '/';
        continue;
      }
      const std::size_t start = pos_;
      while (pos_ < in_.size() && is_plain_path_byte(in_[pos_])) {
        ++pos_;
      }
      if (pos_ == start) {
        ++pos_;
      }
      append_percent_encoded(path, in_.substr(start, pos_ - start), internal::PATH_SET);
    }
  }

  bool is_plain_path_byte(char c) const {
    return !internal::PATH_SET[static_cast<unsigned char>(c)] && c != '/' &&
           !(kind_.special && c == '\\');
  }

  // The segment written from `segment_start` is complete: resolve "." and "..", and write a
  // file URL's leading drive letter with ":".
  void end_segment(std::size_t segment_start, bool slash_follows) {
    std::string& path = url_.path;
    const std::string_view segment = std::string_view(path).substr(segment_start + 1);
    if (is_double_dot_segment(segment)) {
      path.resize(segment_start);
      shorten_path();
      if (!slash_follows) {
        path += '/';
        ++segment_count_;
      }
    } else if (is_single_dot_segment(segment)) {
      path.resize(segment_start);
      if (!slash_follows) {
        path += '/';
        ++segment_count_;
      }
    } else {
      if (kind_.file && segment_count_ == 0 && is_windows_drive_letter(segment)) {
        path[segment_start + 2] = ':';
      }
      ++segment_count_;
    }
  }

  void shorten_path() {
    std::string& path = url_.path;
    if (segment_count_ == 0) {
      return;
    }
    if (kind_.file && segment_count_ == 1 &&
        is_normalized_windows_drive_letter(std::string_view(path).substr(1))) {
      return;
    }
    path.resize(path.rfind('/'));
    --segment_count_;
  }

  void parse_opaque_path() {
    while (true) {
      const int c = at(pos_);
      if (c == END || c == '?' || c == '#') {
        return;
      }
      if (c == ' ') {
        // A space before the query or fragment is encoded so that it survives a round trip.
        const int next = at(pos_ + 1);
        url_.path += next == '?' || next == '#' ? "%20" : " ";
        ++pos_;
        continue;
      }
      const std::size_t start = pos_;
      while (pos_ < in_.size() && in_[pos_] != '?' && in_[pos_] != '#' && in_[pos_] != ' ') {
        ++pos_;
      }
      append_percent_encoded(url_.path, in_.substr(start, pos_ - start), internal::C0_CONTROL_SET);
    }
  }

  void parse_query() {
    std::size_t end = in_.find('#', pos_);
    if (end == std::string_view::npos) {
      end = in_.size();
    }
    url_.query.emplace();
    append_percent_encoded(*url_.query, in_.substr(pos_, end - pos_),
                           kind_.special ? internal::SPECIAL_QUERY_SET : internal::QUERY_SET);
    pos_ = end;
  }

  std::string_view in_;
  std::size_t pos_ = 0;
  Url url_;
  SchemeKind kind_;
  std::size_t segment_count_ = 0;
};

}  // namespace

std::vector<std::string_view> Url::path_segments() const {
  std::vector<std::string_view> segments;
  if (opaque_path) {
    return segments;
  }
  const std::string_view rest(path);
  for (std::size_t slash = rest.find('/'); slash != std::string_view::npos;) {
    const std::size_t next = rest.find('/', slash + 1);
    segments.push_back(
        rest.substr(slash + 1, next == std::string_view::npos ? next : next - slash - 1));
    slash = next;
  }
  return segments;
}

std::string Url::href() const {
  std::string out;
  out.reserve(scheme.size() + username.size() + password.size() + path.size() + 16 +
              (host ? host->size() : 0) + (query ? query->size() : 0) +
              (fragment ? fragment->size() : 0));
  out += scheme;
  out += ':';
  if (host) {
    out += "//";
    if (!username.empty() || !password.empty()) {
      out += username;
      if (!password.empty()) {
        out += ':';
        out += password;
      }
      out += '@';
    }
    out += *host;
    if (port) {
      out += ':';
      out += std::to_string(*port);
    }
  } else if (!opaque_path && path.starts_with("//")) {
    // Without "/." the empty first segment would read back as an empty host.
    out += "/.";
  }
  out += path;
  if (query) {
    out += '?';
    out += *query;
  }
  if (fragment) {
    out += '#';
    out += *fragment;
  }
  return out;
}

std::optional<Url> parse(std::string_view input) {
  const std::string_view trimmed = trim_controls_and_spaces(input);
  const std::optional<std::string> rewritten = rewrite_input(trimmed);
  Parser parser(rewritten ? std::string_view(*rewritten) : trimmed);
  return parser.run();
}

}  // namespace vardel::url
