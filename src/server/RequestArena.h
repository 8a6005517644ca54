// Memory for the header fields of one connection's requests. The fields of a request are handed
// out in turn from a block the connection keeps, and the block is taken back whole when the next
// request begins, so that a usual header costs no allocation; what does not fit comes from the
// heap and goes back to it.
#pragma once

#include <cstddef>
#include <new>

namespace zeb::server {

class RequestArena {
 public:
  static constexpr std::size_t kBlockBytes = 2048;

  RequestArena() = default;
  RequestArena(const RequestArena&) = delete;
  RequestArena& operator=(const RequestArena&) = delete;

  // REQUIRES: nothing taken from the block is in use any more.
  void Reset() { used_ = 0; }

  void* Take(std::size_t bytes, std::size_t align) {
    const std::size_t start = (used_ + align - 1) / align * align;
    if (align > alignof(std::max_align_t) || start + bytes > kBlockBytes) return ::operator new(bytes);
    used_ = start + bytes;
    return block_ + start;
  }

  void Give(void* memory) noexcept {
    if (memory < static_cast<void*>(block_) || memory >= static_cast<void*>(block_ + kBlockBytes)) {
      ::operator delete(memory);
    }
  }

 private:
  alignas(std::max_align_t) char block_[kBlockBytes];
  std::size_t used_ = 0;
};

// A standard allocator over a RequestArena, for the fields of a request's header.
template <class T>
class ArenaAllocator {
 public:
  using value_type = T;

  explicit ArenaAllocator(RequestArena& arena) noexcept : arena_(&arena) {}
  template <class U>
  ArenaAllocator(const ArenaAllocator<U>& other) noexcept : arena_(other.arena()) {}

  T* allocate(std::size_t n) { return static_cast<T*>(arena_->Take(n * sizeof(T), alignof(T))); }
  void deallocate(T* memory, std::size_t) noexcept { arena_->Give(memory); }
  RequestArena* arena() const noexcept { return arena_; }

  template <class U>
  bool operator==(const ArenaAllocator<U>& other) const noexcept {
    return arena_ == other.arena();
  }
  template <class U>
  bool operator!=(const ArenaAllocator<U>& other) const noexcept {
    return arena_ != other.arena();
  }

 private:
  RequestArena* arena_;
};

}  // namespace zeb::server
