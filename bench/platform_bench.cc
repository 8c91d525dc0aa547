// Throughput of the UTF-8 check and of reading a whole large file.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

constexpr std::size_t SIZE = 100 * 1024 * 1024;

// JSON-like text; every `non_ascii_every`th record holds a two- and a three-byte character.
std::string make_text(int non_ascii_every) {
  std::string text;
  text.reserve(SIZE + 64);
  for (int i = 0; text.size() < SIZE; ++i) {
    text += "{\"name\": \"item";
    text += std::to_string(i);
    text += non_ascii_every > 0 && i % non_ascii_every == 0 ? "\xC3\xA9\xE2\x82\xAC" : "ab";
    text += "\", \"value\": 12345.678, \"ok\": true},\n";
  }
  return text;
}

void BM_IsValidUtf8(benchmark::State& state) {
  const std::string text = make_text(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(vardel::platform::is_valid_utf8(text));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
// 0: pure ASCII; 10: one record in ten has non-ASCII text; 1: every record has some.
BENCHMARK(BM_IsValidUtf8)->Arg(0)->Arg(10)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReadFile(benchmark::State& state) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("vardel-bench-" + std::to_string(::getpid()));
  {
    const std::string text = make_text(10);
    std::ofstream(file, std::ios::binary)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    auto text = vardel::platform::read_file(file.string());
    if (!text) {
      state.SkipWithError("read failed");
      break;
    }
    bytes += text->size();
    benchmark::DoNotOptimize(text->data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  std::filesystem::remove(file);
}
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond);

}  // namespace
