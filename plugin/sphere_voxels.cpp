#include "plugin/sphere_voxels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace glomera {
namespace {

// Beyond this radius a sphere holds more than kMaxSphereVoxels for certain: it contains a
// cube of side 2r/sqrt(3) > 1154, that is over 1.5e9 integer points.
constexpr float kRadiusSurelyTooLarge = 1000.0f;

bool fitsInt32(float value) {
    const double v = value;
    return v > -2147483649.0 && v < 2147483648.0;
}

// The sphere's geometry with the candidate bounds, all as the literal enumeration uses
// them: bounds truncated toward zero, every distance computed in 32-bit floats.
struct Sphere {
    float cx, cy, cz, r2;
    std::int64_t xLow, xHigh, yLow, yHigh, zLow, zHigh;

    bool belongs(float dxy, std::int64_t z) const {
        const float dz = cz - static_cast<float>(z);
        const float d = dz * dz + dxy;
        return d <= r2;  // false for a NaN
    }

    // The z span [low, high] of the row (x, y) with squared in-plane distance dxy. Along a
    // row the float distance only grows as z moves away from the centre, so the voxels of
    // a row are one unbroken span around the integer nearest the centre. An estimate from
    // the real square root is corrected with the exact float test at both ends.
    bool rowSpan(float dxy, std::int64_t& low, std::int64_t& high) const {
        const double reach = std::sqrt(std::fmax(0.0, double{r2} - double{dxy}));
        low = clampZ(floorToInt(cz - reach) + 1);
        high = clampZ(floorToInt(cz + reach));
        // Usually both ends of the estimate belong, and with them everything between: the
        // span only has to be pushed outwards as far as the exact test allows.
        if (low <= high && belongs(dxy, low) && belongs(dxy, high)) {
            while (low > zLow && belongs(dxy, low - 1)) --low;
            while (high < zHigh && belongs(dxy, high + 1)) ++high;
            return true;
        }
        std::int64_t anchor = clampZ(floorToInt(cz));
        if (!belongs(dxy, anchor)) {
            anchor = clampZ(floorToInt(cz) + 1);
            if (!belongs(dxy, anchor)) return false;
        }
        low = std::min(anchor, low);
        while (low > zLow && belongs(dxy, low - 1)) --low;
        while (!belongs(dxy, low)) ++low;
        high = std::max(anchor, high);
        while (high < zHigh && belongs(dxy, high + 1)) ++high;
        while (!belongs(dxy, high)) --high;
        return true;
    }

    std::int64_t clampZ(std::int64_t z) const { return std::min(std::max(z, zLow), zHigh); }

    // floor() without a library call; the values stay well inside the 64-bit range.
    static std::int64_t floorToInt(double v) {
        const auto t = static_cast<std::int64_t>(v);
        return t > v ? t - 1 : t;
    }

