#include "voikit/picture/projection_picture.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/sphere_voxels.h"
#include "tests/test_files.h"
#include "tests/test_vois.h"
#include "voikit/picture/png_file.h"
#include "voikit/space/atlas.h"

namespace {

using voikit::PictureSettings;
using voikit::Point;

// A pixel of the picture, (column, row).
struct Pixel {
    double column;
    double row;
};

// Where a reader finds a TAL position in a picture of VOIs that lie within the accepted box,
// measured from what the picture states (docs/outputs.md), not from the code that draws it:
// 2.5 pixels a millimetre; the sagittal, coronal and axial views side by side, the first from
// 64 px, 70 px apart, their drawing areas from 74 px down; each spans the box with 8 mm to
// spare (x -76..76, y -111..77, z -50..84), millimetre m drawn from m - 0.5 to m + 0.5.
// Sagittal: y across with anterior on the left, z up; coronal: x across, z up; axial: x
// across, y up. Neurological puts the subject's right (x > 0) on the right.
Pixel expectedPixel(int view, const Point& mm, bool radiological) {
    constexpr double kPixelsPerMm = 2.5, kTop = 74;
    // Per view: its left edge, and for each of its axes the TAL axis, the millimetre of its
    // first cell and whether millimetres grow with the pixels.
    struct Axis {
        int tal;
        double firstMm;
        int direction;
    };
    const int mirrored = radiological ? -1 : 1;
    const struct {
        double left;
        Axis across, up;
    } views[] = {
        {64, {1, 77, -1}, {2, 84, -1}},
        {606.5, {0, -76.0 * mirrored, mirrored}, {2, 84, -1}},
        {1059, {0, -76.0 * mirrored, mirrored}, {1, 77, -1}},
    };
    const auto& v = views[view];
    const auto cells = [&](const Axis& a) { return a.direction * (mm[a.tal] - a.firstMm) + 0.5; };
    return {v.left + cells(v.across) * kPixelsPerMm, kTop + cells(v.up) * kPixelsPerMm};
}

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
    std::uint32_t at(const Pixel& p) const {
        const auto column = static_cast<std::size_t>(p.column);
        const auto line = static_cast<std::size_t>(p.row);
        return pixels[line * static_cast<std::size_t>(width) + column];
    }
    // Whether the pixel is a shade of pure red (shift 16) or pure blue (shift 0).
    bool isHue(const Pixel& p, int shift) const {
        const std::uint32_t c = at(p);
        return ((c >> shift) & 0xFF) > 90 && (c & ~(0xFFu << shift)) == 0;
    }
    int whiteNear(const Pixel& p, int radius = 5) const {
        int found = 0;
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx)
                found += at({p.column + dx, p.row + dy}) == 0xFFFFFF;
        }
        return found;
    }
};

class PictureTest : public testing::Test {
  protected:
    void SetUp() override {
        // Apart in every view: red on the subject's right, blue on the left, lower and behind.
        contents.vois.push_back(sphereVoi("Right", 40, -20, 10, 7, 255, 0, 0));
        contents.vois.push_back(sphereVoi("Left", -30, -60, 40, 7, 0, 0, 255));
        statistics = voikit::computeStatistics(contents);
    }
    TempFolder folder;
    glomera::VoiFileContents contents;
    voikit::VoiStatistics statistics;
};

TEST_F(PictureTest, EachSphereIsDrawnWhereItsMillimetresAreInEveryView) {
    const struct {
        Point centre;
        int hueShift;
    } spheres[] = {{{40, -20, 10}, 16}, {{-30, -60, 40}, 0}};
    for (const bool radiological : {false, true}) {
        PictureSettings settings;
        settings.radiological = radiological;
        settings.brain = voikit::defaultBrain();
        const std::string path = folder.file(radiological ? "radio.png" : "neuro.png");
        voikit::writeProjectionPicture(contents, statistics, settings, path);
        const Picture picture(path);
        ASSERT_GT(picture.width, 1442);  // all three views
        for (int view = 0; view < 3; ++view) {
            for (const auto& sphere : spheres) {
                const auto where = [&](int axis, double mm) {
                    Point p = sphere.centre;
                    p[axis] += mm;
                    return expectedPixel(view, p, radiological);
                };
                // A sphere of radius 7 reaches 7 mm from its centre along each axis, not 8;
                // view n looks along TAL axis n.
                for (int axis = 0; axis < 3; ++axis) {
                    for (const double side : {-1.0, 1.0}) {
                        if (axis == view) continue;
                        EXPECT_TRUE(picture.isHue(where(axis, 7 * side), sphere.hueShift))
                            << "view " << view << " axis " << axis << " radiological "
                            << radiological;
                        EXPECT_FALSE(picture.isHue(where(axis, 8 * side), sphere.hueShift))
                            << "view " << view << " axis " << axis;
                    }
                }
                EXPECT_GT(picture.whiteNear(where(0, 0)), 0) << "no number, view " << view;
            }
        }
    }
}

