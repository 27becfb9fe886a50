#include "voi/voxel_arena.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace glomera {
namespace {

constexpr std::size_t kBlockSize = std::size_t{64} << 20;
constexpr std::size_t kAlignment = 64;

std::size_t roundUp(std::size_t value, std::size_t step) {
    return (value + step - 1) / step * step;
}

std::size_t pageSize() {
    static const auto size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

}  // namespace

VoxelArena::~VoxelArena() { release(); }

VoxelArena::VoxelArena(VoxelArena&& other) noexcept : blocks_(std::move(other.blocks_)) {
    other.blocks_.clear();
}

VoxelArena& VoxelArena::operator=(VoxelArena&& other) noexcept {
    if (this != &other) {
        release();
        blocks_ = std::move(other.blocks_);
        other.blocks_.clear();
    }
    return *this;
}

void VoxelArena::release() noexcept {
    for (const Block& block : blocks_) ::munmap(block.base, block.size);
    blocks_.clear();
}

std::int32_t* VoxelArena::allocate(std::size_t ints) noexcept {
    alignas(kAlignment) static std::int32_t none[1];
    if (ints == 0) return none;
    if (ints > (SIZE_MAX - kBlockSize) / sizeof(std::int32_t)) return nullptr;
    const std::size_t bytes = roundUp(ints * sizeof(std::int32_t), kAlignment);
    if (blocks_.empty() || blocks_.back().size - blocks_.back().used < bytes) {
        const std::size_t size = roundUp(std::max(bytes, kBlockSize), pageSize());
        try {
            blocks_.reserve(blocks_.size() + 1);
        } catch (...) {
            return nullptr;
        }
        void* const base =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) return nullptr;
        blocks_.push_back({static_cast<char*>(base), size, 0});
    }
    Block& block = blocks_.back();
    char* const at = block.base + block.used;
    block.used += bytes;
    // The array's pages are made present in one call rather than faulted in one by one as
    // they are first written. Older kernels refuse; their pages fault in as usual.
#ifdef MADV_POPULATE_WRITE
    const std::size_t first = static_cast<std::size_t>(at - block.base) / pageSize() * pageSize();
    ::madvise(block.base + first, block.used - first, MADV_POPULATE_WRITE);
#endif
    return reinterpret_cast<std::int32_t*>(at);
}

std::size_t VoxelArena::mapped() const {
    std::size_t total = 0;
    for (const Block& block : blocks_) total += block.size;
    return total;
}

}  // namespace glomera
