// The `format` keyword and the seven built-in format checks.
#include "schema/formats.h"

#include <cassert>
#include <cstddef>
#include <expected>
#include <string>
#include <vector>

#include "regex/regex.h"
#include "schema/validator.h"
#include "schema/validator_internal.h"
#include "url/url.h"

namespace vardel::schema {

namespace {

using CompiledPattern = std::expected<regex::Regex, regex::RegexError>;

// The patterns are fixed texts, so failing to compile one is a programming error.
bool matches(const CompiledPattern& pattern, std::string_view text) {
  assert(pattern.has_value());
  return pattern.has_value() && pattern->search(text);
}

// One part of an IPv4 address: an unsigned 8-bit decimal number.
bool is_ipv4_part(std::string_view part) {
  if (!part.empty() && part.front() == '+') {
    part.remove_prefix(1);
  }
  if (part.empty()) {
    return false;
  }
  unsigned value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 255) {
      return false;
    }
  }
  return true;
}

// The built-in check of a format name, or nullptr for a name outside the seven.
FormatCheck built_in_check(std::string_view name) {
  if (name == "uri") {
    return is_valid_uri;
  }
  if (name == "date") {
    return is_valid_date;
  }
  if (name == "date-time") {
    return is_valid_date_time;
  }
  if (name == "email") {
    return is_valid_email;
  }
  if (name == "ipv4") {
    return is_valid_ipv4;
  }
  if (name == "ipv6") {
    return is_valid_ipv6;
  }
  if (name == "uuid") {
    return is_valid_uuid;
  }
  return nullptr;
}

}  // namespace

bool is_valid_uri(std::string_view text) {
  return url::parse(text).has_value();
}

bool is_valid_date(std::string_view text) {
  static const CompiledPattern pattern = regex::Regex::compile(R"(^\d{4}-\d{2}-\d{2}$)");
  return matches(pattern, text);
}

bool is_valid_date_time(std::string_view text) {
  static const CompiledPattern pattern =
      regex::Regex::compile(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d{3})?Z?$)");
  return matches(pattern, text);
}

bool is_valid_email(std::string_view text) {
  static const CompiledPattern pattern =
      regex::Regex::compile(R"(^[a-zA-Z0-9._%+-]+@[a-zA-Z0-9.-]+\.[a-zA-Z]{2,}$)");
  return matches(pattern, text);
}

bool is_valid_ipv4(std::string_view text) {
  std::size_t parts = 0;
  while (true) {
    const std::size_t dot = text.find('.');
    if (++parts > 4 || !is_ipv4_part(text.substr(0, dot))) {
      return false;
    }
    if (dot == std::string_view::npos) {
      break;
    }
    text.remove_prefix(dot + 1);
  }
  return parts == 4;
}

bool is_valid_ipv6(std::string_view text) {
  static const CompiledPattern pattern =
      regex::Regex::compile(R"(^([0-9a-fA-F]{1,4}:){7}[0-9a-fA-F]{1,4}$)");
  return matches(pattern, text);
}

bool is_valid_uuid(std::string_view text) {
  static const CompiledPattern pattern = regex::Regex::compile(
      R"(^[0-9a-fA-F]{8}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{4}-[0-9a-fA-F]{12}$)");
  return matches(pattern, text);
}

void Validator::check_format(const json::Value& value, const json::Value& format,
                             const Path& instance_path, const Path& schema_path,
                             std::vector<ValidationError>& errors) const {
  if (!format.is_string()) {
    return;
  }
  const std::string_view name = format.as_string();
  FormatCheck check = built_in_check(name);
  if (check == nullptr) {
    auto custom = options_.custom_formats.find(name);
    if (custom == options_.custom_formats.end() || custom->second == nullptr) {
      return;
    }
    check = custom->second;
  }
  const std::string_view text = value.as_string();
  if (check(text)) {
    return;
  }
  errors.push_back(make_error(
      instance_path, schema_path, "format",
      "String '" + std::string(text) + "' is not a valid " + std::string(name), value, format));
}

}  // namespace vardel::schema
