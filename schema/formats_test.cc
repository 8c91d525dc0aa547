#include "schema/formats.h"

#include <span>
#include <string_view>

#include <gtest/gtest.h>

namespace vardel::schema {
namespace {

struct Case {
  std::string_view text;
  bool valid;
};

void check_all(bool (*check)(std::string_view), std::span<const Case> cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(check(c.text), c.valid);
  }
}

TEST(Formats, Date) {
  const Case CASES[] = {
      {"2024-01-01", true},
      {"2024-13-45", true},  // shape only, no range check
      {"0000-00-00", true},
      // Arabic-Indic digits, then fullwidth ones: any decimal digit counts.
      {"\xD9\xA2\xD9\xA0\xD9\xA2\xD9\xA4-\xD9\xA0\xD9\xA1-\xD9\xA0\xD9\xA1", true},
      {"\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x92\xEF\xBC\x94-01-01", true},
      {"2024-1-01", false},
      {"2024-01-01\n", false},
      {"\n2024-01-01", false},
      {" 2024-01-01", false},
      {"2024-01-011", false},
      {"2024/01/01", false},
      {"2024-01-01T00:00:00", false},
      {"", false},
  };
  check_all(is_valid_date, CASES);
}

TEST(Formats, DateTime) {
  const Case CASES[] = {
      {"2024-01-01T10:00:00", true},        {"2024-01-01T10:00:00Z", true},
      {"2024-01-01T10:00:00.123Z", true},   {"2024-01-01T10:00:00.123", true},
      {"2024-01-01T99:99:99", true},        {"2024-01-01t10:00:00", false},
      {"2024-01-01T10:00:00z", false},      {"2024-01-01T10:00:00.1Z", false},
      {"2024-01-01T10:00:00.12Z", false},   {"2024-01-01T10:00:00.1234Z", false},
      {"2024-01-01T10:00:00+01:00", false}, {"2024-01-01 10:00:00", false},
      {"2024-01-01T10:00", false},          {"2024-01-01T10:00:00Z\n", false},
  };
  check_all(is_valid_date_time, CASES);
}

TEST(Formats, Email) {
  const Case CASES[] = {
      {"joe.bloggs@example.com", true},
      {"a+b_c%d-e@x-y.co", true},
      {"a..b@example.com", true},  // consecutive dots pass
      {"a@-example.com", true},    // a leading hyphen passes
      {"a@b.c", false},            // top level needs two letters
      {"a@b.c1", false},
      {"@example.com", false},
      {"a@example", false},
      {"a b@example.com", false},
      {"a@b@example.com", false},
      {"\xC3\xA9@example.com", false},
      {"a@example.com\n", false},
  };
  check_all(is_valid_email, CASES);
}

TEST(Formats, Ipv4) {
  const Case CASES[] = {
      {"1.2.3.4", true},
      {"0.0.0.0", true},
      {"255.255.255.255", true},
      {"+1.2.3.4", true},
      {"1.+2.3.+4", true},
      {"01.002.0003.4", true},
      {"0255.000.1.1", true},
      {"00000000000000000000000001.1.1.1", true},
      {"256.1.1.1", false},
      {"1.2.3.256", false},
      {"99999999999999999999.1.1.1", false},
      {"1.2.3", false},
      {"1.2.3.4.", false},
      {".1.2.3", false},
      {"1..2.3", false},
      {"1.2.3.4.5", false},
      {"1.2.3.-4", false},
      {"-0.1.2.3", false},
      {"+.1.2.3", false},
      {"-.1.2.3", false},
      {"++1.2.3.4", false},
      {" 1.2.3.4", false},
      {"1.2.3.4 ", false},
      {"1.2.3.0x4", false},
      {"1.2.3.\xD9\xA4", false},  // only ASCII digits
      {"", false},
      {"...", false},
  };
  check_all(is_valid_ipv4, CASES);
}

TEST(Formats, Ipv6) {
  const Case CASES[] = {
      {"1:2:3:4:5:6:7:8", true},
      {"ABCD:ef01:2345:6789:abcd:EF01:2345:6789", true},
      {"0000:0000:0000:0000:0000:0000:0000:0001", true},
      {"::1", false},
      {"1::8", false},
      {"1:2:3:4:5:6:7:8:9", false},
      {"1:2:3:4:5:6:7", false},
      {"1:2:3:4:5:6:1.2.3.4", false},
      {"1:2:3:4:5:6:7:8%eth0", false},
      {"12345:2:3:4:5:6:7:8", false},
      {"g:2:3:4:5:6:7:8", false},
      {"[1:2:3:4:5:6:7:8]", false},
  };
  check_all(is_valid_ipv6, CASES);
}

TEST(Formats, Uuid) {
  const Case CASES[] = {
      {"2eb8aa08-aa98-11ea-b4aa-73b441d16380", true},
      {"2EB8AA08-AA98-11EA-B4AA-73B441D16380", true},
      {"00000000-0000-0000-0000-000000000000", true},
      {"{2eb8aa08-aa98-11ea-b4aa-73b441d16380}", false},
      {"2eb8aa08aa9811eab4aa73b441d16380", false},
      {"2eb8aa08-aa98-11ea-b4aa-73b441d1638", false},
      {"2eb8aa08-aa98-11ea-b4aa-73b441d16380a", false},
      {"2eb8aa0-8aa98-11ea-b4aa-73b441d16380", false},
      {"2eb8aa08-aa98-11ea-b4aa-73b441d1638g", false},
  };
  check_all(is_valid_uuid, CASES);
}

TEST(Formats, Uri) {
  const Case CASES[] = {
      {"a:b", true},
      {"file:///x", true},
      {"http://example.com/a?b#c", true},
      {"urn:isbn:0451450523", true},
      {"  http://example.com  ", true},  // the parser strips surrounding spaces
      {"abc", false},
      {"/a/b", false},
      {"ftp://", false},
      {"", false},
      {"1a:b", false},
  };
  check_all(is_valid_uri, CASES);
}

}  // namespace
}  // namespace vardel::schema
