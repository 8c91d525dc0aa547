// Where the strings, arrays and objects inside a Value get their memory.
//
// Values take it from the heap, except while a Region is active on the thread: then everything
// they allocate comes from that region, cut from large blocks, and goes back only with the
// region as a whole. A document parsed for validation is built that way (see Document in
// json/json.h): it costs no heap allocation per value, its blocks can be backed by large pages,
// and it is freed in one step without visiting its values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory_resource>
#include <new>
#include <vector>

namespace vardel::json {

// A bump allocator over blocks taken from an upstream resource. Nothing is freed before the
// region itself; objects placed in it are never destroyed, so only memory may live there.
class Region {
 public:
  // `first_block` is the size of the first block; later ones grow with the region.
  explicit Region(std::pmr::memory_resource* upstream, std::size_t first_block);
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;
  ~Region();

  // Requires: `align` is a power of two no greater than alignof(std::max_align_t).
  void* allocate(std::size_t bytes, std::size_t align) {
    const std::uintptr_t next = reinterpret_cast<std::uintptr_t>(next_);
    const std::uintptr_t start = (next + align - 1) & ~(std::uintptr_t{align} - 1);
    if (next_ != nullptr && start - next <= left_ && bytes <= left_ - (start - next)) {
      left_ -= bytes + (start - next);
      next_ = reinterpret_cast<char*>(start + bytes);
      return next_ - bytes;
    }
    return allocate_in_new_block(bytes);
  }

  // Whether `p` points into one of the region's blocks.
  [[nodiscard]] bool contains(const void* p) const;
  // The bytes of all blocks taken from upstream so far.
  [[nodiscard]] std::size_t reserved() const { return reserved_; }

 private:
  struct Block {
    void* data;
    std::size_t size;
  };

  void* allocate_in_new_block(std::size_t bytes);

  std::pmr::memory_resource* upstream_;
  std::vector<Block> blocks_;
  char* next_ = nullptr;
  std::size_t left_ = 0;
  std::size_t next_block_size_;
  std::size_t reserved_ = 0;
};

namespace detail {
// The region Values allocate from on this thread, or nullptr for the heap.
inline constinit thread_local Region* active_region = nullptr;
}  // namespace detail

// Makes a region the one Values take memory from on this thread, for the scope's lifetime;
// scopes nest, the previous region coming back at the end.
class RegionScope {
 public:
  explicit RegionScope(Region& region) : previous_(detail::active_region) {
    detail::active_region = &region;
  }
  RegionScope(const RegionScope&) = delete;
  RegionScope& operator=(const RegionScope&) = delete;
  ~RegionScope() { detail::active_region = previous_; }

 private:
  Region* previous_;
};

// The allocator of the containers inside Value: the active region, else the heap. Freeing
// memory of the active region does nothing; the region gives it back when it goes.
template <class T>
class Allocator {
 public:
  using value_type = T;

  Allocator() noexcept = default;
  template <class U>
  Allocator(const Allocator<U>&) noexcept {}  // NOLINT(google-explicit-constructor)

  [[nodiscard]] T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
      throw std::bad_array_new_length();
    }
    if (Region* region = detail::active_region) {
      return static_cast<T*>(region->allocate(n * sizeof(T), alignof(T)));
    }
    return static_cast<T*>(::operator new(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept {
    if (Region* region = detail::active_region; region != nullptr && region->contains(p)) {
      return;
    }
    ::operator delete(p, n * sizeof(T));
  }

  template <class U>
  bool operator==(const Allocator<U>&) const noexcept {
    return true;
  }
};

}  // namespace vardel::json
