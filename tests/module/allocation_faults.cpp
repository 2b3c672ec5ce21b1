// Linked into a test build of the control module only: the module's own
// operator new, which fails (throws, or returns null for the nothrow forms)
// at the allocation a test names, so that every allocation of a call can be
// made to fail in turn.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> countdown{0};  // 0: no failure armed
std::atomic<bool> failed{false};

bool FailThisOne() {
  if (countdown.load() <= 0) return false;
  if (countdown.fetch_sub(1) != 1) return false;
  failed = true;
  return true;
}

void* Allocate(std::size_t size) {
  if (FailThisOne()) return nullptr;
  return std::malloc(size ? size : 1);
}
}  // namespace

// Arms the failure of the nth allocation from now (0 disarms); returns
// whether the previously armed one happened.
extern "C" __declspec(dllexport) BOOL ZtFailAllocation(long nth) {
  const bool happened = failed.exchange(false);
  countdown = nth;
  return happened;
}

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