TEST_F(PictureTest, SpheresOneBehindTheOtherShowBothNumbersAndDeepSpheresTheirColour) {
    // Seen from the left these two spheres lie one behind the other: the number of the one in
    // front stays on it, the other's moves off with a leader line, and both are drawn.
    PictureSettings settings;
    glomera::VoiFileContents pair;
    pair.vois.push_back(sphereVoi("Right", 40, -20, 10, 7, 255, 0, 0));
    pair.vois.push_back(sphereVoi("Left", -40, -20, 10, 7, 0, 0, 255));
    voikit::writeProjectionPicture(pair, voikit::computeStatistics(pair), settings,
                                   folder.file("s.png"));
    const Picture picture(folder.file("s.png"));
    const Pixel centre = expectedPixel(0, {40, -20, 10}, false);
    const int near = picture.whiteNear(centre, 6), around = picture.whiteNear(centre, 40);
    EXPECT_GT(near, 0);
    EXPECT_GT(around - near, 20) << "no second number beside the spheres";

    // A sphere far below the nearest one is its legend's colour where it comes nearest.
    glomera::VoiFileContents deep;
    deep.vois.push_back(sphereVoi("High", 0, 0, 60, 5, 255, 0, 0));
    deep.vois.push_back(sphereVoi("Low", 30, 0, -30, 5, 60, 180, 75));
    voikit::writeProjectionPicture(deep, voikit::computeStatistics(deep), settings,
                                   folder.file("d.png"));
    const Picture shaded(folder.file("d.png"));
    const Pixel low = expectedPixel(2, {30, 0, -30}, false);
    const std::uint32_t seen = shaded.at({low.column + 5, low.row + 5});
    EXPECT_NEAR(static_cast<int>(seen >> 16), 60, 12) << std::hex << seen;
    EXPECT_NEAR(static_cast<int>((seen >> 8) & 0xFF), 180, 12) << std::hex << seen;
    EXPECT_NEAR(static_cast<int>(seen & 0xFF), 75, 12) << std::hex << seen;
}

// A cube of voxels from `low` to `high` millimetres on every axis, in one colour.
glomera::VoiFileContents::Voi cubeVoi(const char* name, int low, int high, std::int32_t r,
                                      std::int32_t g, std::int32_t b) {
    glomera::VoiFileContents::Voi voi;
    voi.info.name = name;
    voi.info.color[0] = r;
    voi.info.color[1] = g;
    voi.info.color[2] = b;
    for (int x = low; x <= high; ++x) {
        for (int y = low; y <= high; ++y) {
            for (int z = low; z <= high; ++z) voi.voxels.insert(voi.voxels.end(), {x, y, z});
        }
    }
    voi.info.voxelCount = static_cast<std::int32_t>(voi.voxels.size() / 3);
    return voi;
}

