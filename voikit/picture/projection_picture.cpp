#include "voikit/picture/projection_picture.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "common/atomic_file.h"
#include "common/ends_with.h"
#include "coordlist/coordinate_box.h"
#include "voikit/io/error.h"
#include "voikit/picture/label_placement.h"
#include "voikit/picture/png_file.h"
#include "voikit/space/mni_image.h"
#include "voikit/voxels/voi_passes.h"

namespace voikit {
namespace {

constexpr double kScale = 2.5;      // pixels per millimetre
constexpr int kMarginMm = 8;        // around the box and the VOIs
constexpr int kMaxPictureMm = 400;  // VOIs further out are clipped from the picture
constexpr double kLeft = 64;        // room for the vertical axis' labels
constexpr double kTop = 74;         // room for the caption and the titles
constexpr double kPanelGap = 70;
constexpr double kBelowPanels = 56;  // the horizontal axis' labels
constexpr double kLegendRowHeight = 17;
constexpr double kLegendColumnWidth = 232;
constexpr int kLegendMinRows = 20;
constexpr int kLegendMaxRows = 40;
constexpr int kTick = 20;  // millimetres between axis labels
constexpr const char* kFont = "DejaVu Sans";

struct Rgb {
    double r, g, b;
};
constexpr Rgb kBackground{0.07, 0.08, 0.10};
constexpr Rgb kBoxColour{0.42, 0.45, 0.52};
constexpr Rgb kAxisColour{0.65, 0.68, 0.74};
constexpr Rgb kTextColour{0.88, 0.89, 0.92};

using Box = glomera::CoordinateBox;
constexpr int kBoxLow[3] = {static_cast<int>(Box::kXLow), static_cast<int>(Box::kYLow),
                            static_cast<int>(Box::kZLow)};
constexpr int kBoxHigh[3] = {static_cast<int>(Box::kXHigh), static_cast<int>(Box::kYHigh),
                             static_cast<int>(Box::kZHigh)};

// One view: which TAL axis runs across, which up, which is depth, and from where it is seen.
struct View {
    const char* title;
    int across;
    bool acrossFlip;  // the axis grows to the left
    int up;
    int depth;
    bool nearIsHigh;  // larger depth values are nearer the viewer
    bool leftRight;   // carries L and R letters
    const char* acrossName;
    const char* upName;
};

// Neurological: the subject's left on the left of the coronal and axial views, as seen from
// behind and from above; radiological mirrors both.
std::vector<View> views(bool radiological) {
    return {
        {"sagittal, seen from the left", 1, true, 2, 0, false, false,
         "y (mm), anterior on the left", "z (mm)"},
        {radiological ? "coronal, seen from the front" : "coronal, seen from behind", 0,
         radiological, 2, 1, radiological, true, "x (mm)", "z (mm)"},
        {radiological ? "axial, seen from below" : "axial, seen from above", 0, radiological, 1, 2,
         !radiological, true, "x (mm)", "y (mm)"},
    };
}

struct Panel {
    View view;
    int low[3], high[3];  // mm shown
    double x, y;          // top-left of the drawing area
    int cells(int axis) const { return high[axis] - low[axis] + 1; }
    double width() const { return cells(view.across) * kScale; }
    double height() const { return cells(view.up) * kScale; }
    // The raster cell of a millimetre position, and the pixel at a position's centre.
    int cellColumn(int mm) const {
        return view.acrossFlip ? high[view.across] - mm : mm - low[view.across];
    }
    int cellRow(int mm) const { return high[view.up] - mm; }
    double column(double mm) const {
        return x +
               ((view.acrossFlip ? high[view.across] - mm : mm - low[view.across]) + 0.5) * kScale;
    }
    double row(double mm) const { return y + (high[view.up] - mm + 0.5) * kScale; }
};

struct Layout {
    std::vector<Panel> panels;
    double width = 0;
    double panelsBottom = 0;
};

Layout layOut(const VoiStatistics& statistics, bool radiological) {
    int low[3], high[3];
    const bool any = statistics.low[0] <= statistics.high[0];
    for (int axis = 0; axis < 3; ++axis) {
        low[axis] = kBoxLow[axis] - kMarginMm;
        high[axis] = kBoxHigh[axis] + kMarginMm;
        if (any) {
            low[axis] =
                std::max(std::min(low[axis], statistics.low[axis] - kMarginMm), -kMaxPictureMm);
            high[axis] =
                std::min(std::max(high[axis], statistics.high[axis] + kMarginMm), kMaxPictureMm);
        }
    }
    Layout layout;
    double x = kLeft, tallest = 0;
    for (const View& view : views(radiological)) {
        Panel panel{view, {low[0], low[1], low[2]}, {high[0], high[1], high[2]}, x, kTop};
        layout.panels.push_back(panel);
        x += panel.width() + kPanelGap;
        tallest = std::max(tallest, panel.height());
    }
    layout.width = x - kPanelGap + 24;
    layout.panelsBottom = kTop + tallest;
    return layout;
}

// An ARGB raster of one panel, one pixel per millimetre.
class Raster {
  public:
    Raster(int width, int height)
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)) {
        if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
            throw Error("not enough memory for the picture");
        }
    }
    ~Raster() { cairo_surface_destroy(surface_); }
    Raster(const Raster&) = delete;
    Raster& operator=(const Raster&) = delete;

    void set(int column, int row, Rgb c, double alpha) {
        auto* pixel = reinterpret_cast<std::uint32_t*>(
            cairo_image_surface_get_data(surface_) +
            std::ptrdiff_t{row} * cairo_image_surface_get_stride(surface_));
        const auto channel = [alpha](double v) {
            return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * alpha * 255));
        };
        // Cairo keeps premultiplied alpha.
        pixel[column] = (static_cast<std::uint32_t>(std::lround(alpha * 255)) << 24) |
                        (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
    }
    void done() { cairo_surface_mark_dirty(surface_); }
    cairo_surface_t* surface() const { return surface_; }

  private:
    cairo_surface_t* surface_;
};

