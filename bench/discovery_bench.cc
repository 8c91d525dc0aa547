// Discovery over a tree of 20,000 files in 2,000 folders. The tree is VARDEL_BENCH_TREE when
// that is set (bench/list-tree.sh makes one), else one made here in a temporary folder.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "src/lib/discovery.h"
#include "src/lib/normalize_path.h"
#include "src/lib/walker.h"

namespace vardel {
namespace {

// 20 folders of 100 folders of 10 files: 9 JSON files and one text file each.
void make_tree(const std::string& root) {
  mkdir(root.c_str(), 0755);
  char name[64];
  for (int a = 0; a < 20; ++a) {
    std::snprintf(name, sizeof name, "/d%02d", a);
    std::string top = root + name;
    mkdir(top.c_str(), 0755);
    for (int b = 0; b < 100; ++b) {
      std::snprintf(name, sizeof name, "/s%02d", b);
      std::string folder = top + name;
      mkdir(folder.c_str(), 0755);
      for (int c = 0; c < 10; ++c) {
        std::snprintf(name, sizeof name, c == 9 ? "/notes%d.txt" : "/file%d.json", c);
        close(open((folder + name).c_str(), O_CREAT | O_WRONLY, 0644));
      }
    }
  }
}

// Makes the current directory the tree's parent, so that the tree is named by a relative path
// as a user would name it. Returns that name.
std::string enter_tree() {
  static const std::string name = [] {
    std::string tree;
    if (const char* given = std::getenv("VARDEL_BENCH_TREE")) {
      tree = given;
    } else {
      std::string pattern = std::filesystem::temp_directory_path() / "tree-XXXXXX";
      tree = std::string(mkdtemp(pattern.data())) + "/tree";
      make_tree(tree);
    }
    std::filesystem::path path(tree);
    if (chdir(path.parent_path().c_str()) != 0) {
      std::abort();
    }
    return path.filename().string();
  }();
  return name;
}

void BM_FindJsonFiles(benchmark::State& state) {
  const std::vector<std::string> arguments = {enter_tree()};
  std::size_t found = 0;
  for (auto _ : state) {
    auto files = find_json_files(arguments, false);
    found = files ? files->size() : 0;
    benchmark::DoNotOptimize(files);
  }
  state.counters["files"] = static_cast<double>(found);
}
BENCHMARK(BM_FindJsonFiles)->Unit(benchmark::kMillisecond);

void BM_Walk(benchmark::State& state) {
  const std::string start = enter_tree();
  std::size_t entries = 0;
  for (auto _ : state) {
    entries = 0;
    Walker walker(start);
    while (auto item = walker.next()) {
      ++entries;
    }
  }
  state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_Walk)->Unit(benchmark::kMillisecond);

void BM_FullPath(benchmark::State& state) {
  enter_tree();
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::full_path("tree\\d07\\s42\\file3.json"));
  }
}
BENCHMARK(BM_FullPath);

void BM_NormalizePath(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(normalize_path("./tree/d07/s42/../s43/file3.json"));
  }
}
BENCHMARK(BM_NormalizePath);

}  // namespace
}  // namespace vardel
