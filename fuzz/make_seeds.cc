// Cuts seed inputs for the fuzz targets out of the public suites, so that the repository keeps
// no copies of them: the URL inputs of the URL tests, "schema NUL document" pairs of the schema
// tests, and every "pattern" text of those schemas.
// Usage: vardel_fuzz_seeds TESTDATA OUT; writes OUT/url, OUT/validator and OUT/regex.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "json/json.h"

namespace {

namespace fs = std::filesystem;
namespace json = vardel::json;

std::optional<json::Value> read_json(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  auto value = json::parse(text);
  if (!value) {
    std::fprintf(stderr, "skipping %s: %s\n", file.string().c_str(), value.error().display().c_str());
    return std::nullopt;
  }
  return std::move(*value);
}

// Files of one target's seed folder, numbered in the order they are added.
class SeedFolder {
 public:
  explicit SeedFolder(fs::path folder) : folder_(std::move(folder)) {
    fs::create_directories(folder_);
  }

  void add(std::string_view bytes) {
    char name[32];
    std::snprintf(name, sizeof name, "seed-%06zu", count_++);
    std::ofstream out(folder_ / name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  [[nodiscard]] std::size_t count() const { return count_; }

 private:
  fs::path folder_;
  std::size_t count_ = 0;
};

void add_url_inputs(const fs::path& file, SeedFolder& seeds) {
  std::optional<json::Value> cases = read_json(file);
  if (!cases || !cases->is_array()) {
    return;
  }
  for (const json::Value& c : cases->as_array()) {
    if (!c.is_object()) {
      continue;
    }
    const json::Value* input = c.as_object().find("input");
    if (input != nullptr && input->is_string()) {
      seeds.add(input->as_string());
    }
  }
}

void add_patterns(const json::Value& value, SeedFolder& seeds) {
  if (value.is_array()) {
    for (const json::Value& item : value.as_array()) {
      add_patterns(item, seeds);
    }
  } else if (value.is_object()) {
    for (const json::Member& member : value.as_object()) {
      if (member.key == "pattern" && member.value.is_string()) {
        seeds.add(member.value.as_string());
      }
      add_patterns(member.value, seeds);
    }
  }
}

void add_schema_cases(const fs::path& file, SeedFolder& pairs, SeedFolder& patterns) {
  std::optional<json::Value> groups = read_json(file);
  if (!groups || !groups->is_array()) {
    return;
  }
  for (const json::Value& group : groups->as_array()) {
    const json::Value* schema = group.is_object() ? group.as_object().find("schema") : nullptr;
    const json::Value* tests = group.is_object() ? group.as_object().find("tests") : nullptr;
    if (schema == nullptr || tests == nullptr || !tests->is_array()) {
      continue;
    }
    add_patterns(*schema, patterns);
    const std::string schema_text = json::write_compact(*schema);
    for (const json::Value& test : tests->as_array()) {
      const json::Value* data = test.is_object() ? test.as_object().find("data") : nullptr;
      if (data != nullptr) {
        pairs.add(schema_text + '\0' + json::write_compact(*data));
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: vardel_fuzz_seeds TESTDATA OUT\n");
    return 2;
  }
  const fs::path testdata = argv[1];
  const fs::path out = argv[2];

  SeedFolder urls(out / "url");
  for (const char* name : {"urltestdata.json", "urltestdata-javascript-only.json"}) {
    add_url_inputs(testdata / "url" / name, urls);
  }

  SeedFolder pairs(out / "validator");
  SeedFolder patterns(out / "regex");
  std::vector<fs::path> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(testdata / "JSON-Schema-Test-Suite/tests", error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->path().extension() == ".json") {
      files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    add_schema_cases(file, pairs, patterns);
  }
  std::fprintf(stderr, "seeds: %zu url, %zu validator, %zu regex\n", urls.count(), pairs.count(),
               patterns.count());
  return urls.count() > 0 && pairs.count() > 0 ? 0 : 1;
}
