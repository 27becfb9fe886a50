#include "plugin/sphere_voxels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using glomera::makeSphereVoxels;
using glomera::SphereStatus;
using Voxels = std::vector<std::int32_t>;

Voxels sphere(float cx, float cy, float cz, float r, SphereStatus* status = nullptr) {
    std::int32_t count = -1;
    auto voxels = makeSphereVoxels(cx, cy, cz, r, &count, status);
    if (!voxels) return Voxels{-999};
    return Voxels(voxels.get(), voxels.get() + 3 * std::ptrdiff_t{count});
}

// The enumeration written out literally: every candidate of the truncated bounding box,
// tested in 32-bit float arithmetic step by step. A negative radius has no voxels.
Voxels literalSphere(float cx, float cy, float cz, float r) {
    Voxels out;
    if (r < 0.0f) return out;
    const int xLow = static_cast<int>(cx - r), xHigh = static_cast<int>(cx + r);
    const int yLow = static_cast<int>(cy - r), yHigh = static_cast<int>(cy + r);
    const int zLow = static_cast<int>(cz - r), zHigh = static_cast<int>(cz + r);
    const float r2 = r * r;
    for (int x = xLow; x <= xHigh; ++x) {
        for (int y = yLow; y <= yHigh; ++y) {
            const float dx = cx - static_cast<float>(x);
            const float dy = cy - static_cast<float>(y);
            const float dxy = dx * dx + dy * dy;
            for (int z = zLow; z <= zHigh; ++z) {
                const float dz = cz - static_cast<float>(z);
                const float d = dz * dz + dxy;
                if (d <= r2) out.insert(out.end(), {x, y, z});
            }
        }
    }
    return out;
}

TEST(SphereVoxels, UnitSphereAtOriginInSortedOrder) {
    EXPECT_EQ(sphere(0, 0, 0, 1),
              (Voxels{-1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0}));
}

TEST(SphereVoxels, CountsOfWholeRadii) {
    EXPECT_EQ(sphere(0, 0, 0, 2).size(), 3u * 33);
    EXPECT_EQ(sphere(0, 0, 0, 5).size(), 3u * 515);
}

TEST(SphereVoxels, HalfIntegerCentres) {
    EXPECT_EQ(sphere(0.5f, 0.5f, 0.5f, 1),
              (Voxels{0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0, 1, 1, 1}));
    EXPECT_EQ(sphere(0.5f, 0, 0, 1), (Voxels{0, 0, 0, 1, 0, 0}));
}

TEST(SphereVoxels, RadiusZeroHoldsOnlyAnIntegerCentre) {
    EXPECT_EQ(sphere(10, -20, 30, 0), (Voxels{10, -20, 30}));
    EXPECT_EQ(sphere(10.5f, 0, 0, 0), Voxels{});
}

TEST(SphereVoxels, NegativeRadiusHoldsNothingEvenNearTheOrigin) {
    // Truncation toward zero leaves the candidate 0 on every axis here; the literal test
    // would accept it, but a sphere of negative radius is empty.
    EXPECT_EQ(sphere(0.1f, 0.1f, 0.1f, -0.4f), Voxels{});
    EXPECT_EQ(sphere(5, 5, 5, -3), Voxels{});
}

TEST(SphereVoxels, TruncatedBoundsLoseNoVoxelOnNegativeSide) {
    // Bounds -12.5 and -7.5 truncate to -12 and -7.
    const Voxels voxels = sphere(-10, 0, 0, 2.5f);
    EXPECT_EQ(voxels.front(), -12);
    EXPECT_EQ(voxels[voxels.size() - 3], -8);
    EXPECT_EQ(voxels, literalSphere(-10, 0, 0, 2.5f));
}

TEST(SphereVoxels, BoundaryDecidedInFloatArithmetic) {
    // Only the candidate (0, 0, 0) survives truncation of the bounds -0.2 and 0.4.
    EXPECT_EQ(sphere(0.1f, 0.1f, 0.1f, 0.3f), (Voxels{0, 0, 0}));
    // A voxel exactly on the surface belongs.
    EXPECT_EQ(sphere(0, 0, 0.5f, 0.5f), (Voxels{0, 0, 0, 0, 0, 1}));
}

