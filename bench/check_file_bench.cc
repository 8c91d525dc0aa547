// Throughput of check mode's work on one large file.
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include "src/lib/check_file.h"

namespace {

void BM_CheckFile(benchmark::State& state) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("vardel-check-" + std::to_string(::getpid()) + ".json");
  std::size_t size = 0;
  {
    std::string text = "[\n";
    for (int i = 0; text.size() < 100 * 1024 * 1024; ++i) {
      text += "  {\"name\": \"item" + std::to_string(i) +
              "\", \"tags\": [\"a\", \"b\\u00e9\"], \"value\": -12345.678e-3, \"ok\": true},\n";
    }
    text += "  null\n]\n";
    size = text.size();
    std::ofstream(file, std::ios::binary).write(text.data(), static_cast<std::streamsize>(size));
  }
  for (auto _ : state) {
    const auto checked = vardel::check_file(file.string(), false);
    if (!checked) {
      state.SkipWithError(checked.error().display().c_str());
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  std::filesystem::remove(file);
}
BENCHMARK(BM_CheckFile)->Unit(benchmark::kMillisecond);

}  // namespace