// Paints a raster over a panel, scaled to the picture's pixels.
void paintRaster(cairo_t* cr, const Raster& raster, const Panel& panel, cairo_filter_t filter) {
    cairo_save(cr);
    cairo_translate(cr, panel.x, panel.y);
    cairo_scale(cr, kScale, kScale);
    cairo_set_source_surface(cr, raster.surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), filter);
    cairo_rectangle(cr, 0, 0, panel.cells(panel.view.across), panel.cells(panel.view.up));
    cairo_fill(cr);
    cairo_restore(cr);
}

// The brain summed along each axis over the panels' millimetres, all three in one sweep up
// the columns along z, the order the image is held in.
struct BrainSums {
    int low[3] = {};
    int size[3] = {};
    std::array<std::vector<float>, 3> along;  // per axis: over the other two, the later fastest

    float at(int axis, const Point& tal) const {
        const int a = axis == 0 ? 1 : 0, b = axis == 2 ? 1 : 2;
        return along[axis][static_cast<std::size_t>(static_cast<int>(tal[a]) - low[a]) *
                               static_cast<std::size_t>(size[b]) +
                           static_cast<std::size_t>(static_cast<int>(tal[b]) - low[b])];
    }
};

BrainSums sumBrain(const MniImage& brain, const Panel& panel, MniToTal transform) {
    BrainSums sums;
    for (int axis = 0; axis < 3; ++axis) {
        sums.low[axis] = panel.low[axis];
        sums.size[axis] = panel.cells(axis);
    }
    const auto nx = static_cast<std::size_t>(sums.size[0]);
    const auto ny = static_cast<std::size_t>(sums.size[1]);
    const auto nz = static_cast<std::size_t>(sums.size[2]);
    sums.along[0].assign(ny * nz, 0.0f);
    sums.along[1].assign(nx * nz, 0.0f);
    sums.along[2].assign(nx * ny, 0.0f);
    const std::vector<float>& values = brain.values();
    std::vector<std::int64_t> indices(nz);
    std::vector<float> column(nz);
    for (std::size_t x = 0; x < nx; ++x) {
        float* const alongY = sums.along[1].data() + x * nz;
        for (std::size_t y = 0; y < ny; ++y) {
            brain.indicesUpColumn(sums.low[0] + static_cast<int>(x),
                                  sums.low[1] + static_cast<int>(y), sums.low[2], nz, transform,
                                  indices.data());
            for (std::size_t z = 0; z < nz; ++z) {
                column[z] = indices[z] < 0 ? 0.0f : values[static_cast<std::size_t>(indices[z])];
            }
            // Each sum goes in the same order as ever, x, y and z upwards: the same floats.
            float* const alongX = sums.along[0].data() + y * nz;
            float alongZ = 0.0f;
            for (std::size_t z = 0; z < nz; ++z) {
                alongX[z] += column[z];
                alongY[z] += column[z];
                alongZ += column[z];
            }
            sums.along[2][x * ny + y] = alongZ;
        }
    }
    return sums;
}

// A faint projection of the brain with its outline, a glass brain: the mean along the line
// of sight shows the inner structure that a maximum would flatten.
void drawBrain(cairo_t* cr, const Panel& panel, const BrainSums& sums) {
    const View& v = panel.view;
    const int w = panel.cells(v.across), h = panel.cells(v.up);
    std::vector<float> mip(static_cast<std::size_t>(w) * h, 0.0f);
    float brightest = 0;
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            Point tal{};
            tal[v.across] =
                v.acrossFlip ? panel.high[v.across] - column : panel.low[v.across] + column;
            tal[v.up] = panel.high[v.up] - row;
            const float sum = sums.at(v.depth, tal);
            mip[static_cast<std::size_t>(row) * w + column] = sum;
            brightest = std::max(brightest, sum);
        }
    }
    if (brightest <= 0) return;
    const float edge = 0.03f * brightest;
    const auto inside = [&](int column, int row) {
        return column >= 0 && row >= 0 && column < w && row < h &&
               mip[static_cast<std::size_t>(row) * w + column] > edge;
    };
    Raster raster(w, h);
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            const double value = mip[static_cast<std::size_t>(row) * w + column] / brightest;
            if (!inside(column, row)) {
                raster.set(column, row, kBackground, 0.0);
                continue;
            }
            const bool outline = !inside(column - 1, row) || !inside(column + 1, row) ||
                                 !inside(column, row - 1) || !inside(column, row + 1);
            const double grey = outline ? 0.58 : 0.13 + 0.32 * std::sqrt(value);
            raster.set(column, row, {grey, grey, grey + 0.03}, 1.0);
        }
    }
    raster.done();
    paintRaster(cr, raster, panel, CAIRO_FILTER_BILINEAR);
}