    // Calls visit(x, y, zLow, zHigh) for every row that holds voxels, in sorted order.
    template <typename Visit>
    void forEachRow(Visit&& visit) const {
        if (zLow > zHigh) return;
        for (std::int64_t x = xLow; x <= xHigh; ++x) {
            const float dx = cx - static_cast<float>(x);
            for (std::int64_t y = yLow; y <= yHigh; ++y) {
                const float dy = cy - static_cast<float>(y);
                const float dxy = dx * dx + dy * dy;
                if (!(dxy <= r2)) continue;
                std::int64_t low, high;
                if (rowSpan(dxy, low, high)) visit(x, y, low, high);
            }
        }
    }
};

// One row's voxels: (x, y, z) for z from low to high.
struct RowSpan {
    std::int32_t x, y, low, high;
};

// Four whole numbers in one register, as GCC and Clang provide on every target.
typedef std::int32_t Int32x4 __attribute__((vector_size(16)));

// Writes the row's triples at out and returns the end. Four voxels at a time are twelve
// whole numbers, stored as three blocks of four whose z values then step by four: wide
// stores instead of three narrow ones per voxel, the cost that dominates a large sphere.
std::int32_t* fillRow(const RowSpan& row, std::int32_t* out) {
    const std::int32_t x = row.x, y = row.y;
    std::int32_t z = row.low;
    // Blocks only while z + 4 stays representable, so no step can overflow.
    if (std::int64_t{row.high} - row.low >= 3 &&
        row.high < std::numeric_limits<std::int32_t>::max() - 4) {
        Int32x4 a = {x, y, z, x}, b = {y, z + 1, x, y}, c = {z + 2, x, y, z + 3};
        const Int32x4 stepA = {0, 0, 4, 0}, stepB = {0, 4, 0, 0}, stepC = {4, 0, 0, 4};
        for (; z + 3 <= row.high; z += 4) {
            std::memcpy(out, &a, sizeof a);
            std::memcpy(out + 4, &b, sizeof b);
            std::memcpy(out + 8, &c, sizeof c);
            out += 12;
            a += stepA;
            b += stepB;
            c += stepC;
        }
    }
    for (; z <= row.high; ++z) {
        out[0] = x;
        out[1] = y;
        out[2] = z;
        out += 3;
    }
    return out;
}

SphereStatus checkLimits(float cx, float cy, float cz, float radius) {
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(cz) || !std::isfinite(radius)) {
        return SphereStatus::kNotFinite;
    }
    if (radius >= kRadiusSurelyTooLarge) return SphereStatus::kTooManyVoxels;
    for (float c : {cx, cy, cz}) {
        if (!fitsInt32(c - radius) || !fitsInt32(c + radius)) return SphereStatus::kOutOfRange;
    }
    return SphereStatus::kOk;
}

}  // namespace

VoxelArray makeSphereVoxels(float cx, float cy, float cz, float radius, std::int32_t* count,
                            SphereStatus* status, VoxelBuffer* buffer) {
    *count = 0;
    SphereStatus outcome = checkLimits(cx, cy, cz, radius);
    VoxelArray voxels;
    if (outcome == SphereStatus::kOk) {
        Sphere sphere{cx, cy, cz, radius * radius, 0, -1, 0, -1, 0, -1};
        // A negative radius has no voxels, even where truncation toward zero would leave a
        // candidate range around the origin.
        if (radius >= 0.0f) {
            sphere.xLow = static_cast<std::int32_t>(cx - radius);
            sphere.xHigh = static_cast<std::int32_t>(cx + radius);
            sphere.yLow = static_cast<std::int32_t>(cy - radius);
            sphere.yHigh = static_cast<std::int32_t>(cy + radius);
            sphere.zLow = static_cast<std::int32_t>(cz - radius);
            sphere.zHigh = static_cast<std::int32_t>(cz + radius);
        }
        // The spans found while counting are kept for the filling.
        std::vector<RowSpan> rows;
        std::int64_t total = 0;
        try {
            sphere.forEachRow([&](std::int64_t x, std::int64_t y, std::int64_t low,
                                  std::int64_t high) {
                rows.push_back({static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                                static_cast<std::int32_t>(low), static_cast<std::int32_t>(high)});
                total += high - low + 1;
            });
        } catch (const std::bad_alloc&) {
            outcome = SphereStatus::kNoMemory;
        }
        if (outcome == SphereStatus::kOk && total > kMaxSphereVoxels) {
            outcome = SphereStatus::kTooManyVoxels;
        }
        if (outcome == SphereStatus::kOk) {
            const auto ints = static_cast<std::size_t>(3 * total);
            if (buffer != nullptr) {
                voxels = VoxelArray(buffer->take(ints), VoxelArrayRelease{false});
            } else {
                voxels.reset(new (std::nothrow) std::int32_t[ints]);
            }
            if (!voxels) outcome = SphereStatus::kNoMemory;
        }
        if (voxels) {
            std::int32_t* out = voxels.get();
            for (const RowSpan& row : rows) out = fillRow(row, out);
            *count = static_cast<std::int32_t>(total);
        }
    }
    if (status) *status = outcome;
    return voxels;
}

}  // namespace glomera
