#pragma once

#include <cstdint>

#include "voi/voxel_buffer.h"

namespace glomera {

// Why a sphere could not be enumerated.
enum class SphereStatus {
    kOk,
    kNotFinite,      // the centre or the radius is not a finite number
    kOutOfRange,     // the bounding box leaves the range of 32-bit voxel coordinates
    kTooManyVoxels,  // 3 x count would pass the largest signed 32-bit integer
    kNoMemory,
};

// The most voxels one sphere may hold: three coordinates each must fit a 32-bit count.
constexpr std::int64_t kMaxSphereVoxels = 715827882;

// All integer triples (x, y, z) whose squared distance from the centre, computed step by
// step in 32-bit floats, is at most radius squared; sorted by x, then y, then z. A negative
// radius gives no voxels. Returns the triples as 3 x count integers (a zero-length array
// when there are none), or null with count 0 when the sphere cannot be made; `status`, if
// given, tells why. The array is taken from `buffer` when one is given, in place of the
// voxels it held, else from the heap.
VoxelArray makeSphereVoxels(float cx, float cy, float cz, float radius, std::int32_t* count,
                            SphereStatus* status = nullptr, VoxelBuffer* buffer = nullptr);

}  // namespace glomera
