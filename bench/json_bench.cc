// Throughput of the JSON parser, checking and building, on large generated documents.

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#include <benchmark/benchmark.h>

#include "json/json.h"

namespace {

constexpr std::size_t TARGET_SIZE = 64u << 20;

void append_number(std::string& out, double d) {
  char buffer[32];
  int n = std::snprintf(buffer, sizeof buffer, "%.17g", d);
  out.append(buffer, static_cast<std::size_t>(n));
}

// Pretty-printed records of the kind configuration and data files hold.
std::string make_records() {
  std::mt19937_64 random(1);
  std::string out = "[\n";
  for (std::uint64_t i = 0; out.size() < TARGET_SIZE; ++i) {
    if (i != 0) {
      out += ",\n";
    }
    std::string id = std::to_string(i);
    out += "  {\n    \"id\": " + id + ",\n    \"name\": \"user_" + id + "\",\n";
    out += "    \"email\": \"user" + id + "@example.com\",\n";
    out += std::string("    \"active\": ") + (random() % 2 ? "true" : "false") + ",\n";
    out += "    \"score\": ";
    append_number(out, static_cast<double>(random() % 10000) / 100);
    out += ",\n    \"tags\": [\"alpha\", \"beta\", \"gamma\"],\n";
    out += "    \"address\": {\"street\": \"" + std::to_string(random() % 1000) +
           " Main Street\", \"city\": \"Springfield\", \"zip\": \"" +
           std::to_string(10000 + random() % 90000) + "\"},\n";
    out += "    \"balance\": -" + std::to_string(random() % 100000) + ",\n";
    out += "    \"note\": null\n  }";
  }
  out += "\n]\n";
  return out;
}

// Rows of floating-point and integer numbers.
std::string make_numbers() {
  std::mt19937_64 random(2);
  std::uniform_real_distribution<double> real(-1e6, 1e6);
  std::string out = "[";
  for (std::uint64_t i = 0; out.size() < TARGET_SIZE; ++i) {
    out += i == 0 ? "[" : ",[";
    for (int j = 0; j < 16; ++j) {
      if (j != 0) {
        out += ',';
      }
      switch (j % 4) {
        case 0:
          append_number(out, real(random));
          break;
        case 1:
          out += std::to_string(random() % 1000000);
          break;
        case 2:
          out += '-';
          out += std::to_string(random() % 100000000000ULL);
          break;
        default:
          out += std::to_string(random() % 1000) + "." + std::to_string(random() % 100) + "e-" +
                 std::to_string(random() % 20);
      }
    }
    out += ']';
  }
  out += "]";
  return out;
}

// Strings of various lengths, mostly plain, some with escapes and non-ASCII characters.
std::string make_strings() {
  std::mt19937_64 random(3);
  const std::string_view words[] = {
      "lorem", "ipsum",          "dolor",           "sit",         "amet",        "caf\xC3\xA9",
      "\\n",   "\\\"quoted\\\"", "\\u00e9t\\u00e9", "consectetur", "\xE2\x82\xAC"};
  std::string out = "[\n";
  for (std::uint64_t i = 0; out.size() < TARGET_SIZE; ++i) {
    out += i == 0 ? "\"" : ",\n\"";
    std::size_t length = 2 + random() % 40;
    for (std::size_t w = 0; w < length; ++w) {
      // Escapes are rarer than plain words.
      std::size_t k = random() % 64;
      out += k < 55 ? words[k % 5] : words[5 + k % 6];
      out += ' ';
    }
    out += '"';
  }
  out += "\n]\n";
  return out;
}

// Each document is made on first use only.
const std::string& document(std::int64_t which) {
  switch (which) {
    case 0: {
      static const std::string RECORDS = make_records();
      return RECORDS;
    }
    case 1: {
      static const std::string NUMBERS = make_numbers();
      return NUMBERS;
    }
    default: {
      static const std::string STRINGS = make_strings();
      return STRINGS;
    }
  }
}

void set_label(benchmark::State& state, const std::string& text) {
  const char* names[] = {"records", "numbers", "strings"};
  state.SetLabel(std::string(names[state.range(0)]) + " " + std::to_string(text.size() >> 20) +
                 " MiB");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Validate(benchmark::State& state) {
  const std::string& text = document(state.range(0));
  for (auto _ : state) {
    auto result = vardel::json::validate(text);
    if (!result) {
      state.SkipWithError(result.error().display().c_str());
      return;
    }
  }
  set_label(state, text);
}

void BM_Parse(benchmark::State& state) {
  const std::string& text = document(state.range(0));
  for (auto _ : state) {
    auto result = vardel::json::parse(text);
    if (!result) {
      state.SkipWithError(result.error().display().c_str());
      return;
    }
    benchmark::DoNotOptimize(result);
  }
  set_label(state, text);
}

}  // namespace

BENCHMARK(BM_Validate)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
