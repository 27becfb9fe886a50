#pragma once

#include <cstddef>

// Refuses every nothrow array allocation ("new (std::nothrow) T[n]") of at least `bytes`
// while it lives, as a system short of memory would: the plug-in asks for its large arrays
// that way and must say "Not enough memory" when refused. Other allocations go on as usual.
class FailLargeAllocations {
  public:
    explicit FailLargeAllocations(std::size_t bytes);
    ~FailLargeAllocations();
    FailLargeAllocations(const FailLargeAllocations&) = delete;
    FailLargeAllocations& operator=(const FailLargeAllocations&) = delete;

    // How many allocations were refused so far.
    int refused() const;
};
