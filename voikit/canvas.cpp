#include "voikit/canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/atomic_file.h"
#include "voikit/error.h"

namespace voikit {
namespace {

constexpr const char* kFontPaths[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
};

}  // namespace

struct Canvas::Font {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    Font() {
        if (FT_Init_FreeType(&library) != 0) return;
        for (const char* path : kFontPaths) {
            if (FT_New_Face(library, path, 0, &face) == 0) return;
            face = nullptr;
        }
    }
    ~Font() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

Canvas::Canvas(int width, int height, Colour background)
    : width_(width), height_(height), font_(new Font) {
    pixels_.resize(3 * static_cast<std::size_t>(width) * height);
    fill(0, 0, width, height, background);
}

Canvas::~Canvas() = default;

bool Canvas::fontLoaded() const { return font_->face != nullptr; }

void Canvas::set(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    std::uint8_t* p = pixels_.data() + 3 * (static_cast<std::size_t>(y) * width_ + x);
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
}

void Canvas::fill(int x, int y, int w, int h, Colour c) {
    for (int row = std::max(y, 0); row < std::min(y + h, height_); ++row) {
        for (int column = std::max(x, 0); column < std::min(x + w, width_); ++column) {
            set(column, row, c);
        }
    }
}

void Canvas::horizontalLine(int x0, int x1, int y, Colour c) { fill(x0, y, x1 - x0 + 1, 1, c); }
void Canvas::verticalLine(int x, int y0, int y1, Colour c) { fill(x, y0, 1, y1 - y0 + 1, c); }

void Canvas::rectangle(int x, int y, int w, int h, Colour c) {
    horizontalLine(x, x + w - 1, y, c);
    horizontalLine(x, x + w - 1, y + h - 1, c);
    verticalLine(x, y, y + h - 1, c);
    verticalLine(x + w - 1, y, y + h - 1, c);
}

int Canvas::drawText(int x, int y, const std::string& s, Colour c, int pixelSize, bool draw) {
    FT_Face face = font_->face;
    if (face == nullptr || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
        return 0;
    }
    int pen = x;
    for (unsigned char ch : s) {
        if (FT_Load_Char(face, ch, draw ? FT_LOAD_RENDER : FT_LOAD_DEFAULT) != 0) continue;
        const FT_GlyphSlot glyph = face->glyph;
        if (draw) {
            const FT_Bitmap& bitmap = glyph->bitmap;
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                for (unsigned column = 0; column < bitmap.width; ++column) {
                    const int px = pen + glyph->bitmap_left + static_cast<int>(column);
                    const int py = y - glyph->bitmap_top + static_cast<int>(row);
                    if (px < 0 || py < 0 || px >= width_ || py >= height_) continue;
                    const unsigned alpha = bitmap.buffer[row * bitmap.pitch + column];
                    std::uint8_t* p =
                        pixels_.data() + 3 * (static_cast<std::size_t>(py) * width_ + px);
                    const std::uint8_t ink[3] = {c.r, c.g, c.b};
                    for (int k = 0; k < 3; ++k) {
                        p[k] = static_cast<std::uint8_t>((ink[k] * alpha + p[k] * (255 - alpha)) /
                                                         255);
                    }
                }
            }
        }
        pen += static_cast<int>(glyph->advance.x >> 6);
    }
    return pen - x;
}

int Canvas::text(int x, int y, const std::string& s, Colour c, int pixelSize) {
    return drawText(x, y, s, c, pixelSize, true);
}

int Canvas::textWidth(const std::string& s, int pixelSize) {
    return drawText(0, 0, s, Colour{0, 0, 0}, pixelSize, false);
}

namespace {

void appendToFile(png_structp png, png_bytep data, png_size_t length) {
    static_cast<glomera::AtomicFile*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), length);
}

void flushNothing(png_structp) {}

}  // namespace

void writePng(const Canvas& canvas, const std::string& path) {
    glomera::AtomicFile out;
    if (!out.open(path)) throw Error("cannot create " + path + ": " + std::strerror(errno));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        throw Error("cannot start a PNG");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw Error("cannot encode the PNG");
    }
    png_set_write_fn(png, &out, appendToFile, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width()),
                 static_cast<png_uint_32>(canvas.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < canvas.height(); ++y) {
        png_write_row(png, const_cast<png_bytep>(canvas.row(y)));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (!out.commit()) throw Error("cannot write " + path + ": " + std::strerror(errno));
}

}  // namespace voikit
