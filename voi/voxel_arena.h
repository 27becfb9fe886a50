#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace glomera {

// The voxel arrays of one set of VOIs, carved from a few large mapped blocks, each array's
// pages made present in one call: a run of a thousand large spheres then takes a few hundred
// page faults instead of 130,000, and frees its arrays in a handful of calls. The blocks go
// when the arena goes; an array taken from it is never freed on its own.
class VoxelArena {
  public:
    VoxelArena() = default;
    ~VoxelArena();
    VoxelArena(VoxelArena&& other) noexcept;
    VoxelArena& operator=(VoxelArena&& other) noexcept;
    VoxelArena(const VoxelArena&) = delete;
    VoxelArena& operator=(const VoxelArena&) = delete;

    // Room for `ints` integers, aligned for any use; null when memory runs out.
    std::int32_t* allocate(std::size_t ints) noexcept;

    // Bytes mapped for the blocks, whether touched yet or not.
    std::size_t mapped() const;

  private:
    struct Block {
        char* base;
        std::size_t size;
        std::size_t used;
    };
    void release() noexcept;
    std::vector<Block> blocks_;
};

// Frees an array on its own, unless an arena holds it.
struct VoxelArrayRelease {
    bool owned = true;
    void operator()(std::int32_t* voxels) const noexcept {
        if (owned) delete[] voxels;
    }
};

// A VOI's voxels as consecutive (x, y, z) triples, on the heap or in an arena.
using VoxelArray = std::unique_ptr<std::int32_t[], VoxelArrayRelease>;

}  // namespace glomera
