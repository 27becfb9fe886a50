// Any text and any line number: the reader writes at most 256 bytes of name.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/voi_line_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose the line, a few past the end and negative ones included.
    const std::int32_t index = static_cast<std::int8_t>(data[0]) * 256 + data[1];
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

    constexpr std::size_t kNameSize = 256;
    char name[kNameSize + 64];
    std::memset(name, 0x5A, sizeof name);
    float x = 0, y = 0, z = 0, r = 0;
    std::int32_t red = 0, green = 0, blue = 0;
    const bool found =
        glomera::readVoiLine(text.c_str(), index, &x, &y, &z, &r, name, &red, &green, &blue);
    for (std::size_t i = kNameSize; i < sizeof name; ++i) {
        if (name[i] != 0x5A) std::abort();
    }
    if (found && std::memchr(name, '\0', kNameSize) == nullptr) std::abort();
    if (!found && name[0] != 0x5A) std::abort();
    return 0;
}
