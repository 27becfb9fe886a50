#include "tests/allocation_failure.h"

#include <atomic>
#include <cstdint>
#include <new>

namespace {

std::atomic<std::size_t> refuseFrom{SIZE_MAX};
std::atomic<int> refusals{0};

}  // namespace

// Replaces the standard library's nothrow array allocation for the whole test program.
// Everything it does not refuse comes from the ordinary array allocation, which the
// ordinary delete[] releases.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (size >= refuseFrom.load()) {
        refusals.fetch_add(1);
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

FailLargeAllocations::FailLargeAllocations(std::size_t bytes) {
    refusals.store(0);
    refuseFrom.store(bytes);
}

FailLargeAllocations::~FailLargeAllocations() { refuseFrom.store(SIZE_MAX); }

int FailLargeAllocations::refused() const { return refusals.load(); }
