// The regex facade: compiling through a warm cache, searching, and a first compile.
#include <string>

#include <benchmark/benchmark.h>

#include "regex/regex.h"
#include "regex/regex_internal.h"

namespace {

constexpr const char* DATE = "^\\d{4}-\\d{2}-\\d{2}$";

void BM_CompileWarmCache(benchmark::State& state) {
  (void)vardel::regex::Regex::compile(DATE);
  for (auto _ : state) {
    auto re = vardel::regex::Regex::compile(DATE);
    benchmark::DoNotOptimize(re);
  }
}
BENCHMARK(BM_CompileWarmCache);

void BM_SearchDate(benchmark::State& state) {
  auto re = vardel::regex::Regex::compile(DATE);
  const std::string text = "2024-01-15";
  for (auto _ : state) {
    benchmark::DoNotOptimize(re->search(text));
  }
}
BENCHMARK(BM_SearchDate);

void BM_SearchDateArabicIndic(benchmark::State& state) {
  auto re = vardel::regex::Regex::compile(DATE);
  const std::string text = "\xd9\xa2\xd9\xa0\xd9\xa2\xd9\xa4-\xd9\xa0\xd9\xa1-\xd9\xa1\xd9\xa5";
  for (auto _ : state) {
    benchmark::DoNotOptimize(re->search(text));
  }
}
BENCHMARK(BM_SearchDateArabicIndic);

void BM_SearchExcludedLongPath(benchmark::State& state) {
  auto re = vardel::regex::Regex::compile(
      ".tesk|.venv|build|node_modules|package-lock.json|target|vendor");
  std::string path = "C:\\work";
  while (path.size() < 200) {
    path += "\\projects\\src";
  }
  path += "\\config.json";
  for (auto _ : state) {
    benchmark::DoNotOptimize(re->search(path));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * path.size()));
}
BENCHMARK(BM_SearchExcludedLongPath);

// What a first compile costs, without the cache: translation alone.
void BM_TranslateBracketedNotWord(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(vardel::regex::translate("^[\\W\\d]+$"));
  }
}
BENCHMARK(BM_TranslateBracketedNotWord);

}  // namespace

BENCHMARK_MAIN();
