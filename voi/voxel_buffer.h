#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace glomera {

// The voxels of one VOI at a time. A run that writes each VOI as soon as it is built has
// no use for its voxels afterwards, so every sphere is enumerated into the same memory:
// the run then holds no more than its largest sphere's voxels, however long its list, and
// makes those pages present once instead of once per sphere.
class VoxelBuffer {
  public:
    // Room for `ints` integers in place of whatever the buffer held; null when memory runs
    // out, and the buffer then holds nothing.
    std::int32_t* take(std::size_t ints) noexcept;

  private:
    std::unique_ptr<std::int32_t[]> ints_;
    std::size_t capacity_ = 0;
};

// Frees an array on its own, unless a buffer holds it.
struct VoxelArrayRelease {
    bool owned = true;
    void operator()(std::int32_t* voxels) const noexcept {
        if (owned) delete[] voxels;
    }
};

// A VOI's voxels as consecutive (x, y, z) triples, on the heap or in a VoxelBuffer.
using VoxelArray = std::unique_ptr<std::int32_t[], VoxelArrayRelease>;

}  // namespace glomera
