#include "voi/voxel_buffer.h"

#include <limits>
#include <new>

namespace glomera {

std::int32_t* VoxelBuffer::take(std::size_t ints) noexcept {
    if (ints_ && ints <= capacity_) return ints_.get();
    // The old voxels go first, so that the two are never held at once. Spheres of one
    // radius differ by a few voxels with their centres; a quarter more spares a new array
    // for each slightly larger one, and its pages cost nothing until they are written.
    ints_.reset();
    capacity_ = 0;
    constexpr std::size_t kLargest = std::numeric_limits<std::size_t>::max() / sizeof(std::int32_t);
    const std::size_t wanted = ints <= kLargest / 2 ? ints + ints / 4 : ints;
    if (wanted > kLargest) return nullptr;
    ints_.reset(new (std::nothrow) std::int32_t[wanted == 0 ? 1 : wanted]);
    if (ints_) capacity_ = wanted;
    return ints_.get();
}

}  // namespace glomera