TEST_F(PictureTest, EachViewShowsTheNearestVoiAndTheLaterOneOnATie) {
    // A red cube from -30 to -10 mm, then a blue one from -20 to 0: where they overlap the
    // sagittal view (seen from the left) shows red, nearer at x -30; the coronal view red seen
    // from behind (y -30), blue seen from the front (y 0); the axial view blue seen from above
    // (z 0), red from below (z -30). The samples keep clear of the numbers and the edges.
    glomera::VoiFileContents cubes;
    cubes.vois.push_back(cubeVoi("Red", -30, -10, 255, 0, 0));
    cubes.vois.push_back(cubeVoi("Blue", -20, 0, 0, 0, 255));
    constexpr int kRed = 16, kBlue = 0;
    const struct {
        bool radiological;
        int overlapHue[3];  // per view
    } cases[] = {{false, {kRed, kRed, kBlue}}, {true, {kRed, kBlue, kRed}}};
    for (const auto& c : cases) {
        PictureSettings settings;
        settings.radiological = c.radiological;
        const std::string path = folder.file("cubes.png");
        voikit::writeProjectionPicture(cubes, voikit::computeStatistics(cubes), settings, path);
        const Picture picture(path);
        for (int view = 0; view < 3; ++view) {
            // Every view shows the cubes' faces over (across, up), whichever axes they are.
            const auto at = [&](double across, double up) {
                const int acrossAxis = view == 0 ? 1 : 0, upAxis = view == 2 ? 1 : 2;
                Point mm{};
                mm[acrossAxis] = across;
                mm[upAxis] = up;
                return expectedPixel(view, mm, c.radiological);
            };
            EXPECT_TRUE(picture.isHue(at(-27, -27), kRed)) << "view " << view;
            EXPECT_TRUE(picture.isHue(at(-3, -3), kBlue)) << "view " << view;
            EXPECT_TRUE(picture.isHue(at(-18, -12), c.overlapHue[view]))
                << "view " << view << " radiological " << c.radiological;
        }
    }
    // The same cube twice: every view shows the later one. Its number moves off to the upper
    // right, and so the samples lie to the left of the centre.
    glomera::VoiFileContents twins;
    twins.vois.push_back(cubeVoi("Red", -30, -10, 255, 0, 0));
    twins.vois.push_back(cubeVoi("Blue", -30, -10, 0, 0, 255));
    voikit::writeProjectionPicture(twins, voikit::computeStatistics(twins), PictureSettings{},
                                   folder.file("twins.png"));
    const Picture picture(folder.file("twins.png"));
    for (int view = 0; view < 3; ++view) {
        const Pixel centre = expectedPixel(view, {-20, -20, -20}, false);
        for (const double down : {-17.0, 17.0}) {
            EXPECT_TRUE(picture.isHue({centre.column - 17, centre.row + down}, kBlue))
                << "view " << view << " " << down;
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
    // than the background of the picture without it; beside and above it both are alike.
    const Pixel inside = expectedPixel(1, {0, -20, 20}, false);
    const Pixel outside = expectedPixel(1, {75, -20, 82}, false);
    const auto grey = [](std::uint32_t c) { return (c >> 8) & 0xFF; };
    EXPECT_GT(grey(withBrain.at(inside)), grey(without.at(inside)) + 15);
    EXPECT_EQ(withBrain.at(outside), without.at(outside));
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

// The PNG holds every pixel as drawn, each channel in its place: a picture of distinct
// colours, odd width and a stride wider than its rows, read back by cairo's own reader.
TEST(PngFile, EveryPixelReadsBackAsWritten) {
    TempFolder folder;
    const int width = 37, height = 23;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    const int stride = cairo_image_surface_get_stride(surface);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<std::uint32_t> drawn;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t{y} * stride);
        for (int x = 0; x < width; ++x) {
            row[x] = (static_cast<std::uint32_t>(7 * x) << 16) |
                     (static_cast<std::uint32_t>(11 * y) << 8) |
                     static_cast<std::uint32_t>((x * y + 3) & 0xFF);
            drawn.push_back(row[x]);
        }
    }
    cairo_surface_mark_dirty(surface);
    const std::string path = folder.file("colours.png");
    glomera::AtomicFile out;
    ASSERT_TRUE(out.open(path));
    ASSERT_TRUE(voikit::writeRgbPng(surface, out));
    ASSERT_TRUE(out.commit());
    cairo_surface_destroy(surface);

    cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(read), width);
    ASSERT_EQ(cairo_image_surface_get_height(read), height);
    const int readStride = cairo_image_surface_get_stride(read);
    const unsigned char* readData = cairo_image_surface_get_data(read);
    std::vector<std::uint32_t> back;
    for (int y = 0; y < height; ++y) {
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(readData + std::ptrdiff_t{y} * readStride);
        for (int x = 0; x < width; ++x) back.push_back(row[x] & 0xFFFFFF);
    }
    cairo_surface_destroy(read);
    EXPECT_EQ(back, drawn);
}

}  // namespace
