#include "json/memory.h"

#include <algorithm>

namespace vardel::json {

namespace {

// Blocks double with the region up to this size, so a large document takes few of them and
// leaves at most this much unused at its end.
constexpr std::size_t LARGEST_GROWTH = std::size_t{64} << 20;
constexpr std::size_t BLOCK_ALIGN = alignof(std::max_align_t);

}  // namespace

Region::Region(std::pmr::memory_resource* upstream, std::size_t first_block)
    : upstream_(upstream), next_block_size_(std::max<std::size_t>(first_block, 256)) {}

Region::~Region() {
  for (const Block& block : blocks_) {
    upstream_->deallocate(block.data, block.size, BLOCK_ALIGN);
  }
}

bool Region::contains(const void* p) const {
  const auto address = reinterpret_cast<std::uintptr_t>(p);
  return std::ranges::any_of(blocks_, [address](const Block& block) {
    const auto start = reinterpret_cast<std::uintptr_t>(block.data);
    return address >= start && address - start < block.size;
  });
}

void* Region::allocate_in_new_block(std::size_t bytes) {
  // Every request is at most max_align_t-aligned, which a fresh block's start is.
  const std::size_t size = std::max(bytes, next_block_size_);
  blocks_.reserve(blocks_.size() + 1);
  void* data = upstream_->allocate(size, BLOCK_ALIGN);
  blocks_.push_back(Block{data, size});
  reserved_ += size;
  next_block_size_ = std::min(std::max(next_block_size_, reserved_), LARGEST_GROWTH);
  next_ = static_cast<char*>(data) + bytes;
  left_ = size - bytes;
  return data;
}

}  // namespace vardel::json
