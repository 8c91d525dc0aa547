// A small JSON reader for the URL tests' data files: arrays of objects, strings and nulls. Only
// for tests; it keeps what those files need and refuses anything malformed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "url/url_internal.h"

namespace vardel::url::test_data {

struct TestJson {
  enum class Kind { null, boolean, number, string, array, object };
  Kind kind = Kind::null;
  bool boolean = false;
  std::string text;  // a string's UTF-8, or a number's source text
  // Set when a string held a "\u" escape of a lone surrogate, which UTF-8 cannot carry; `text`
  // then has U+FFFD in its place.
  bool lone_surrogate = false;
  std::vector<TestJson> items;
  std::vector<std::pair<std::string, TestJson>> members;

  // The member named `key`, or nullptr.
  [[nodiscard]] const TestJson* find(std::string_view key) const {
    for (const auto& [name, value] : members) {
      if (name == key) {
        return &value;
      }
    }
    return nullptr;
  }
};

class TestJsonReader {
 public:
  explicit TestJsonReader(std::string_view text) : text_(text) {}

  // The document, or nullopt when the text is not JSON.
  [[nodiscard]] std::optional<TestJson> read() {
    std::optional<TestJson> value = read_value(0);
    skip_space();
    if (!value || pos_ != text_.size()) {
      return std::nullopt;
    }
    return value;
  }

 private:
  void skip_space() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  bool consume(std::string_view word) {
    if (text_.substr(pos_).starts_with(word)) {
      pos_ += word.size();
      return true;
    }
    return false;
  }

  std::optional<TestJson> read_value(int depth) {
    skip_space();
    if (pos_ >= text_.size() || depth > 64) {
      return std::nullopt;
    }
    TestJson value;
    const char c = text_[pos_];
    if (consume("null")) {
      return value;
    }
    if (consume("true") || consume("false")) {
      value.kind = TestJson::Kind::boolean;
      value.boolean = text_.substr(0, pos_).ends_with("true");
      return value;
    }
    if (c == '"') {
      value.kind = TestJson::Kind::string;
      if (!read_string(value)) {
        return std::nullopt;
      }
      return value;
    }
    if (c == '[') {
      value.kind = TestJson::Kind::array;
      ++pos_;
      skip_space();
      if (consume("]")) {
        return value;
      }
      do {
        std::optional<TestJson> item = read_value(depth + 1);
        if (!item) {
          return std::nullopt;
        }
        value.items.push_back(std::move(*item));
        skip_space();
      } while (consume(","));
      return consume("]") ? std::optional(std::move(value)) : std::nullopt;
    }
    if (c == '{') {
      value.kind = TestJson::Kind::object;
      ++pos_;
      skip_space();
      if (consume("}")) {
        return value;
      }
      do {
        skip_space();
        TestJson key;
        if (pos_ >= text_.size() || text_[pos_] != '"' || !read_string(key)) {
          return std::nullopt;
        }
        skip_space();
        if (!consume(":")) {
          return std::nullopt;
        }
        std::optional<TestJson> member = read_value(depth + 1);
        if (!member) {
          return std::nullopt;
        }
        value.members.emplace_back(std::move(key.text), std::move(*member));
        skip_space();
      } while (consume(","));
      return consume("}") ? std::optional(std::move(value)) : std::nullopt;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() &&
           std::string_view("+-.0123456789eE").find(text_[pos_]) != std::string_view::npos) {
      ++pos_;
    }
    if (pos_ == start) {
      return std::nullopt;
    }
    value.kind = TestJson::Kind::number;
    value.text = std::string(text_.substr(start, pos_ - start));
    return value;
  }

  std::optional<std::uint32_t> read_hex4() {
    if (pos_ + 4 > text_.size()) {
      return std::nullopt;
    }
    std::uint32_t unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[pos_++];
      unit *= 16;
      if (h >= '0' && h <= '9') {
        unit += static_cast<std::uint32_t>(h - '0');
      } else if (h >= 'a' && h <= 'f') {
        unit += static_cast<std::uint32_t>(h - 'a' + 10);
      } else if (h >= 'A' && h <= 'F') {
        unit += static_cast<std::uint32_t>(h - 'A' + 10);
      } else {
        return std::nullopt;
      }
    }
    return unit;
  }

  // Reads a string starting at its opening quote into `value`.
  bool read_string(TestJson& value) {
    ++pos_;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') {
        return true;
      }
      if (c != '\\') {
        value.text += c;
        continue;
      }
      if (pos_ >= text_.size()) {
        return false;
      }
      const char e = text_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          value.text += e;
          break;
        case 'b':
          value.text += '\b';
          break;
        case 'f':
          value.text += '\f';
          break;
        case 'n':
          value.text += '\n';
          break;
        case 'r':
          value.text += '\r';
          break;
        case 't':
          value.text += '\t';
          break;
        case 'u': {
          std::optional<std::uint32_t> unit = read_hex4();
          if (!unit) {
            return false;
          }
          std::uint32_t cp = *unit;
          if (cp >= 0xD800 && cp <= 0xDBFF && text_.substr(pos_).starts_with("\\u")) {
            const std::size_t saved = pos_;
            pos_ += 2;
            std::optional<std::uint32_t> low = read_hex4();
            if (low && *low >= 0xDC00 && *low <= 0xDFFF) {
              cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
            } else {
              pos_ = saved;
            }
          }
          if (cp >= 0xD800 && cp <= 0xDFFF) {
            value.lone_surrogate = true;
            cp = 0xFFFD;
          }
          internal::append_utf8(value.text, cp);
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// Reads and parses a whole file; nullopt when it cannot be read or is not JSON.
[[nodiscard]] inline std::optional<TestJson> read_test_json_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  std::ostringstream content;
  content << file.rdbuf();
  const std::string text = content.str();
  return TestJsonReader(text).read();
}

}  // namespace vardel::url::test_data
