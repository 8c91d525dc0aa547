// Runs the URL parser over the web-platform-tests data in testdata/url: URL parsing without a base
// URL, and the conversion of hosts to ASCII (toascii.json, IdnaTestV2*.json).
#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "url/test_json.h"
#include "url/url.h"

namespace vardel::url {
namespace {

using test_data::TestJson;

std::optional<TestJson> read_data(std::string_view name) {
  return test_data::read_test_json_file(std::string(VARDEL_TESTDATA) + "/url/" + std::string(name));
}

// The cases of a data file: its objects (its strings are comments).
std::vector<const TestJson*> cases_of(const TestJson& document) {
  std::vector<const TestJson*> cases;
  for (const TestJson& item : document.items) {
    if (item.kind == TestJson::Kind::object) {
      cases.push_back(&item);
    }
  }
  return cases;
}

std::string text_of(const TestJson* value) {
  return value == nullptr ? "" : value->text;
}

// The parts of a URL as the data files name them (the URL class's getters).
struct UrlParts {
  std::string href, protocol, username, password, host, hostname, port, pathname, search, hash;
};

UrlParts parts_of(const Url& url) {
  UrlParts parts;
  parts.href = url.href();
  parts.protocol = url.scheme + ":";
  parts.username = url.username;
  parts.password = url.password;
  parts.hostname = url.host.value_or("");
  parts.port = url.port ? std::to_string(*url.port) : "";
  parts.host = parts.hostname + (url.port ? ":" + parts.port : "");
  parts.pathname = url.path;
  parts.search = url.query && !url.query->empty() ? "?" + *url.query : "";
  parts.hash = url.fragment && !url.fragment->empty() ? "#" + *url.fragment : "";
  return parts;
}

// Checks each case of a urltestdata file whose base is null; returns how many were skipped for
// holding a lone surrogate.
int check_url_test_data(std::string_view file, int expected_cases) {
  const std::optional<TestJson> document = read_data(file);
  EXPECT_TRUE(document) << file;
  if (!document) {
    return 0;
  }
  int checked = 0;
  int skipped = 0;
  for (const TestJson* c : cases_of(*document)) {
    const TestJson* base = c->find("base");
    const TestJson* input = c->find("input");
    if (base == nullptr || base->kind != TestJson::Kind::null || input == nullptr) {
      continue;
    }
    if (input->lone_surrogate) {
      ++skipped;
      continue;
    }
    ++checked;
    SCOPED_TRACE("input: " + input->text);
    const std::optional<Url> url = parse(input->text);
    if (c->find("failure") != nullptr) {
      EXPECT_FALSE(url) << "parsed as " << url->href();
      continue;
    }
    EXPECT_TRUE(url);
    if (!url) {
      continue;
    }
    const UrlParts got = parts_of(*url);
    EXPECT_EQ(got.href, text_of(c->find("href")));
    const std::pair<std::string_view, const std::string*> fields[] = {
        {"protocol", &got.protocol}, {"username", &got.username}, {"password", &got.password},
        {"host", &got.host},         {"hostname", &got.hostname}, {"port", &got.port},
        {"pathname", &got.pathname}, {"search", &got.search},     {"hash", &got.hash}};
    for (const auto& [name, value] : fields) {
      if (const TestJson* want = c->find(name)) {
        EXPECT_EQ(*value, want->text) << name;
      }
    }
  }
  EXPECT_EQ(checked + skipped, expected_cases) << file;
  std::printf("%.*s: %d cases without a base checked, %d skipped (lone surrogates)\n",
              static_cast<int>(file.size()), file.data(), checked, skipped);
  return skipped;
}

TEST(UrlConformance, UrlTestDataWithoutBase) {
  EXPECT_EQ(check_url_test_data("urltestdata.json", 555), 0);
  EXPECT_EQ(check_url_test_data("urltestdata-javascript-only.json", 1), 1);
}

// The scheme of a URL text, lower-cased; empty when it has none. Outer controls and spaces and
// inner tabs and newlines are skipped, as the parser skips them.
std::string scheme_of(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 0x20) {
    ++i;
  }
  std::string scheme;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\t' || c == '\n' || c == '\r') {
      continue;
    }
    if (c == ':') {
      return scheme;
    }
    const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!alpha && (scheme.empty() || !other)) {
      return "";
    }
    scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return "";
}

// A case with a base URL of another scheme never uses its base, so it must parse the same way
// without one.
TEST(UrlConformance, UrlTestDataWithBaseOfAnotherScheme) {
  const std::optional<TestJson> document = read_data("urltestdata.json");
  ASSERT_TRUE(document);
  int checked = 0;
  for (const TestJson* c : cases_of(*document)) {
    const TestJson* base = c->find("base");
    const TestJson* input = c->find("input");
    if (base == nullptr || base->kind != TestJson::Kind::string || input == nullptr) {
      continue;
    }
    const std::string scheme = scheme_of(input->text);
    if (scheme.empty() || scheme == scheme_of(base->text)) {
      continue;
    }
    ++checked;
    SCOPED_TRACE("input: " + input->text);
    const std::optional<Url> url = parse(input->text);
    if (c->find("failure") != nullptr) {
      EXPECT_FALSE(url) << "parsed as " << url->href();
    } else {
      EXPECT_EQ(url ? url->href() : "failure", text_of(c->find("href")));
    }
  }
  EXPECT_EQ(checked, 43);
  std::printf("urltestdata.json: %d cases with a base of another scheme checked\n", checked);
}

