#pragma once

#include <cstdint>
#include <cstring>

namespace glomera::host {

// The main header of a VMR document as the host fills it: 368 bytes, of which the plug-in
// reads the fields below. Fields are read by offset, so the record needs no packing rules.
struct VmrMainHeader {
    static constexpr std::size_t kSize = 368;
    static constexpr std::size_t kOffsetX = 316;
    static constexpr std::size_t kOffsetY = 320;
    static constexpr std::size_t kOffsetZ = 324;
    static constexpr std::size_t kFramingCubeDim = 328;
    static constexpr std::size_t kResolutionX = 332;
    static constexpr std::size_t kResolutionY = 336;
    static constexpr std::size_t kResolutionZ = 340;
    static constexpr std::size_t kReferenceSpace = 348;
    static constexpr std::size_t kLeftRightConvention = 352;
    static constexpr std::int32_t kReferenceSpaceTal = 1;

    unsigned char bytes[kSize] = {};

    std::int32_t intAt(std::size_t offset) const {
        std::int32_t value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
    float floatAt(std::size_t offset) const {
        float value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
    void setInt(std::size_t offset, std::int32_t value) {
        std::memcpy(bytes + offset, &value, sizeof value);
    }
    void setFloat(std::size_t offset, float value) {
        std::memcpy(bytes + offset, &value, sizeof value);
    }
};

static_assert(sizeof(VmrMainHeader) == VmrMainHeader::kSize, "the host fills exactly 368 bytes");

}  // namespace glomera::host
