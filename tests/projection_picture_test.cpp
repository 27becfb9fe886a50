#include "voikit/picture/projection_picture.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/sphere_voxels.h"
#include "tests/test_files.h"
#include "tests/test_vois.h"
#include "voikit/space/atlas.h"

namespace {

using voikit::PicturePoint;
using voikit::PictureSettings;
using voikit::Point;

// A decoded PNG.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // 0xRRGGBB

    explicit Picture(const std::string& path) {
        cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
        if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
            width = cairo_image_surface_get_width(surface);
            height = cairo_image_surface_get_height(surface);
            const int stride = cairo_image_surface_get_stride(surface);
            const unsigned char* data = cairo_image_surface_get_data(surface);
            for (int y = 0; y < height; ++y) {
                const auto* row =
                    reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t{y} * stride);
                for (int x = 0; x < width; ++x) pixels.push_back(row[x] & 0xFFFFFF);
            }
        }
        cairo_surface_destroy(surface);
    }
    std::uint32_t at(double x, double y) const {
        const auto column = static_cast<std::size_t>(x), line = static_cast<std::size_t>(y);
        return pixels[line * static_cast<std::size_t>(width) + column];
    }
    // Pixels in a square around a point that are of a pure shade of one channel.
    int hueNear(const PicturePoint& p, int shift, int radius = 6) const {
        int found = 0;
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx) {
                const std::uint32_t c = at(p.column + dx, p.row + dy);
                const std::uint32_t mine = (c >> shift) & 0xFF;
                const std::uint32_t others = c & ~(0xFFu << shift);
                found += mine > 90 && others == 0;
            }
        }
        return found;
    }
    int whiteNear(const PicturePoint& p, int radius = 5) const {
        int found = 0;
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx)
                found += at(p.column + dx, p.row + dy) == 0xFFFFFF;
        }
        return found;
    }
};

class PictureTest : public testing::Test {
  protected:
    void SetUp() override {
        // Red on the subject's right (x = +40), blue on the left.
        contents.vois.push_back(sphereVoi("Right", 40, -20, 10, 7, 255, 0, 0));
        contents.vois.push_back(sphereVoi("Left", -40, -20, 10, 7, 0, 0, 255));
        statistics = voikit::computeStatistics(contents);
    }
    TempFolder folder;
    glomera::VoiFileContents contents;
    voikit::VoiStatistics statistics;
};

TEST_F(PictureTest, RightIsOnTheRightInBothViewsUnlessRadiological) {
    for (const bool radiological : {false, true}) {
        PictureSettings settings;
        settings.radiological = radiological;
        settings.brain = voikit::defaultBrain();
        const std::string path = folder.file(radiological ? "radio.png" : "neuro.png");
        voikit::writeProjectionPicture(contents, statistics, settings, path);
        const Picture picture(path);
        ASSERT_GT(picture.width, 900);
        const auto right = voikit::picturePoints(statistics, settings, {40, -20, 10});
        const auto left = voikit::picturePoints(statistics, settings, {-40, -20, 10});
        for (int view : {1, 2}) {  // coronal, axial
            // Neurological: the subject's right (x = +40) further right than the left.
            EXPECT_EQ(right[view].column > left[view].column, !radiological) << view;
            // Each sphere shows its own colour where its centre projects, around its number.
            EXPECT_GT(picture.hueNear(right[view], 16), 10)
                << view << " radiological " << radiological;
            EXPECT_GT(picture.hueNear(left[view], 0), 10) << view;
            EXPECT_EQ(picture.hueNear(right[view], 0), 0) << view;
            EXPECT_GT(picture.whiteNear(right[view]), 0) << "no number on the sphere " << view;
        }
    }
}

TEST_F(PictureTest, TheBrainIsDrawnUnderTheVoisWhereItIs) {
    PictureSettings settings;
    settings.brain = voikit::defaultBrain();
    voikit::writeProjectionPicture(contents, statistics, settings, folder.file("b.png"));
    const Picture withBrain(folder.file("b.png"));
    settings.brain.clear();
    voikit::writeProjectionPicture(contents, statistics, settings, folder.file("n.png"));
    const Picture without(folder.file("n.png"));
    // Amid the brain (TAL 0, -20, 20 in the coronal view) the glass brain is grey, lighter
    // than the background of the picture without it; far outside the brain both are alike.
    const auto inside = voikit::picturePoints(statistics, settings, {0, -20, 20})[1];
    const auto outside = voikit::picturePoints(statistics, settings, {0, -20, -70})[1];
    const auto grey = [](std::uint32_t c) { return (c >> 8) & 0xFF; };
    EXPECT_GT(grey(withBrain.at(inside.column, inside.row)),
              grey(without.at(inside.column, inside.row)) + 15);
    EXPECT_EQ(withBrain.at(outside.column, outside.row), without.at(outside.column, outside.row));
}

TEST_F(PictureTest, LegendTakesSixtyVoisAndSvgAndPdfAreWritten) {
    glomera::VoiFileContents many;
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 10; ++column) {
            many.vois.push_back(sphereVoi("V", static_cast<float>(-60 + 12 * column),
                                          static_cast<float>(-90 + 20 * row), 0, 3, 255, 200, 0));
        }
    }
    const voikit::VoiStatistics figures = voikit::computeStatistics(many);
    PictureSettings settings;
    for (const char* name : {"m.png", "m.svg", "m.pdf"}) {
        voikit::writeProjectionPicture(many, figures, settings, folder.file(name));
    }
    const std::string svg = readFile(folder.file("m.svg"));
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_EQ(readFile(folder.file("m.pdf")).rfind("%PDF-", 0), 0u);
    EXPECT_EQ(voikit::legendEntries(70, figures, settings), 70u);
    EXPECT_EQ(voikit::legendEntries(60, figures, settings), 60u);
    const std::size_t shown = voikit::legendEntries(1000, figures, settings);
    EXPECT_GE(shown, 60u);
    EXPECT_LT(shown, 1000u);
    EXPECT_EQ(folder.listing(), "m.pdf m.png m.svg");
}

}  // namespace
