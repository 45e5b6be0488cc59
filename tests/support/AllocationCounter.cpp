#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define AMBRO_SANITIZED_ALLOCATOR 1
// The sanitizer runtimes' allocation hooks (not every compiler ships the
// header that declares them).
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*onAllocation)(const volatile void*, std::size_t), void (*onFree)(const volatile void*));
#endif

namespace {
std::atomic<std::size_t> allocations{0};

void countOne() { allocations.fetch_add(1, std::memory_order_relaxed); }
}  // namespace

namespace ambro::test {
std::size_t allocationCount() { return allocations.load(std::memory_order_relaxed); }
}  // namespace ambro::test

#ifdef AMBRO_SANITIZED_ALLOCATOR

namespace {
void onAllocation(const volatile void*, std::size_t) { countOne(); }

const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks(onAllocation, nullptr);
}  // namespace

#else

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* memory, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

void* malloc(std::size_t size) {
    countOne();
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    countOne();
    return __libc_calloc(count, size);
}

void* realloc(void* memory, std::size_t size) {
    countOne();
    return __libc_realloc(memory, size);
}

void* memalign(std::size_t alignment, std::size_t size) {
    countOne();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** memory, std::size_t alignment, std::size_t size) {
    countOne();
    *memory = __libc_memalign(alignment, size);
    return *memory ? 0 : 12;
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    countOne();
    return __libc_memalign(alignment, size);
}
}  // extern "C"

#endif
