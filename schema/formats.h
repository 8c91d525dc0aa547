// The built-in string formats: shape checks only, nothing is tested for meaning.
#pragma once

#include <string_view>

namespace vardel::schema {

// An absolute URL by the URL Standard's parser, no base.
[[nodiscard]] bool is_valid_uri(std::string_view text);
// Four digits, "-", two digits, "-", two digits; any script's decimal digits count.
[[nodiscard]] bool is_valid_date(std::string_view text);
// A date, "T", hh:mm:ss, optionally "." and three digits, optionally "Z".
[[nodiscard]] bool is_valid_date_time(std::string_view text);
// Letters, digits and "._%+-", "@", letters, digits, "." and "-", then "." and two letters or more.
[[nodiscard]] bool is_valid_email(std::string_view text);
// Four "."-separated decimal parts of at most 255, leading zeros and one leading "+" allowed.
[[nodiscard]] bool is_valid_ipv4(std::string_view text);
// Exactly eight groups of one to four hexadecimal digits; no "::" shortening.
[[nodiscard]] bool is_valid_ipv6(std::string_view text);
// 8-4-4-4-12 hexadecimal digits joined by "-".
[[nodiscard]] bool is_valid_uuid(std::string_view text);

}  // namespace vardel::schema
