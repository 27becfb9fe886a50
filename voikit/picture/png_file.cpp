#include "voikit/picture/png_file.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <vector>

namespace voikit {
namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<glomera::AtomicFile*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) {}

// libpng reports errors by a long jump out of its own frames; nothing with a destructor
// lives between the setjmp below and the calls that may jump.
bool encode(png_structp png, png_infop info, cairo_surface_t* surface, std::vector<png_byte>& row) {
    if (setjmp(png_jmpbuf(png))) return false;
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* pixels = cairo_image_surface_get_data(surface);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, Z_BEST_SPEED);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        // RGB24 holds each pixel as a 32-bit word 0x00RRGGBB in the machine's byte order.
        const unsigned char* source = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            std::uint32_t word;
            std::memcpy(&word, source + std::ptrdiff_t{4} * x, sizeof word);
            row[3 * static_cast<std::size_t>(x)] = static_cast<png_byte>(word >> 16);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<png_byte>(word >> 8);
            row[3 * static_cast<std::size_t>(x) + 2] = static_cast<png_byte>(word);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool writeRgbPng(cairo_surface_t* surface, glomera::AtomicFile& out) {
    if (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_RGB24) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(3 * static_cast<std::size_t>(cairo_image_surface_get_width(surface)));
    bool written = false;
    if (info != nullptr) {
        png_set_write_fn(png, &out, appendBytes, flushNothing);
        written = encode(png, info, surface, row);
    }
    png_destroy_write_struct(&png, &info);
    return written;
}

}  // namespace voikit
