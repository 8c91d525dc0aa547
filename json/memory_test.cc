// Regions and the documents built in them: where Values take their memory, and that a document
// gives all of it back in one step while copies taken out of it live on.

#include "json/memory.h"

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "json/json.h"
#include "json/value.h"

namespace vardel::json {
namespace {

// Counts what is taken from it and fails the test when something is given back twice, with
// another size, or not at all.
class CountingMemory final : public std::pmr::memory_resource {
 public:
  ~CountingMemory() override { EXPECT_EQ(live_, 0U) << "blocks not given back"; }
  std::size_t blocks = 0;
  [[nodiscard]] std::size_t live() const { return live_; }

 private:
  void* do_allocate(std::size_t bytes, std::size_t align) override {
    ++blocks;
    live_ += bytes;
    return std::pmr::new_delete_resource()->allocate(bytes, align);
  }
  void do_deallocate(void* p, std::size_t bytes, std::size_t align) override {
    EXPECT_GE(live_, bytes);
    live_ -= bytes;
    std::pmr::new_delete_resource()->deallocate(p, bytes, align);
  }
  [[nodiscard]] bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }
  std::size_t live_ = 0;
};

TEST(Region, CutsAlignedPiecesFromGrowingBlocks) {
  CountingMemory upstream;
  {
    Region region(&upstream, 1024);
    EXPECT_EQ(upstream.blocks, 0U) << "nothing is taken before the first request";
    char* one = static_cast<char*>(region.allocate(1, 1));
    auto* eight = static_cast<std::uint64_t*>(region.allocate(8, 8));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(eight) % 8, 0U);
    EXPECT_NE(static_cast<void*>(one), static_cast<void*>(eight));
    EXPECT_TRUE(region.contains(one));
    EXPECT_TRUE(region.contains(eight));
    EXPECT_EQ(upstream.blocks, 1U);
    // A request larger than any block gets one of its own, and the pieces do not overlap.
    char* big = static_cast<char*>(region.allocate(10000, 16));
    big[0] = 'a';
    big[9999] = 'z';
    EXPECT_TRUE(region.contains(big + 9999));
    EXPECT_EQ(upstream.blocks, 2U);
    EXPECT_GE(region.reserved(), 10000U + 1024U);
    int outside = 0;
    EXPECT_FALSE(region.contains(&outside));
  }
  EXPECT_EQ(upstream.live(), 0U);
}

TEST(Region, ValuesTakeMemoryFromTheActiveRegionOnly) {
  CountingMemory upstream;
  Region outer(&upstream, 4096);
  Region inner(&upstream, 4096);
  const std::string long_text(100, 'x');  // too long to sit inside the string object
  Value on_heap(long_text);
  {
    RegionScope outer_scope(outer);
    Value in_outer(long_text);
    {
      RegionScope inner_scope(inner);
      Value in_inner(long_text);
      EXPECT_TRUE(inner.contains(in_inner.as_string().data()));
    }
    // The inner scope has ended: the outer region is the active one again.
    Value again(Array{Value(long_text)});
    EXPECT_TRUE(outer.contains(in_outer.as_string().data()));
    EXPECT_TRUE(outer.contains(again.as_array().data()));
  }
  EXPECT_FALSE(outer.contains(on_heap.as_string().data()));
  EXPECT_FALSE(inner.contains(on_heap.as_string().data()));
  // A copy made outside every scope lives on the heap.
  Value copy = on_heap;
  EXPECT_FALSE(outer.contains(copy.as_string().data()));
}

TEST(Document, HoldsWhatParseGivesAndFailsTheSameWay) {
  const std::string_view texts[] = {
      "null",
      R"({"b": [1, -2, 3.5, "text long enough to need memory of its own"], "a": {"c": true}})",
      R"({"k": 1, "k": 2})",
      R"([[[[]]], {}, "", 18446744073709551615, -9223372036854775808])",
      "[1, 2,]",
      R"({"a" 1})",
      "",
  };
  for (std::string_view text : texts) {
    SCOPED_TRACE(text);
    const auto value = parse(text);
    CountingMemory upstream;
    {
      const auto document = parse_document(text, &upstream);
      ASSERT_EQ(value.has_value(), document.has_value());
      if (value) {
        EXPECT_EQ(document->value(), *value);
        EXPECT_EQ(write_compact(document->value()), write_compact(*value));
      } else {
        EXPECT_EQ(document.error().display(), value.error().display());
      }
    }
    EXPECT_EQ(upstream.live(), 0U);
  }
}

TEST(Document, CopiesTakenOutOutliveIt) {
  const std::string text =
      R"({"name": "a string longer than the inline buffer", "list": [1, {"x": "y"}]})";
  std::optional<Value> copy;
  {
    auto document = parse_document(text);
    ASSERT_TRUE(document);
    auto moved = std::move(*document);  // a document moves without moving its values
    copy = moved.value();
  }
  EXPECT_EQ(write_compact(*copy), write_compact(*parse(text)));
}

}  // namespace
}  // namespace vardel::json
