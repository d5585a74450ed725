// Counts every allocation made through operator new in the engine tests, so a test
// can prove that a stretch of work allocated nothing (it compares two readings),
// and can make allocations fail, as when memory runs out.
#include "allocation_counter.h"

#include <cstdlib>
#include <new>

namespace tuttiro::test {

std::atomic<int64_t> allocationCount{0};
std::atomic<int> failingAllocations{0};

}  // namespace tuttiro::test

namespace {

bool Failing() noexcept {
  return tuttiro::test::failingAllocations.load() > 0 &&
         tuttiro::test::failingAllocations.fetch_sub(1) > 0;
}

void* CountedAllocate(std::size_t size) noexcept {
  tuttiro::test::allocationCount.fetch_add(1, std::memory_order_relaxed);
  if (Failing()) return nullptr;
  return std::malloc(size ? size : 1);
}

void* CountedAllocateAligned(std::size_t size, std::align_val_t align) noexcept {
  tuttiro::test::allocationCount.fetch_add(1, std::memory_order_relaxed);
  const auto a = static_cast<std::size_t>(align);
  return std::aligned_alloc(a, (size + a - 1) / a * a);
}

void* OrThrow(void* p) {
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

// Every form is replaced, so that whatever allocates through one of them frees
// through the matching replacement (the sanitizers check the pairs).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return CountedAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return CountedAllocate(size);
}
void* operator new(std::size_t size, std::align_val_t align) {
  return OrThrow(CountedAllocateAligned(size, align));
}
void* operator new[](std::size_t size, std::align_val_t align) {
  return OrThrow(CountedAllocateAligned(size, align));
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return CountedAllocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
  return CountedAllocateAligned(size, align);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}

void* operator new(std::size_t size) {
  return OrThrow(CountedAllocate(size));
}
void* operator new[](std::size_t size) {
  return OrThrow(CountedAllocate(size));
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