// A VOI's colour with its lightness (HSL) times `lightness`, its hue and saturation kept: a
// shade of the legend's colour, which it is at 1.
Rgb shaded(const std::int32_t rgb[3], double lightness) {
    double c[3];
    for (int i = 0; i < 3; ++i) c[i] = std::clamp(static_cast<double>(rgb[i]), 0.0, 255.0) / 255.0;
    const double high = std::max({c[0], c[1], c[2]}), low = std::min({c[0], c[1], c[2]});
    const double l = (high + low) / 2;
    if (high == low) return {c[0] * lightness, c[1] * lightness, c[2] * lightness};  // a grey
    // Each channel's place between the lowest and the highest stays; the two move so that
    // their mean, the lightness, scales and the saturation holds.
    const double saturation = (high - low) / (1 - std::fabs(2 * l - 1));
    const double shadedL = l * lightness;
    const double chroma = saturation * (1 - std::fabs(2 * shadedL - 1));
    const double shadedLow = shadedL - chroma / 2;
    const auto channel = [&](double v) { return shadedLow + (v - low) / (high - low) * chroma; };
    return {channel(c[0]), channel(c[1]), channel(c[2])};
}

}  // namespace

// What each panel shows of the VOIs: per pixel of its raster, the nearest VOI and its shade.
struct PicturePass::Views {
    struct Projection {
        Panel panel;
        int width = 0, height = 0;
        std::vector<float> nearest;  // row by row
        std::vector<int> owner;
        // The VOI being gathered: per cell its nearest distance, +inf where it has none. Held
        // column by column, so that a run of voxels up the picture is a straight line of cells.
        std::vector<float> voiNearest;
    };
    std::vector<Projection> projections;
    std::optional<BrainSums> brain;
    // The millimetres the VOI being gathered takes in the panels; low > high before its first.
    std::int32_t voiLow[3], voiHigh[3];
};

namespace {

constexpr float kNoVoxel = std::numeric_limits<float>::infinity();

void forgetVoi(PicturePass::Views& views) {
    std::fill(std::begin(views.voiLow), std::end(views.voiLow),
              std::numeric_limits<std::int32_t>::max());
    std::fill(std::begin(views.voiHigh), std::end(views.voiHigh),
              std::numeric_limits<std::int32_t>::min());
}

// Distances are lowered in blocks, which the compiler turns into vector instructions. The
// blocks lie at fixed places in the VOI's distances, whatever the run, so that runs one after
// the other over the same cells read back what the one before stored whole (a read that
// straddles a recent store waits for it); lanes outside the run stay as they are.
constexpr std::size_t kBlock = 8;
// Added to a distance, the lanes of a block inside the run keep it, the others drop it from
// the minimum: for a run from lane `first` and one ending before lane `end`, the lanes' offsets
// start at kLanes + kBlock - first and at kLanes + 2 * kBlock - end.
constexpr float kLanes[3 * kBlock] = {kNoVoxel, kNoVoxel, kNoVoxel, kNoVoxel, kNoVoxel, kNoVoxel,
                                      kNoVoxel, kNoVoxel, 0,        0,        0,        0,
                                      0,        0,        0,        0,        kNoVoxel, kNoVoxel,
                                      kNoVoxel, kNoVoxel, kNoVoxel, kNoVoxel, kNoVoxel, kNoVoxel};
const float* const kWholeBlock = kLanes + kBlock;

void lowerBlock(float* block, float distance) {
    for (std::size_t lane = 0; lane < kBlock; ++lane) block[lane] = std::min(block[lane], distance);
}

void lowerBlock(float* block, float distance, const float* offsets, const float* moreOffsets) {
    for (std::size_t lane = 0; lane < kBlock; ++lane) {
        block[lane] = std::min(block[lane], distance + offsets[lane] + moreOffsets[lane]);
    }
}

// Lowers the distances from `from` to `to` (inclusive) to `distance` where they are larger;
// the blocks reach up to kBlock - 1 cells past `to`.
void lowerTo(std::vector<float>& distances, std::size_t from, std::size_t to, float distance) {
    const std::size_t first = from - from % kBlock, last = to - to % kBlock;
    float* const data = distances.data();
    const float* const runStart = kLanes + kBlock - (from - first);
    const float* const runEnd = kLanes + kBlock - (to + 1 - last);
    if (first == last) {
        lowerBlock(data + first, distance, runStart, runEnd + kBlock);
        return;
    }
    lowerBlock(data + first, distance, runStart, kWholeBlock);
    for (std::size_t start = first + kBlock; start < last; start += kBlock) {
        lowerBlock(data + start, distance);
    }
    lowerBlock(data + last, distance, runEnd + kBlock, kWholeBlock);
}

}  // namespace

PicturePass::PicturePass(const VoiStatistics& figures, const PictureSettings& settings)
    : figures_(figures), views_(std::make_unique<Views>()) {
    for (const Panel& panel : layOut(figures, settings.radiological).panels) {
        Views::Projection projection;
        projection.panel = panel;
        projection.width = panel.cells(panel.view.across);
        projection.height = panel.cells(panel.view.up);
        const auto cells = static_cast<std::size_t>(projection.width) * projection.height;
        projection.nearest.assign(cells, std::numeric_limits<float>::infinity());
        projection.owner.assign(cells, -1);
        projection.voiNearest.assign(cells + kBlock - 1, kNoVoxel);
        views_->projections.push_back(std::move(projection));
    }
    forgetVoi(*views_);
}

