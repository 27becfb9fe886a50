#include "plugin/sphere_voxels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <random>
#include <vector>

#include "tests/allocation_failure.h"

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

TEST(VoxelBuffer, SpheresOneAfterAnotherEachWhole) {
    glomera::VoxelBuffer buffer;
    // Spheres growing and shrinking, as a list gives them, each enumerated into the memory
    // of the one before: the same voxels as a fresh array, none left of the sphere before.
    const float radii[] = {3, 20, 19.5f, 20, 0.5f, 0, 12, 40, 2, -1, 20};
    for (std::size_t i = 0; i < std::size(radii); ++i) {
        const float cx = static_cast<float>(i) * 0.7f, radius = radii[i];
        std::int32_t count = -1;
        const glomera::VoxelArray voxels =
            makeSphereVoxels(cx, -3.25f, 7, radius, &count, nullptr, &buffer);
        ASSERT_TRUE(voxels) << i;
        const Voxels fresh = sphere(cx, -3.25f, 7, radius);
        ASSERT_EQ(3 * std::size_t(count), fresh.size()) << i;
        EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), voxels.get())) << i;
    }
}

TEST(VoxelBuffer, ReusesItsMemoryUntilALargerArrayIsAskedFor) {
    glomera::VoxelBuffer buffer;
    std::int32_t* const first = buffer.take(1000);
    ASSERT_NE(first, nullptr);
    first[999] = 7;  // all of it may be written
    // The same memory for as much again or less, and for a few more of the same size.
    EXPECT_EQ(buffer.take(1000), first);
    EXPECT_EQ(buffer.take(10), first);
    EXPECT_EQ(buffer.take(1200), first);
    // Nothing to hold is still an array.
    EXPECT_NE(buffer.take(0), nullptr);
    // More than fits is a larger array, wholly writable.
    std::int32_t* const larger = buffer.take(100000);
    ASSERT_NE(larger, nullptr);
    larger[99999] = 7;
    // An array memory cannot hold is none, and the buffer still serves afterwards.
    {
        const FailLargeAllocations shortOfMemory(std::size_t{1} << 20);
        EXPECT_EQ(buffer.take(1000000), nullptr);
        EXPECT_EQ(shortOfMemory.refused(), 1);
    }
    EXPECT_EQ(buffer.take(SIZE_MAX), nullptr);
    std::int32_t* const again = buffer.take(50);
    ASSERT_NE(again, nullptr);
    again[49] = 7;
}

}  // namespace
