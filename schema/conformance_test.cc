// Runs the public JSON Schema test suite through the validator. This dialect decides some cases
// differently from the suite's draft; each such case is listed below with the rule that decides
// it, and every other case must agree.
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "json/json.h"
#include "schema/validator.h"

namespace vardel::schema {
namespace {

using json::Value;

constexpr std::string_view SUITE_FILES[] = {
    "draft7/additionalProperties.json",
    "draft7/const.json",
    "draft7/enum.json",
    "draft7/format.json",
    "draft7/items.json",
    "draft7/maxItems.json",
    "draft7/maxLength.json",
    "draft7/maxProperties.json",
    "draft7/maximum.json",
    "draft7/minItems.json",
    "draft7/minLength.json",
    "draft7/minProperties.json",
    "draft7/minimum.json",
    "draft7/multipleOf.json",
    "draft7/pattern.json",
    "draft7/properties.json",
    "draft7/required.json",
    "draft7/type.json",
    "draft7/uniqueItems.json",
    "draft7/optional/format/date-time.json",
    "draft7/optional/format/date.json",
    "draft7/optional/format/email.json",
    "draft7/optional/format/ipv4.json",
    "draft7/optional/format/ipv6.json",
    "draft7/optional/format/uri.json",
    "draft2019-09/optional/format/uuid.json",
};

// The rules behind the differences.
constexpr std::string_view PATTERN_PROPERTIES =
    "patternProperties is no keyword here: members it would cover count as additional";
constexpr std::string_view OTHER_KEYWORDS =
    "$ref, definitions and additionalItems are no keywords here and impose nothing";
constexpr std::string_view NUMBER_FORMS =
    "numbers of different forms are different values, and \"integer\" never matches a double";
constexpr std::string_view OBJECT_SCHEMAS =
    "only an object schema imposes anything: true, false and the array form of items accept";
constexpr std::string_view DECIMAL_LIMITS =
    "a count or length limit is honoured only as an unsigned integer, not written as a decimal";
constexpr std::string_view DATE_SHAPE =
    "date is shape only: four, two and two decimal digits of any script, no range check";
constexpr std::string_view DATE_TIME_SHAPE =
    "date-time is shape only: a date, upper-case T, hh:mm:ss, an optional three-digit fraction "
    "and an optional upper-case Z; no offsets, no range check";
constexpr std::string_view EMAIL_SHAPE =
    "email is letters, digits and ._%+- before the at sign, dots anywhere; no tilde";
constexpr std::string_view IPV4_RULE = "ipv4 allows one leading + in each part";
constexpr std::string_view IPV6_SHAPE =
    "ipv6 is exactly eight groups of one to four hex digits: no ::, no IPv4 part";
constexpr std::string_view URL_STANDARD =
    "uri means parsing as an absolute URL by the URL Standard, which percent-encodes or accepts "
    "what a stricter URI grammar refuses";
constexpr std::string_view URL_IPV4_HOSTS =
    "uri follows the URL Standard, which reads a host of dot-separated numbers as an IPv4 "
    "address and refuses one that is out of range or not a number";

// A case where this dialect's answer differs from the suite's, and the rule that decides it.
struct Difference {
  std::string_view file, group, test, rule;
};

constexpr Difference DIFFERENCES[] = {
    {"draft7/additionalProperties.json",
     "additionalProperties being false does not allow other properties",
     "patternProperties are not additional properties", PATTERN_PROPERTIES},
    {"draft7/additionalProperties.json", "non-ASCII pattern with additionalProperties",
     "matching the pattern is valid", PATTERN_PROPERTIES},
    {"draft7/const.json", "const with 0 does not match other zero-like types",
     "float zero is valid", NUMBER_FORMS},
    {"draft7/const.json", "const with 1 does not match true", "float one is valid", NUMBER_FORMS},
    {"draft7/const.json", "const with -2.0 matches integer and float types", "integer -2 is valid",
     NUMBER_FORMS},
    {"draft7/const.json", "float and integers are equal up to 64-bit representation limits",
     "float is valid", NUMBER_FORMS},
    {"draft7/enum.json", "enum with 0 does not match false", "float zero is valid", NUMBER_FORMS},
    {"draft7/enum.json", "enum with [0] does not match [false]", "[0.0] is valid", NUMBER_FORMS},
    {"draft7/enum.json", "enum with 1 does not match true", "float one is valid", NUMBER_FORMS},
    {"draft7/enum.json", "enum with [1] does not match [true]", "[1.0] is valid", NUMBER_FORMS},
    {"draft7/items.json", "an array of schemas for items", "wrong types", OBJECT_SCHEMAS},
    {"draft7/items.json", "items with boolean schema (false)", "any non-empty array is invalid",
     OBJECT_SCHEMAS},
    {"draft7/items.json", "items with boolean schemas", "array with two items is invalid",
     OBJECT_SCHEMAS},
    {"draft7/items.json", "items and subitems", "too many items", OTHER_KEYWORDS},
    {"draft7/items.json", "items and subitems", "too many sub-items", OTHER_KEYWORDS},
    {"draft7/items.json", "items and subitems", "wrong item", OTHER_KEYWORDS},
    {"draft7/items.json", "items and subitems", "wrong sub-item", OTHER_KEYWORDS},
    {"draft7/maxItems.json", "maxItems validation with a decimal", "too long is invalid",
     DECIMAL_LIMITS},
    {"draft7/maxLength.json", "maxLength validation with a decimal", "too long is invalid",
     DECIMAL_LIMITS},
    {"draft7/maxProperties.json", "maxProperties validation with a decimal", "too long is invalid",
     DECIMAL_LIMITS},
    {"draft7/minItems.json", "minItems validation with a decimal", "too short is invalid",
     DECIMAL_LIMITS},
    {"draft7/minLength.json", "minLength validation with a decimal", "too short is invalid",
     DECIMAL_LIMITS},
    {"draft7/minProperties.json", "minProperties validation with a decimal", "too short is invalid",
     DECIMAL_LIMITS},
    {"draft7/properties.json", "properties, patternProperties, additionalProperties interaction",
     "patternProperty invalidates property", PATTERN_PROPERTIES},
    {"draft7/properties.json", "properties, patternProperties, additionalProperties interaction",
     "patternProperty validates nonproperty", PATTERN_PROPERTIES},
    {"draft7/properties.json", "properties with boolean schema",
     "only 'false' property present is invalid", OBJECT_SCHEMAS},
    {"draft7/properties.json", "properties with boolean schema",
     "both properties present is invalid", OBJECT_SCHEMAS},
    {"draft7/type.json", "integer type matches integers",
     "a float with zero fractional part is an integer", NUMBER_FORMS},
    {"draft7/uniqueItems.json", "uniqueItems with an array of items and additionalItems=false",
     "extra items are invalid even if unique", OTHER_KEYWORDS},
    {"draft7/uniqueItems.json",
     "uniqueItems=false with an array of items and additionalItems=false",
     "extra items are invalid even if unique", OTHER_KEYWORDS},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "a valid date-time string", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "a valid date-time string with plus offset", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "a valid date-time string with minus offset", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "a valid date-time with a leap second, with minus offset", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "an invalid date-time past leap second, UTC", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "an invalid date-time with leap second on a wrong minute, UTC", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "an invalid date-time with leap second on a wrong hour, UTC", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "an invalid hour in date-time string", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "an invalid minute in date-time string", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "case-insensitive T and Z", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "invalid non-ASCII '৪' (a Bengali 4) in date portion", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "invalid non-ASCII '৪' (a Bengali 4) in time portion", DATE_TIME_SHAPE},
    {"draft7/optional/format/date-time.json", "validation of date-time strings",
     "a second fraction of fifteen nines is valid", DATE_TIME_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 32 days in January", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 30 days in February (leap)", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 32 days in March", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 31 days in April", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 32 days in May", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 31 days in June", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 32 days in July", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 32 days in August", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 31 days in September", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 32 days in October", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 31 days in November", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "a invalid date string with 32 days in December", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings", "invalid month", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings", "2021 is not a leap year",
     DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "invalid non-ASCII '৪' (a Bengali 4)", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "invalid: non-ASCII Bengali digit in month field", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "century year 0100 is not a leap year", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "century year 2100 is not a leap year", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "invalid: month 00 is not valid per date-month range 01-12", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "invalid: day 00 is not valid per date-mday minimum of 01", DATE_SHAPE},
    {"draft7/optional/format/date.json", "validation of date strings",
     "invalid: non-ASCII Bengali digit in year field", DATE_SHAPE},
    {"draft7/optional/format/email.json", "validation of e-mail addresses",
     "tilde in local part is valid", EMAIL_SHAPE},
    {"draft7/optional/format/email.json", "validation of e-mail addresses",
     "tilde before local part is valid", EMAIL_SHAPE},
    {"draft7/optional/format/email.json", "validation of e-mail addresses",
     "tilde after local part is valid", EMAIL_SHAPE},
    {"draft7/optional/format/email.json", "validation of e-mail addresses",
     "dot before local part is not valid", EMAIL_SHAPE},
    {"draft7/optional/format/email.json", "validation of e-mail addresses",
     "dot after local part is not valid", EMAIL_SHAPE},
    {"draft7/optional/format/email.json", "validation of e-mail addresses",
     "two subsequent dots inside local part are not valid", EMAIL_SHAPE},
    {"draft7/optional/format/ipv4.json", "validation of IP addresses", "plus sign is invalid",
     IPV4_RULE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses", "a valid IPv6 address",
     IPV6_SHAPE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses",
     "trailing 4 hex symbols is valid", IPV6_SHAPE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses", "no digits is valid",
     IPV6_SHAPE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses", "leading colons is valid",
     IPV6_SHAPE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses", "trailing colons is valid",
     IPV6_SHAPE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses",
     "single set of double colons in the middle is valid", IPV6_SHAPE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses",
     "mixed format with the ipv4 section as decimal octets", IPV6_SHAPE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses",
     "mixed format with double colons between the sections", IPV6_SHAPE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses",
     "mixed format with leading double colons (ipv4-mapped ipv6 address)", IPV6_SHAPE},
    {"draft7/optional/format/ipv6.json", "validation of IPv6 addresses", "a long valid ipv6",
     IPV6_SHAPE},
    {"draft7/optional/format/uri.json", "validation of URIs", "invalid userinfo", URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "unescaped non US-ASCII characters",
     URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "invalid backslash character",
     URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "invalid \" character", URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "invalid <> characters",
     URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "invalid {} characters",
     URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "invalid ^ character", URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "invalid ` character", URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "invalid SPACE character",
     URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "invalid | character", URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs",
     "invalid percent-encoding with non-hex digits", URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "incomplete percent-encoding triplet",
     URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs", "lone percent sign is invalid",
     URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs",
     "square brackets are not allowed in a path segment", URL_STANDARD},
    {"draft7/optional/format/uri.json", "validation of URIs",
     "URI with leading-zero IPv4 is structurally valid as a reg-name", URL_IPV4_HOSTS},
    {"draft7/optional/format/uri.json", "validation of URIs",
     "URI with out-of-bounds IPv4 is structurally valid as a reg-name", URL_IPV4_HOSTS},
};

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const Difference* find_difference(std::string_view file, std::string_view group,
                                  std::string_view test) {
  for (const Difference& d : DIFFERENCES) {
    if (d.file == file && d.group == group && d.test == test) {
      return &d;
    }
  }
  return nullptr;
}

std::string text_of(const Value& object, std::string_view key) {
  const Value* value = object.as_object().find(key);
  return value != nullptr && value->is_string() ? std::string(value->as_string()) : std::string();
}

TEST(Conformance, AgreesWithTheSuiteExceptListedDifferences) {
  std::size_t tests = 0;
  std::size_t differences = 0;
  for (std::string_view file : SUITE_FILES) {
    const std::string path =
        std::string(VARDEL_TESTDATA) + "/JSON-Schema-Test-Suite/tests/" + std::string(file);
    auto suite = json::parse(read_text(path));
    ASSERT_TRUE(suite) << path << ": " << suite.error().display();
    ASSERT_TRUE(suite->is_array()) << path;
    for (const Value& group : suite->as_array()) {
      const std::string group_name = text_of(group, "description");
      auto validator =
          Validator::new_(*group.as_object().find("schema"), ValidatorOptions::default_());
      ASSERT_TRUE(validator) << file << ": " << group_name;
      for (const Value& test : group.as_object().find("tests")->as_array()) {
        const std::string test_name = text_of(test, "description");
        const bool suite_valid = test.as_object().find("valid")->as_bool();
        const bool valid = validator->validate(*test.as_object().find("data")).empty();
        const Difference* listed = find_difference(file, group_name, test_name);
        ++tests;
        if (listed != nullptr) {
          ++differences;
          EXPECT_NE(valid, suite_valid) << "listed as differing but agrees: " << file << " | "
                                        << group_name << " | " << test_name;
        } else {
          EXPECT_EQ(valid, suite_valid)
              << "{\"" << file << "\", \"" << group_name << "\", \"" << test_name << "\", \"\"},";
        }
      }
    }
  }
  EXPECT_EQ(tests, 816u);
  EXPECT_EQ(differences, std::size(DIFFERENCES));
}

}  // namespace
}  // namespace vardel::schema