PicturePass::~PicturePass() = default;

void PicturePass::beginVoi(const glomera::VoiInfo&) { ++voi_; }

void PicturePass::placeBrain(const MniImage& brain, MniToTal transform) {
    // Every panel shows the same millimetres, each along its own axis.
    views_->brain = sumBrain(brain, views_->projections.front().panel, transform);
}

// Per pixel, the VOI's nearest voxel along the line of sight. The VOI is gathered on its own
// and then laid over the others (endVoi): its runs all have the same owner, and so only its
// nearest distance per pixel counts.
void PicturePass::runs(const VoxelRun* runs, std::size_t count) {
    Views& views = *views_;
    // Every panel shows the same millimetres.
    const Panel& shown = views.projections.front().panel;
    for (const VoxelRun* run = runs; run != runs + count; ++run) {
        if (run->x < shown.low[0] || run->x > shown.high[0] || run->y < shown.low[1] ||
            run->y > shown.high[1]) {
            continue;
        }
        // The part of the run inside the panels.
        const std::int64_t top = std::int64_t{run->z} + run->length - 1;
        const auto from = static_cast<std::int32_t>(std::max<std::int64_t>(run->z, shown.low[2]));
        const auto to = static_cast<std::int32_t>(std::min<std::int64_t>(top, shown.high[2]));
        if (from > to) continue;
        const std::int32_t low[3] = {run->x, run->y, from}, high[3] = {run->x, run->y, to};
        for (int axis = 0; axis < 3; ++axis) {
            views.voiLow[axis] = std::min(views.voiLow[axis], low[axis]);
            views.voiHigh[axis] = std::max(views.voiHigh[axis], high[axis]);
        }
        for (Views::Projection& projection : views.projections) {
            const Panel& panel = projection.panel;
            const View& v = panel.view;
            const std::int32_t* nearEnd = v.nearIsHigh ? high : low;
            const auto distance = static_cast<float>(
                v.nearIsHigh ? static_cast<double>(figures_.high[v.depth]) - nearEnd[v.depth]
                             : nearEnd[v.depth] - static_cast<double>(figures_.low[v.depth]));
            const std::size_t column = static_cast<std::size_t>(panel.cellColumn(low[v.across])) *
                                       static_cast<std::size_t>(projection.height);
            if (v.depth == 2) {
                // Seen along z, the run is one pixel and its nearest voxel hides the rest.
                float& cell =
                    projection
                        .voiNearest[column + static_cast<std::size_t>(panel.cellRow(low[v.up]))];
                cell = std::min(cell, distance);
                continue;
            }
            // Otherwise z goes up the picture and the run is a line of cells in one column.
            lowerTo(projection.voiNearest, column + static_cast<std::size_t>(panel.cellRow(to)),
                    column + static_cast<std::size_t>(panel.cellRow(from)), distance);
        }
    }
}

// Lays the VOI gathered over the VOIs before it: where it comes as near as they do or nearer,
// it is seen (later VOIs win ties).
void PicturePass::endVoi() {
    Views& views = *views_;
    if (views.voiLow[0] > views.voiHigh[0]) return;
    for (Views::Projection& projection : views.projections) {
        const Panel& panel = projection.panel;
        const View& v = panel.view;
        // Both ends, for the axis may grow to the left.
        const int ends[2] = {panel.cellColumn(views.voiLow[v.across]),
                             panel.cellColumn(views.voiHigh[v.across])};
        const auto [left, right] = std::minmax(ends[0], ends[1]);
        const auto width = static_cast<std::size_t>(projection.width);
        const auto height = static_cast<std::size_t>(projection.height);
        for (int row = panel.cellRow(views.voiHigh[v.up]); row <= panel.cellRow(views.voiLow[v.up]);
             ++row) {
            for (int column = left; column <= right; ++column) {
                float& gathered = projection.voiNearest[static_cast<std::size_t>(column) * height +
                                                        static_cast<std::size_t>(row)];
                const std::size_t cell =
                    static_cast<std::size_t>(row) * width + static_cast<std::size_t>(column);
                const bool seen = gathered != kNoVoxel && gathered <= projection.nearest[cell];
                projection.nearest[cell] = seen ? gathered : projection.nearest[cell];
                projection.owner[cell] = seen ? voi_ : projection.owner[cell];
                gathered = kNoVoxel;
            }
        }
    }
    forgetVoi(views);
}