TEST(SphereVoxels, MatchesLiteralEnumerationOnRandomSpheres) {
    std::mt19937 random(20261207);
    std::uniform_real_distribution<float> centre(-80.0f, 80.0f);
    std::uniform_real_distribution<float> radius(-2.0f, 12.0f);
    std::uniform_int_distribution<int> kind(0, 4);
    for (int i = 0; i < 3000; ++i) {
        float c[3];
        for (float& v : c) {
            v = centre(random);
            switch (kind(random)) {
                case 0:
                    v = std::round(v);
                    break;  // integer
                case 1:
                    v = std::round(v) + 0.5f;
                    break;  // half-integer
                case 2:
                    v = std::nextafter(std::round(v) + 0.5f, 0.0f);
                    break;  // just inside
                default:
                    break;
            }
        }
        float r = radius(random);
        if (i % 10 == 0) r = std::round(r);
        if (i % 37 == 0) r = 0.0f;
        ASSERT_EQ(sphere(c[0], c[1], c[2], r), literalSphere(c[0], c[1], c[2], r))
            << "centre " << c[0] << " " << c[1] << " " << c[2] << " radius " << r;
    }
}

TEST(SphereVoxels, LargeRadiusMatchesLiteralCount) {
    EXPECT_EQ(sphere(0.25f, -3.75f, 10.5f, 40.3f), literalSphere(0.25f, -3.75f, 10.5f, 40.3f));
}

TEST(SphereVoxels, RefusesSpheresOutsideItsLimits) {
    SphereStatus status;
    std::int32_t count = 7;
    EXPECT_EQ(makeSphereVoxels(NAN, 0, 0, 1, &count, &status), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(status, SphereStatus::kNotFinite);
    EXPECT_EQ(makeSphereVoxels(0, 0, 0, INFINITY, &count, &status), nullptr);
    EXPECT_EQ(status, SphereStatus::kNotFinite);
    EXPECT_EQ(makeSphereVoxels(0, 3e9f, 0, 1, &count, &status), nullptr);
    EXPECT_EQ(status, SphereStatus::kOutOfRange);
    EXPECT_EQ(makeSphereVoxels(0, 0, 0, 1e30f, &count, &status), nullptr);
    EXPECT_EQ(status, SphereStatus::kTooManyVoxels);
    // Radius 560 already passes 715827882 voxels (4/3 pi 560^3 is about 7.36e8).
    EXPECT_EQ(makeSphereVoxels(0, 0, 0, 560, &count, &status), nullptr);
    EXPECT_EQ(status, SphereStatus::kTooManyVoxels);
    EXPECT_EQ(count, 0);
}

TEST(SphereVoxels, FarCentreWithinRangeIsBuilt) {
    EXPECT_EQ(sphere(2e9f, 0, 0, 0), (Voxels{2000000000, 0, 0}));
}

}  // namespace

namespace {

TEST(VoxelArena, ArraysAreSeparateAlignedAndOutliveNothing) {
    glomera::VoxelArena arena;
    // Spheres of a run, from the arena and from the heap: the same voxels.
    std::vector<glomera::VoxelArray> arrays;
    std::vector<std::int32_t> counts;
    for (int i = 0; i < 200; ++i) {
        const float radius = static_cast<float>(i % 40);
        std::int32_t count = 0, heapCount = 0;
        arrays.push_back(makeSphereVoxels(i * 0.5f, -3.25f, 7, radius, &count, nullptr, &arena));
        const auto heap = makeSphereVoxels(i * 0.5f, -3.25f, 7, radius, &heapCount);
        ASSERT_TRUE(arrays.back());
        ASSERT_EQ(count, heapCount);
        ASSERT_TRUE(
            std::equal(heap.get(), heap.get() + 3 * std::ptrdiff_t{count}, arrays.back().get()));
        counts.push_back(count);
    }
    // Spread over several blocks, none written over by a later array.
    EXPECT_GT(arena.mapped(), std::size_t{64} << 20);
    for (std::size_t i = 0; i < arrays.size(); ++i) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(arrays[i].get()) % 64, 0u);
        const Voxels again =
            sphere(static_cast<float>(i) * 0.5f, -3.25f, 7, static_cast<float>(i % 40));
        ASSERT_TRUE(std::equal(again.begin(), again.end(), arrays[i].get())) << i;
    }
    // Nothing to hold is still an array; more than memory holds is none.
    const std::int32_t* none = arena.allocate(0);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(none) % 64, 0u);
    EXPECT_EQ(arena.allocate(SIZE_MAX / 8), nullptr);
    arrays.clear();  // the arena's arrays are not freed one by one
}

}  // namespace
