// Replays saved inputs through a fuzz target without libFuzzer, so that the normal and the
// sanitizer test builds keep every crash ever found (and the seeds) fixed.
// Usage: <target>_replay PATH...; each PATH is a file or a folder whose files are read, in name
// order, recursively. A missing folder counts as empty; replaying no input at all fails.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/fuzz_check.h"

namespace {

std::vector<std::filesystem::path> inputs_under(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  if (std::filesystem::is_regular_file(root, error)) {
    files.push_back(root);
    return files;
  }
  if (!std::filesystem::is_directory(root, error)) {
    return files;
  }
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    // Dot files are notes, not inputs.
    if (it->is_regular_file(error) && !it->path().filename().string().starts_with(".")) {
      files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const std::filesystem::path& file : inputs_under(argv[i])) {
      std::ifstream in(file, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
        return 1;
      }
      const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      // Print first: a crash then names its input.
      std::fprintf(stderr, "replaying %s\n", file.string().c_str());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::fprintf(stderr, "%zu inputs replayed\n", replayed);
  return replayed == 0 ? 1 : 0;
}