namespace {

// The VOIs of one view, each in its legend's colour where it comes nearest, shaded darker
// (the same hue) where it lies deeper, as far as a third of its lightness at its far end: a
// sphere is its colour in the middle and a little darker at its rim. A light edge where VOIs
// meet.
void drawVois(cairo_t* cr, const PicturePass::Views::Projection& projection,
              const glomera::VoiFileContents& contents, const VoiStatistics& figures) {
    constexpr double kDeepest = 0.35;  // the lightness lost at a VOI's far end
    const View& v = projection.panel.view;
    // Per VOI, from the VOIs' nearest depth (where the distances start) to its own nearest,
    // and its own depth.
    std::vector<double> near(figures.vois.size()), deep(figures.vois.size());
    for (std::size_t i = 0; i < figures.vois.size(); ++i) {
        const VoiStatistics::Voi& voi = figures.vois[i];
        near[i] = v.nearIsHigh ? figures.high[v.depth] - voi.high[v.depth]
                               : voi.low[v.depth] - figures.low[v.depth];
        deep[i] = std::max(1.0, static_cast<double>(voi.high[v.depth]) - voi.low[v.depth]);
    }
    const int w = projection.width, h = projection.height;
    Raster raster(w, h);
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            const std::size_t cell = static_cast<std::size_t>(row) * w + column;
            const int here = projection.owner[cell];
            if (here < 0) {
                raster.set(column, row, kBackground, 0.0);
                continue;
            }
            const int right = column + 1 < w ? projection.owner[cell + 1] : -1;
            const int below =
                row + 1 < h ? projection.owner[cell + static_cast<std::size_t>(w)] : -1;
            const bool edge = (right >= 0 && right != here) || (below >= 0 && below != here);
            const auto voi = static_cast<std::size_t>(here);
            const double depth =
                std::clamp((projection.nearest[cell] - near[voi]) / deep[voi], 0.0, 1.0);
            const Rgb colour = edge ? Rgb{0.85, 0.86, 0.9}
                                    : shaded(contents.vois[voi].info.color, 1.0 - kDeepest * depth);
            raster.set(column, row, colour, 1.0);
        }
    }
    raster.done();
    paintRaster(cr, raster, projection.panel, CAIRO_FILTER_NEAREST);
}

void setColour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r, c.g, c.b); }

void text(cairo_t* cr, double x, double y, const std::string& s, double size, Rgb c,
          double anchor = 0.0, bool bold = false) {
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, s.c_str(), &extents);
    cairo_move_to(cr, x - anchor * extents.x_advance, y);
    setColour(cr, c);
    cairo_show_text(cr, s.c_str());
}

// The VOIs' numbers at their centres: white with a dark rim, readable on any colour. Vector
// pictures keep each as outlines; on a raster each digit is drawn once and then stamped, rim
// first, then fill, for a picture of a thousand VOIs carries thousands of numbers.
class Numbers {
  public:
    Numbers(cairo_t* cr, bool raster) : cr_(cr) {
        useFont(cr_);
        if (!raster) return;
        cairo_font_extents_t font;
        cairo_font_extents(cr_, &font);
        ascent_ = font.ascent;
        for (char digit = '0'; digit <= '9'; ++digit) {
            const char text[2] = {digit, '\0'};
            cairo_text_extents_t extents;
            cairo_text_extents(cr_, text, &extents);
            Digit& d = digits_[digit - '0'];
            d.advance = extents.x_advance;
            const int width = static_cast<int>(std::ceil(extents.x_advance)) + 2 * kPad;
            const int height = static_cast<int>(std::ceil(font.ascent + font.descent)) + 2 * kPad;
            for (int layer = 0; layer < 2; ++layer) {
                cairo_surface_t* stamp =
                    cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
                cairo_t* on = cairo_create(stamp);
                useFont(on);
                cairo_move_to(on, kPad, kPad + font.ascent);
                cairo_text_path(on, text);
                layer == 0 ? rim(on) : fill(on);
                cairo_destroy(on);
                d.stamps[layer] = stamp;
            }
        }
    }
    ~Numbers() {
        for (Digit& d : digits_) {
            for (cairo_surface_t* stamp : d.stamps) {
                if (stamp != nullptr) cairo_surface_destroy(stamp);
            }
        }
    }
    Numbers(const Numbers&) = delete;
    Numbers& operator=(const Numbers&) = delete;

    // The box a number's ink takes with its rim, width and height in pixels.
    std::pair<double, double> size(const std::string& s) const {
        useFont(cr_);
        cairo_text_extents_t extents;
        cairo_text_extents(cr_, s.c_str(), &extents);
        return {extents.width + kRim, extents.height + kRim};
    }

    // Draws the number with its ink centred on (x, y).
    void draw(double x, double y, const std::string& s) {
        useFont(cr_);
        cairo_text_extents_t extents;
        cairo_text_extents(cr_, s.c_str(), &extents);
        const double left = x - extents.width / 2 - extents.x_bearing;
        const double baseline = y - extents.height / 2 - extents.y_bearing;
        if (digits_[0].stamps[0] == nullptr) {
            cairo_move_to(cr_, left, baseline);
            cairo_text_path(cr_, s.c_str());
            cairo_path_t* path = cairo_copy_path(cr_);
            rim(cr_);
            cairo_append_path(cr_, path);
            cairo_path_destroy(path);
            fill(cr_);
            return;
        }
        for (int layer = 0; layer < 2; ++layer) {
            double pen = left;
            for (char c : s) {
                const Digit& d = digits_[c - '0'];
                cairo_set_source_surface(cr_, d.stamps[layer], std::round(pen) - kPad,
                                         std::round(baseline - ascent_) - kPad);
                cairo_paint(cr_);
                pen += d.advance;
            }
        }
    }

  private:
    static constexpr int kPad = 3;  // room for the rim around a digit
    static constexpr double kRim = 3.0;
    // Bold digits of about ten pixels.
    static constexpr double kNumberSize = 14;
    struct Digit {
        double advance = 0;
        cairo_surface_t* stamps[2] = {nullptr, nullptr};  // rim, fill
    };

    static void useFont(cairo_t* cr) {
        cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, kNumberSize);
    }
    static void rim(cairo_t* cr) {
        cairo_set_line_width(cr, kRim);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_set_source_rgb(cr, 0.02, 0.02, 0.03);
        cairo_stroke(cr);
    }
    static void fill(cairo_t* cr) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill(cr);
    }

    cairo_t* cr_;
    double ascent_ = 0;
    Digit digits_[10];
};

