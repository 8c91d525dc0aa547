// Speed of the JSON5 reader on a generated document of records, in bytes per second.
#include <cstddef>
#include <cstdint>
#include <string>

#include <benchmark/benchmark.h>

#include "json5/json5.h"
#include "json5/json5_internal.h"

namespace {

// About `target_bytes` of JSON5: an array of records with comments, unquoted and quoted keys,
// strings in both quotes with escapes, integers, hexadecimal, floats and literals.
std::string make_document(std::size_t target_bytes) {
  std::string text = "// generated records\n[\n";
  std::uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return state >> 33;
  };
  for (std::size_t i = 0; text.size() < target_bytes; ++i) {
    text += "  {\n    id: " + std::to_string(i) + ",  // record " + std::to_string(i) + "\n";
    text += "    name: 'Record number " + std::to_string(next() % 100000) + "',\n";
    text +=
        "    \"description\": \"A longer text with an escape\\n and a quote \\\" in it, "
        "caf\u00e9 " +
        std::to_string(next()) + "\",\n";
    text += "    score: " + std::to_string(next() % 1000) + "." + std::to_string(next() % 1000) +
            "e-2,\n";
    text += "    mask: 0x" + std::to_string(next() % 100000) + ",\n";
    text += "    delta: -" + std::to_string(next() % 5000) + ",\n";
    text += "    active: " + std::string(next() % 2 ? "true" : "false") + ", parent: null,\n";
    text += "    /* tags */ tags: ['alpha', 'beta', \"gamma\",],\n";
    text += "  },\n";
  }
  text += "]\n";
  return text;
}

const std::string& document() {
  static const std::string text = make_document(20 * 1024 * 1024);
  return text;
}

void BM_Json5Parse(benchmark::State& state) {
  const std::string& text = document();
  for (auto _ : state) {
    auto node = vardel::json5::json5_parse_top_node(text);
    benchmark::DoNotOptimize(node);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Json5ParseAndConvert(benchmark::State& state) {
  const std::string& text = document();
  for (auto _ : state) {
    auto value = vardel::json5::json5_to_value(text);
    if (!value) {
      state.SkipWithError(value.error().message.c_str());
      break;
    }
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// The conversion alone, of a tree parsed once; the Value is released inside the loop.
void BM_Json5Convert(benchmark::State& state) {
  const std::string& text = document();
  auto node = vardel::json5::json5_parse_top_node(text);
  if (!node) {
    state.SkipWithError(node.error().message.c_str());
    return;
  }
  for (auto _ : state) {
    auto value = vardel::json5::node_to_value(node->ref());
    benchmark::DoNotOptimize(value);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_Json5Parse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Json5Convert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Json5ParseAndConvert)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