TEST(UrlConformance, ToAscii) {
  const std::optional<TestJson> document = read_data("toascii.json");
  ASSERT_TRUE(document);
  const std::vector<const TestJson*> cases = cases_of(*document);
  EXPECT_EQ(cases.size(), 87u);
  for (const TestJson* c : cases) {
    const std::string input = text_of(c->find("input"));
    const TestJson* output = c->find("output");
    ASSERT_NE(output, nullptr);
    SCOPED_TRACE("input: " + input);
    const std::optional<Url> url = parse("https://" + input + "/x");
    if (output->kind == TestJson::Kind::null) {
      EXPECT_FALSE(url) << "host " << url->host.value_or("(none)");
      continue;
    }
    ASSERT_TRUE(url);
    EXPECT_EQ(url->host, output->text);
    EXPECT_EQ(url->href(), "https://" + output->text + "/x");
  }
}

// The input with the characters that would end the host or start the path percent-encoded.
std::string encode_host_ending_characters(std::string_view input) {
  std::string out;
  for (char c : input) {
    switch (c) {
      case ':':
        out += "%3A";
        break;
      case '/':
        out += "%2F";
        break;
      case '?':
        out += "%3F";
        break;
      case '#':
        out += "%23";
        break;
      case '\\':
        out += "%5C";
        break;
      default:
        out += c;
    }
  }
  return out;
}

struct IdnaTally {
  int checked = 0;
  int skipped = 0;
  std::vector<std::string> differences;  // inputs on which the parser and the data disagree
};

IdnaTally check_idna_file(std::string_view file) {
  IdnaTally tally;
  const std::optional<TestJson> document = read_data(file);
  EXPECT_TRUE(document) << file;
  if (!document) {
    return tally;
  }
  for (const TestJson* c : cases_of(*document)) {
    const TestJson* input = c->find("input");
    const TestJson* output = c->find("output");
    if (input == nullptr || output == nullptr || input->text.empty()) {
      continue;
    }
    if (input->lone_surrogate) {
      ++tally.skipped;
      continue;
    }
    ++tally.checked;
    const std::optional<Url> url =
        parse("https://" + encode_host_ending_characters(input->text) + "/x");
    const bool agrees =
        output->kind == TestJson::Kind::null
            ? !url
            : url && url->host == output->text && url->href() == "https://" + output->text + "/x";
    if (!agrees) {
      tally.differences.push_back(input->text);
    }
  }
  std::printf("%.*s: %d checked, %d skipped (lone surrogates), %zu differ\n",
              static_cast<int>(file.size()), file.data(), tally.checked, tally.skipped,
              tally.differences.size());
  return tally;
}

// Inputs on which the parser and the data disagree, each because a character's IDNA properties
// changed after Unicode 15.0, the version of the ICU data here (ICU 72).
const std::set<std::string> KNOWN_IDNA_DIFFERENCES = {
    // U+32931 and U+32B9A (CJK Unified Ideographs Extension J) were assigned after Unicode 15.0;
    // ICU 72 refuses them as unassigned, the data's tables accept them.
    "\U00032931"
    "20.\u97F3.\uA866"
    "1.",
    "\U00032B9A"
    "9\uA369\u17D3.ss",
    "\U00032B9A"
    "9\uA369\u17D3.SS",
};

// Checks that the parser agrees with the file on at least 99% of its cases and that each case it
// disagrees on is a known difference.
IdnaTally expect_idna_agreement(std::string_view file) {
  const IdnaTally tally = check_idna_file(file);
  EXPECT_GT(tally.checked, 0);
  if (tally.checked == 0) {
    return tally;
  }
  const std::set<std::string> differences(tally.differences.begin(), tally.differences.end());
  for (const std::string& input : differences) {
    EXPECT_TRUE(KNOWN_IDNA_DIFFERENCES.contains(input)) << "unexpected difference on: " << input;
  }
  EXPECT_GE(100.0 * (tally.checked - static_cast<int>(tally.differences.size())) / tally.checked,
            99.0);
  return tally;
}

TEST(UrlConformance, IdnaTestV2) {
  const IdnaTally tally = expect_idna_agreement("IdnaTestV2.json");
  // Every listed difference is still one: a fixed case must leave the list.
  for (const std::string& input : KNOWN_IDNA_DIFFERENCES) {
    EXPECT_NE(std::ranges::find(tally.differences, input), tally.differences.end()) << input;
  }
}

TEST(UrlConformance, IdnaTestV2Removed) {
  EXPECT_TRUE(expect_idna_agreement("IdnaTestV2-removed.json").differences.empty());
}

}  // namespace
}  // namespace vardel::url