// A line from a VOI's centre to the edge of its number's box, drawn where the number had to
// move: light on a dark rim like the numbers, with a dot at the centre.
void drawLeader(cairo_t* cr, double x, double y, const PlacedLabel& label, double width,
                double height) {
    // Where the line from the box's centre to the anchor leaves the box.
    const double dx = x - label.x, dy = y - label.y;
    const double reach = std::min(dx != 0 ? width / 2 / std::fabs(dx) : 1e9,
                                  dy != 0 ? height / 2 / std::fabs(dy) : 1e9);
    const double endX = label.x + dx * std::min(reach, 1.0),
                 endY = label.y + dy * std::min(reach, 1.0);
    for (const auto& [lineWidth, shade] : {std::pair{3.2, 0.02}, std::pair{1.3, 1.0}}) {
        cairo_set_source_rgb(cr, shade, shade, shade);
        cairo_set_line_width(cr, lineWidth);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, endX, endY);
        cairo_stroke(cr);
        cairo_arc(cr, x, y, lineWidth / 2 + 1.2, 0, 2 * 3.14159265358979323846);
        cairo_fill(cr);
    }
}

// Whether the VOI is the one seen at its centre in the view, not hidden behind another.
bool seenAtCentre(const PicturePass::Views::Projection& projection, const VoiStatistics::Voi& voi,
                  std::size_t index) {
    const Panel& panel = projection.panel;
    const int column =
        panel.cellColumn(static_cast<int>(std::lround(voi.centre[panel.view.across])));
    const int row = panel.cellRow(static_cast<int>(std::lround(voi.centre[panel.view.up])));
    if (column < 0 || row < 0 || column >= projection.width || row >= projection.height)
        return false;
    return projection.owner[static_cast<std::size_t>(row) * projection.width + column] ==
           static_cast<int>(index);
}

// The VOIs' numbers at their centres. Where numbers would cover each other (spheres that
// overlap in the view, such as the left and the right amygdala seen from the side), the
// numbers of the VOIs seen at their centres stay and the others move apart, each with a
// leader line to its centre; in a crowd with no room left a number is left out rather than
// printed over another. Returns how many were left out.
std::size_t drawNumbers(cairo_t* cr, Numbers& numbers,
                        const PicturePass::Views::Projection& projection,
                        const VoiStatistics& statistics) {
    const Panel& panel = projection.panel;
    std::vector<LabelToPlace> labels;
    std::vector<std::size_t> vois;
    for (const bool seen : {true, false}) {
        for (std::size_t i = 0; i < statistics.vois.size(); ++i) {
            const VoiStatistics::Voi& voi = statistics.vois[i];
            if (voi.voxels == 0 || seenAtCentre(projection, voi, i) != seen) continue;
            const auto [width, height] = numbers.size(std::to_string(i + 1));
            labels.push_back({panel.column(voi.centre[panel.view.across]),
                              panel.row(voi.centre[panel.view.up]), width, height});
            vois.push_back(i);
        }
    }
    const std::vector<PlacedLabel> placed =
        placeLabels(labels, {panel.x, panel.y, panel.x + panel.width(), panel.y + panel.height()});
    std::size_t leftOut = 0;
    for (std::size_t n = 0; n < placed.size(); ++n) {
        leftOut += placed[n].where == PlacedLabel::Where::kLeftOut;
        if (placed[n].where == PlacedLabel::Where::kMoved) {
            drawLeader(cr, labels[n].x, labels[n].y, placed[n], labels[n].width, labels[n].height);
        }
    }
    for (std::size_t n = 0; n < placed.size(); ++n) {
        if (placed[n].where == PlacedLabel::Where::kLeftOut) continue;
        numbers.draw(placed[n].x, placed[n].y, std::to_string(vois[n] + 1));
    }
    return leftOut;
}

// "x (mm)" as it stands, or "x (MNI mm)" where the axes are in MNI millimetres.
std::string axisName(const char* name, std::optional<MniToTal> mni) {
    std::string named = name;
    const std::size_t mm = named.find("(mm)");
    if (mni && mm != std::string::npos) named.replace(mm, 4, "(MNI mm)");
    return named;
}

