// Every allocation of the program that links this is counted, so that a
// benchmark can tell the most memory a call held at once.
#include "bench/counting_allocator.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<int64_t> g_live_bytes{0};
std::atomic<int64_t> g_peak_bytes{0};

// Each block carries its size in front, so that delete can count it.
constexpr size_t kHeader = alignof(std::max_align_t);

void* CountedAlloc(size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<size_t*>(block) = size;
  const int64_t live = g_live_bytes.fetch_add(static_cast<int64_t>(size)) + static_cast<int64_t>(size);
  int64_t peak = g_peak_bytes.load();
  while (live > peak && !g_peak_bytes.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void CountedFree(void* p) {
  if (p == nullptr) return;
  void* block = static_cast<char*>(p) - kHeader;
  g_live_bytes.fetch_sub(static_cast<int64_t>(*static_cast<size_t*>(block)));
  std::free(block);
}

}  // namespace

int64_t StartPeak() {
  const int64_t live = g_live_bytes.load();
  g_peak_bytes.store(live);
  return live;
}

double PeakExtraMB(int64_t base) { return static_cast<double>(g_peak_bytes.load() - base) / 1e6; }

void* operator new(size_t size) { return CountedAlloc(size); }
void* operator new[](size_t size) { return CountedAlloc(size); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, size_t) noexcept { CountedFree(p); }
// std::stable_sort takes its buffer from the nothrow form: it must be counted
// and freed by the same allocator, also where a runtime (a sanitizer) would
// not route it through the forms above.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return CountedAlloc(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { CountedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { CountedFree(p); }
