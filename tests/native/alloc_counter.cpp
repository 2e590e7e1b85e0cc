#include "alloc_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> allocations{0};

void* CountedAllocate(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    // malloc(0) may answer nullptr; operator new must not.
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

std::size_t AllocationCount() { return allocations.load(std::memory_order_relaxed); }

void* operator new(std::size_t size) {
    void* block = CountedAllocate(size);
    // Out of memory in a test run: stop rather than depend on exceptions being enabled.
    if (block == nullptr) std::abort();
    return block;
}

void* operator new[](std::size_t size) {
    void* block = CountedAllocate(size);
    if (block == nullptr) std::abort();
    return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAllocate(size);
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
