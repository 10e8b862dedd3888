#include "AllocationCount.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<int> counting{0};
std::atomic<long> counted{0};
} // namespace

AllocationCount::AllocationCount() {
    counted = 0;
    ++counting;
}

AllocationCount::~AllocationCount() {
    --counting;
}

long AllocationCount::allocations() const {
    return counted;
}

// The program's allocator: malloc, counted while an AllocationCount lives.
void* operator new(std::size_t size) {
    if (counting > 0) {
        ++counted;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
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