void drawFrame(cairo_t* cr, const Panel& panel, std::optional<MniToTal> mni) {
    const View& v = panel.view;
    cairo_set_line_width(cr, 1.0);
    // The accepted box.
    const double left = std::min(panel.column(kBoxLow[v.across]), panel.column(kBoxHigh[v.across]));
    const double right =
        std::max(panel.column(kBoxLow[v.across]), panel.column(kBoxHigh[v.across]));
    const double top = panel.row(kBoxHigh[v.up]), bottom = panel.row(kBoxLow[v.up]);
    setColour(cr, kBoxColour);
    const double dashes[] = {4.0, 3.0};
    cairo_set_dash(cr, dashes, 2, 0);
    cairo_rectangle(cr, left - kScale / 2, top - kScale / 2, right - left + kScale,
                    bottom - top + kScale);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    // Axes along the bottom and the left, labelled every kTick millimetres.
    const double axisY = panel.y + panel.height() + 5, axisX = panel.x - 5;
    setColour(cr, kAxisColour);
    cairo_move_to(cr, panel.x, axisY + 0.5);
    cairo_line_to(cr, panel.x + panel.width(), axisY + 0.5);
    cairo_move_to(cr, axisX + 0.5, panel.y);
    cairo_line_to(cr, axisX + 0.5, panel.y + panel.height());
    cairo_stroke(cr);
    for (const AxisTick& tick :
         axisTicks(v.across, panel.low[v.across], panel.high[v.across], mni)) {
        const double cx = panel.column(tick.tal);
        setColour(cr, kAxisColour);
        cairo_move_to(cr, cx, axisY);
        cairo_line_to(cr, cx, axisY + 4);
        cairo_stroke(cr);
        text(cr, cx, axisY + 16, tick.text, 10, kTextColour, 0.5);
    }
    for (const AxisTick& tick : axisTicks(v.up, panel.low[v.up], panel.high[v.up], mni)) {
        const double cy = panel.row(tick.tal);
        setColour(cr, kAxisColour);
        cairo_move_to(cr, axisX - 4, cy);
        cairo_line_to(cr, axisX, cy);
        cairo_stroke(cr);
        text(cr, axisX - 7, cy + 4, tick.text, 10, kTextColour, 1.0);
    }
    text(cr, panel.x, axisY + 34, axisName(v.acrossName, mni), 11, kAxisColour);
    text(cr, panel.x, panel.y - 26, v.title, 13, kTextColour, 0.0, true);
    text(cr, panel.x, panel.y - 9, axisName(v.upName, mni) + " up", 10, kAxisColour);
    if (v.leftRight) {
        // The subject's right is where x grows.
        const bool rightOnRight = !v.acrossFlip;
        const double middle = panel.y + panel.height() / 2;
        text(cr, panel.x + 6, middle, rightOnRight ? "L" : "R", 18, kTextColour, 0.0, true);
        text(cr, panel.x + panel.width() - 6, middle, rightOnRight ? "R" : "L", 18, kTextColour,
             1.0, true);
    }
}

std::size_t shownInLegend(std::size_t count, double width, int rows) {
    const int columns = std::max(1, static_cast<int>(width / kLegendColumnWidth));
    const std::size_t capacity = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    return count <= capacity ? count : capacity - 1;
}

// The legend column of the entry, counted from 0.
double columnOf(std::size_t entry, int rows) {
    const std::size_t column = entry / static_cast<std::size_t>(rows);
    return static_cast<double>(column);
}

void drawLegend(cairo_t* cr, double x, double y, double width,
                const glomera::VoiFileContents& contents, int rows) {
    const std::size_t count = contents.vois.size();
    text(cr, x, y, fmt::format("{} {}", count, count == 1 ? "VOI" : "VOIs"), 13, kTextColour, 0.0,
         true);
    const std::size_t shown = shownInLegend(count, width, rows);
    for (std::size_t i = 0; i < shown; ++i) {
        const auto& info = contents.vois[i].info;
        const double left = x + columnOf(i, rows) * kLegendColumnWidth;
        const double top =
            y + 10 + static_cast<double>(i % static_cast<std::size_t>(rows)) * kLegendRowHeight;
        const Rgb c = shaded(info.color, 1.0);
        cairo_rectangle(cr, left, top, 11, 11);
        setColour(cr, c);
        cairo_fill_preserve(cr);
        setColour(cr, kBoxColour);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
        std::string name = info.name;
        if (name.size() > 28) name = name.substr(0, 27) + "~";
        text(cr, left + 17, top + 10, fmt::format("{}  {}", i + 1, name), 11, kTextColour);
    }
    if (shown < count) {
        const double left = x + columnOf(shown, rows) * kLegendColumnWidth;
        const double top =
            y + 10 + static_cast<double>(shown % static_cast<std::size_t>(rows)) * kLegendRowHeight;
        text(cr, left, top + 10, fmt::format("... and {} more", count - shown), 11, kAxisColour);
    }
}

// Rows per legend column: columns of kLegendMinRows while they suffice, then longer ones up
// to kLegendMaxRows.
int legendRows(std::size_t count, double width) {
    const auto columns =
        static_cast<std::size_t>(std::max(1, static_cast<int>(width / kLegendColumnWidth)));
    const auto needed = static_cast<int>((count + columns - 1) / columns);
    return std::clamp(std::max(needed, std::min(static_cast<int>(count), kLegendMinRows)), 1,
                      kLegendMaxRows);
}

