// Checking a document allocates nothing: check mode keeps only the file's text in memory.

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "json/json.h"

namespace {

std::size_t allocations = 0;

}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace vardel::json {
namespace {

TEST(Validate, AllocatesNothingForAValidDocument) {
  std::string text = "[";
  for (int i = 0; i < 2000; ++i) {
    text +=
        R"({"id": 12345, "name": "a string long enough to leave any small buffer",)"
        R"( "escaped": "tab\t quote\" \u00e9 \uD83D\uDE00", "n": [-1.5e300, 0.1, -0, 1e-400],)"
        R"( "deep": [[[{"x": null}]]], "flags": [true, false], "big": 123456789012345678901234567890},)";
  }
  text += "{}]";
  std::size_t before = allocations;
  auto result = validate(text);
  std::size_t used = allocations - before;
  ASSERT_TRUE(result) << result.error().display();
  EXPECT_EQ(used, 0u);
}

}  // namespace
}  // namespace vardel::json
