// A process-wide constant built on first use and never destroyed.
#pragma once

#include <memory>
#include <mutex>

namespace vardel {

// Holds a T made by `factory` on the first `*` or `->`, under std::call_once, so that several
// threads still build it once. The value lives until the process ends: it is never destroyed,
// so it stays usable from anything that runs during exit.
//
// Meant for namespace scope: `inline const Lazy<Regex> PATTERN{make_pattern};` is constant-
// initialised, so no order of static initialisation matters.
template <typename T>
class Lazy {
 public:
  using Factory = T (*)();

  explicit constexpr Lazy(Factory factory) : factory_(factory) {}
  Lazy(const Lazy&) = delete;
  Lazy& operator=(const Lazy&) = delete;
  // Deliberately leaves the value alone.
  ~Lazy() {}

  const T& operator*() const {
    std::call_once(once_, [this] { std::construct_at(&value_, factory_()); });
    return value_;
  }
  const T* operator->() const { return &**this; }

 private:
  Factory factory_;
  mutable std::once_flag once_;
  // A union member is neither constructed nor destroyed unless asked to; `unused_` is what a
  // constant initialisation needs to find in place until the value is built.
  union {
    char unused_ = 0;
    mutable T value_;
  };
};

}  // namespace vardel