cairo_status_t appendTo(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<glomera::AtomicFile*>(closure);
    out->append(reinterpret_cast<const char*>(data), length);
    return out->failed() ? CAIRO_STATUS_WRITE_ERROR : CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::vector<AxisTick> axisTicks(int axis, int low, int high, std::optional<MniToTal> mni) {
    std::vector<AxisTick> ticks;
    if (!mni) {
        for (int mm = (low / kTick) * kTick; mm <= high; mm += kTick) {
            if (mm >= low) ticks.push_back({static_cast<double>(mm), std::to_string(mm)});
        }
        return ticks;
    }
    // The transforms scale by less than a fifth: the MNI millimetres a little past the TAL
    // ones cover the axis.
    const int reach = (std::max(std::abs(low), std::abs(high)) * 3 / 2 / kTick + 1) * kTick;
    for (int mm = -reach; mm <= reach; mm += kTick) {
        Point point{};
        point[static_cast<std::size_t>(axis)] = mm;
        const double tal = mniToTal(point, *mni)[static_cast<std::size_t>(axis)];
        if (tal >= low && tal <= high) ticks.push_back({tal, std::to_string(mm)});
    }
    return ticks;
}

std::string pictureCaption(const PictureSettings& settings, bool brain, std::size_t leftOut) {
    const std::string millimetres =
        settings.mniAxes
            ? std::string(
                  "MNI millimetres, as the VOIs were given: the VOIs drawn in TAL, the "
                  "axes read through ") +
                  transformName(*settings.mniAxes) +
                  "'s transform on the lines through the origin (a few mm off away from them)"
            : std::string("TAL millimetres");
    return millimetres +
           (brain ? ", brain: " + settings.brain.substr(settings.brain.rfind('/') + 1) +
                        " placed from MNI (" + transformName(settings.transform) + ")"
                  : "") +
           (leftOut > 0 ? "; too crowded to number every VOI: up to " + std::to_string(leftOut) +
                              " numbers per view left out"
                        : "");
}

std::vector<std::string> notDrawnLines(const std::vector<std::string>& notDrawn) {
    constexpr std::size_t kMostLines = 5;
    constexpr std::size_t kLongest = 150;  // characters: about the width of the legend
    std::vector<std::string> lines;
    const std::size_t shown = notDrawn.size() <= kMostLines ? notDrawn.size() : kMostLines - 1;
    for (std::size_t i = 0; i < shown; ++i) {
        std::string line = "Not drawn: " + notDrawn[i];
        if (line.size() > kLongest) {
            std::size_t cut = kLongest - 3;
            // Not inside a character of several bytes.
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
            line = line.substr(0, cut) + "...";
        }
        lines.push_back(std::move(line));
    }
    if (shown < notDrawn.size()) {
        lines.push_back(fmt::format("Not drawn: and {} more", notDrawn.size() - shown));
    }
    return lines;
}

std::size_t legendEntries(std::size_t vois, const VoiStatistics& statistics,
                          const PictureSettings& settings) {
    const Layout layout = layOut(statistics, settings.radiological);
    const double width = layout.width - kLeft;
    return shownInLegend(vois, width, legendRows(vois, width));
}

void writeProjectionPicture(const glomera::VoiFileContents& contents,
                            const VoiStatistics& statistics, const PictureSettings& settings,
                            const std::string& path) {
    PicturePass pass(statistics, settings);
    const VoiRuns runs = runsOf(contents);
    replay(runs, pass);
    if (!settings.brain.empty()) pass.placeBrain(MniImage(settings.brain), settings.transform);
    writeProjectionPicture(pass, contents, settings, path);
}

void writeProjectionPicture(const PicturePass& pass, const glomera::VoiFileContents& skeleton,
                            const PictureSettings& settings, const std::string& path) {
    const glomera::VoiFileContents& contents = skeleton;
    const VoiStatistics& statistics = pass.figures();
    const bool svg = glomera::endsWith(path, ".svg"), pdf = glomera::endsWith(path, ".pdf");
    const Layout layout = layOut(statistics, settings.radiological);
    const int rows = legendRows(contents.vois.size(), layout.width - kLeft);
    const double legendTop = layout.panelsBottom + kBelowPanels + 16;
    const std::vector<std::string> notDrawn = notDrawnLines(settings.notDrawn);
    const double height = legendTop + 14 + rows * kLegendRowHeight + 20 +
                          static_cast<double>(notDrawn.size()) * kLegendRowHeight;
    const std::optional<BrainSums>& brain = pass.views().brain;

    glomera::AtomicFile out;
    if (!out.open(path)) throw Error("cannot create " + path + ": " + std::strerror(errno));
    cairo_surface_t* surface =
        svg   ? cairo_svg_surface_create_for_stream(appendTo, &out, layout.width, height)
        : pdf ? cairo_pdf_surface_create_for_stream(appendTo, &out, layout.width, height)
              : cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(layout.width),
                                           static_cast<int>(height));
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> owned(surface,
                                                                             cairo_surface_destroy);
    cairo_t* cr = cairo_create(surface);
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cr, cairo_destroy);
    setColour(cr, kBackground);
    cairo_paint(cr);
    Numbers numbers(cr, !svg && !pdf);
    std::size_t leftOut = 0;  // the most numbers a view had no room for
    for (const auto& projection : pass.views().projections) {
        const Panel& panel = projection.panel;
        if (brain) drawBrain(cr, panel, *brain);
        drawVois(cr, projection, contents, statistics);
        drawFrame(cr, panel, settings.mniAxes);
        leftOut = std::max(leftOut, drawNumbers(cr, numbers, projection, statistics));
    }
    text(cr, kLeft, 22, pictureCaption(settings, brain.has_value(), leftOut), 11, kAxisColour);
    drawLegend(cr, kLeft, legendTop, layout.width - kLeft, contents, rows);
    double below = legendTop + 14 + rows * kLegendRowHeight + 6;
    for (const std::string& line : notDrawn) {
        text(cr, kLeft, below + 10, line, 11, kTextColour);
        below += kLegendRowHeight;
    }
    context.reset();
    if (!svg && !pdf) {
        cairo_surface_flush(surface);
        if (!writeRgbPng(surface, out)) throw Error("cannot encode " + path + " as PNG");
    }
    cairo_surface_finish(surface);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        throw Error("cannot draw " + path + ": " +
                    cairo_status_to_string(cairo_surface_status(surface)));
    }
    owned.reset();
    if (!out.commit()) throw Error(path, std::string("cannot write: ") + std::strerror(errno));
}

}  // namespace voikit
