#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace voikit {

struct Colour {
    std::uint8_t r, g, b;
};

// An RGB picture with the few drawing operations the projections need, text included
// (through FreeType, with the DejaVu Sans font).
class Canvas {
  public:
    Canvas(int width, int height, Colour background);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    const std::uint8_t* row(int y) const {
        return pixels_.data() + 3 * static_cast<std::size_t>(y) * width_;
    }

    void set(int x, int y, Colour c);
    void fill(int x, int y, int w, int h, Colour c);
    void horizontalLine(int x0, int x1, int y, Colour c);
    void verticalLine(int x, int y0, int y1, Colour c);
    void rectangle(int x, int y, int w, int h, Colour c);

    // Text with its baseline at y; returns the width drawn. Draws nothing, and returns 0,
    // when no font could be loaded (fontLoaded() tells).
    int text(int x, int y, const std::string& s, Colour c, int pixelSize = 12);
    int textWidth(const std::string& s, int pixelSize = 12);
    bool fontLoaded() const;

  private:
    struct Font;
    int drawText(int x, int y, const std::string& s, Colour c, int pixelSize, bool draw);

    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
    std::unique_ptr<Font> font_;
};

// Writes the canvas as an 8-bit RGB PNG, whole or not at all. Throws Error on failure.
void writePng(const Canvas& canvas, const std::string& path);

}  // namespace voikit
