#include "allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "platform/process_census.h"

namespace morvex::bench {

namespace {

std::atomic<uint64_t> g_allocations{0};
std::atomic<uint64_t> g_thread_allocations{0};
std::atomic<uint64_t> g_watched{0};

}  // namespace

uint64_t Allocations() { return g_allocations.load(); }
uint64_t WatchedThreadAllocations() { return g_thread_allocations.load(); }
void WatchThread(uint64_t system_thread_id) { g_watched.store(system_thread_id); }

void* CountedAllocation(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  const uint64_t watched = g_watched.load(std::memory_order_relaxed);
  if (watched != 0 && platform::CurrentSystemThreadId() == watched)
    g_thread_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}

}  // namespace morvex::bench

void* operator new(size_t size) {
  if (void* p = morvex::bench::CountedAllocation(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return morvex::bench::CountedAllocation(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return morvex::bench::CountedAllocation(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
