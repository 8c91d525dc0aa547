// Validation speed: a small document against a schema of many keywords, and a large array of
// records parsed and validated whole.
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "json/json.h"
#include "schema/validator.h"

namespace {

using vardel::json::Value;
using vardel::schema::Validator;
using vardel::schema::ValidatorOptions;

Value parse_or_die(const std::string& text) {
  auto value = vardel::json::parse(text);
  if (!value) {
    std::abort();
  }
  return std::move(*value);
}

Validator make_validator(const std::string& schema) {
  auto validator = Validator::new_(parse_or_die(schema), ValidatorOptions::default_());
  if (!validator) {
    std::abort();
  }
  return std::move(*validator);
}

// About twenty keywords, a pattern and two levels of properties.
const char* const CONFIG_SCHEMA = R"({
  "type": "object",
  "required": ["name", "version", "server", "tags"],
  "minProperties": 3,
  "maxProperties": 10,
  "properties": {
    "name": {"type": "string", "minLength": 1, "maxLength": 64, "pattern": "^[a-z][a-z0-9-]*$"},
    "version": {"type": "string", "pattern": "^\\d+\\.\\d+\\.\\d+$"},
    "server": {
      "type": "object",
      "required": ["host", "port"],
      "properties": {
        "host": {"type": "string", "format": "ipv4"},
        "port": {"type": "integer", "minimum": 1, "maximum": 65535},
        "timeout": {"type": "number", "multipleOf": 0.5}
      },
      "additionalProperties": false
    },
    "tags": {"type": "array", "minItems": 1, "maxItems": 32, "uniqueItems": true,
             "items": {"type": "string", "enum": ["web", "db", "cache", "queue", "batch", "edge"]}},
    "owner": {"type": "object", "properties": {"email": {"type": "string", "format": "email"}}},
    "mode": {"const": "production"}
  },
  "additionalProperties": {"type": ["string", "number", "boolean"]}
})";

std::string config_document() {
  std::string doc = R"({"name": "billing-service", "version": "12.4.1", "mode": "production",
    "server": {"host": "10.1.2.3", "port": 8443, "timeout": 2.5},
    "tags": ["web", "db", "cache", "queue"],
    "owner": {"email": "ops.team@example.com"},
    "description": ")";
  doc += std::string(700, 'x');
  doc += R"(", "replicas": 3, "enabled": true})";
  return doc;
}

void BM_ValidateConfig(benchmark::State& state) {
  const Validator validator = make_validator(CONFIG_SCHEMA);
  const std::string text = config_document();
  const Value document = parse_or_die(text);
  if (!validator.validate(document).empty()) {
    std::abort();
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(validator.validate(document));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ValidateConfig);

const char* const RECORD_SCHEMA = R"({
  "type": "array",
  "items": {
    "type": "object",
    "required": ["id", "name", "email", "score", "active", "tags"],
    "properties": {
      "id": {"type": "integer", "minimum": 0},
      "name": {"type": "string", "minLength": 1, "maxLength": 100},
      "email": {"type": "string", "format": "email"},
      "score": {"type": "number", "minimum": 0, "maximum": 100},
      "active": {"type": "boolean"},
      "tags": {"type": "array", "items": {"type": "string"}, "maxItems": 8}
    },
    "additionalProperties": false
  }
})";

// About 50 MB of records like {"id":1,"name":"user 1",...}.
std::string records_document() {
  std::string text = "[";
  for (int i = 0; text.size() < 50'000'000; ++i) {
    if (i > 0) {
      text += ",\n";
    }
    const std::string n = std::to_string(i);
    text += R"({"id": )" + n + R"(, "name": "user number )" + n + R"(", "email": "user)" + n +
            R"(@example.com", "score": )" + std::to_string(i % 100) + R"(.25, "active": )" +
            (i % 2 == 0 ? "true" : "false") + R"(, "tags": ["alpha", "beta", "gamma"]})";
  }
  text += "]";
  return text;
}

const std::string& records_text() {
  static const std::string text = records_document();
  return text;
}

void BM_ParseAndValidateRecords(benchmark::State& state) {
  const Validator validator = make_validator(RECORD_SCHEMA);
  const std::string& text = records_text();
  for (auto _ : state) {
    const Value document = parse_or_die(text);
    if (!validator.validate(document).empty()) {
      std::abort();
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseAndValidateRecords)->Unit(benchmark::kMillisecond);

// The validation share of the above, the document parsed once beforehand.
void BM_ValidateRecords(benchmark::State& state) {
  const Validator validator = make_validator(RECORD_SCHEMA);
  const std::string& text = records_text();
  const Value document = parse_or_die(text);
  for (auto _ : state) {
    benchmark::DoNotOptimize(validator.validate(document));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ValidateRecords)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
