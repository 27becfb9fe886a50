#include "voikit/projection_picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "coordlist/coordinate_box.h"
#include "voikit/canvas.h"
#include "voikit/error.h"

namespace voikit {
namespace {

constexpr int kScale = 2;     // pixels per millimetre
constexpr int kMarginMm = 8;  // around the box and the VOIs
constexpr int kPanelGap = 56;
constexpr int kLeft = 56;    // room for the vertical axis' labels
constexpr int kTop = 40;     // room for the titles
constexpr int kBottom = 44;  // room for the horizontal axis' labels
constexpr int kLegendWidth = 230;
constexpr int kTick = 20;            // millimetres between axis labels
constexpr int kMaxPictureMm = 2000;  // VOIs further out are clipped from the picture

const Colour kBackground{18, 20, 26};
const Colour kBoxColour{110, 116, 130};
const Colour kAxisColour{170, 176, 188};
const Colour kTextColour{225, 228, 235};
const Colour kEdgeColour{150, 156, 170};

// The accepted coordinate box, mm.
using Box = glomera::CoordinateBox;
constexpr int kBoxLow[3] = {static_cast<int>(Box::kXLow), static_cast<int>(Box::kYLow),
                            static_cast<int>(Box::kZLow)};
constexpr int kBoxHigh[3] = {static_cast<int>(Box::kXHigh), static_cast<int>(Box::kYHigh),
                             static_cast<int>(Box::kZHigh)};

// One projection: which axis runs across, which up, which is depth, and their directions.
struct View {
    const char* title;
    int across;       // axis shown left to right
    bool acrossFlip;  // true: the axis grows to the left
    int up;           // axis shown bottom to top
    int depth;        // axis along the line of sight
    bool nearIsHigh;  // true: larger depth values are nearer the viewer
    const char* acrossName;
    const char* upName;
};

const View kViews[3] = {
    {"from the left", 1, true, 2, 0, false, "y (mm), anterior to the left", "z (mm)"},
    {"from the front", 0, true, 2, 1, true, "x (mm), right to the left", "z (mm)"},
    {"from above", 0, false, 1, 2, true, "x (mm), right to the right", "y (mm)"},
};

struct Panel {
    View view;
    int low[3], high[3];  // mm shown
    int x, y;             // top-left pixel of the drawing area
    int width() const { return (high[view.across] - low[view.across] + 1) * kScale; }
    int height() const { return (high[view.up] - low[view.up] + 1) * kScale; }
    int column(int mm) const {
        return x + (view.acrossFlip ? high[view.across] - mm : mm - low[view.across]) * kScale;
    }
    int row(int mm) const { return y + (high[view.up] - mm) * kScale; }
};

Colour shaded(const std::int32_t rgb[3], double brightness) {
    auto channel = [brightness](std::int32_t v) {
        const double clamped = std::min(255.0, std::max(0.0, static_cast<double>(v)));
        return static_cast<std::uint8_t>(std::lround(clamped * brightness));
    };
    return {channel(rgb[0]), channel(rgb[1]), channel(rgb[2])};
}

// Shading runs from full colour at the VOIs' nearest depth to half at their farthest.
void drawVois(Canvas& canvas, const Panel& panel, const glomera::VoiFileContents& contents,
              const VoiStatistics& statistics) {
    const int w = panel.width(), h = panel.height();
    std::vector<float> nearest(static_cast<std::size_t>(w) * h,
                               std::numeric_limits<float>::infinity());
    std::vector<int> owner(static_cast<std::size_t>(w) * h, -1);
    const View& view = panel.view;
    const double depthLow = statistics.low[view.depth], depthHigh = statistics.high[view.depth];
    for (std::size_t index = 0; index < contents.vois.size(); ++index) {
        const auto& voi = contents.vois[index];
        const auto& v = voi.voxels;
        for (std::size_t n = 0; n < v.size(); n += 3) {
            const std::int32_t* p = &v[n];
            bool shown = true;
            for (int axis = 0; axis < 3; ++axis) {
                shown = shown && p[axis] >= panel.low[axis] && p[axis] <= panel.high[axis];
            }
            if (!shown) continue;
            // Distance from the viewer, 0 nearest; later VOIs win ties.
            const float distance = static_cast<float>(view.nearIsHigh ? depthHigh - p[view.depth]
                                                                      : p[view.depth] - depthLow);
            const int px = panel.column(p[view.across]) - panel.x;
            const int py = panel.row(p[view.up]) - panel.y;
            const std::size_t cell = static_cast<std::size_t>(py) * w + px;
            if (distance > nearest[cell]) continue;
            const double brightness = 1.0 - 0.5 * distance / std::max(1.0, depthHigh - depthLow);
            for (int dy = 0; dy < kScale; ++dy) {
                for (int dx = 0; dx < kScale; ++dx) {
                    const std::size_t at = cell + static_cast<std::size_t>(dy) * w + dx;
                    nearest[at] = distance;
                    owner[at] = static_cast<int>(index);
                }
            }
            canvas.fill(panel.x + px, panel.y + py, kScale, kScale,
                        shaded(voi.info.color, brightness));
        }
    }
    // A light edge wherever one VOI meets another or the background keeps dark colours
    // and crowded pictures readable.
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int here = owner[static_cast<std::size_t>(y) * w + x];
            const int right = x + 1 < w ? owner[static_cast<std::size_t>(y) * w + x + 1] : -1;
            const int below = y + 1 < h ? owner[static_cast<std::size_t>(y + 1) * w + x] : -1;
            if (here >= 0 && (here != right || here != below)) {
                canvas.set(panel.x + x, panel.y + y, kEdgeColour);
            }
        }
    }
}

void drawFrame(Canvas& canvas, const Panel& panel) {
    const View& view = panel.view;
    // The accepted box.
    const int left =
        std::min(panel.column(kBoxLow[view.across]), panel.column(kBoxHigh[view.across]));
    const int right =
        std::max(panel.column(kBoxLow[view.across]), panel.column(kBoxHigh[view.across]));
    canvas.rectangle(left, panel.row(kBoxHigh[view.up]), right - left + kScale,
                     panel.row(kBoxLow[view.up]) - panel.row(kBoxHigh[view.up]) + kScale,
                     kBoxColour);
    // Axes along the bottom and the left, with labels every kTick millimetres.
    const int bottom = panel.y + panel.height() + 4;
    canvas.horizontalLine(panel.x, panel.x + panel.width() - 1, bottom, kAxisColour);
    canvas.verticalLine(panel.x - 4, panel.y, panel.y + panel.height() - 1, kAxisColour);
    for (int mm = (panel.low[view.across] / kTick) * kTick; mm <= panel.high[view.across];
         mm += kTick) {
        if (mm < panel.low[view.across]) continue;
        const int cx = panel.column(mm) + kScale / 2;
        canvas.verticalLine(cx, bottom, bottom + 4, kAxisColour);
        const std::string label = std::to_string(mm);
        canvas.text(cx - canvas.textWidth(label, 10) / 2, bottom + 16, label, kTextColour, 10);
    }
    for (int mm = (panel.low[view.up] / kTick) * kTick; mm <= panel.high[view.up]; mm += kTick) {
        if (mm < panel.low[view.up]) continue;
        const int cy = panel.row(mm) + kScale / 2;
        canvas.horizontalLine(panel.x - 8, panel.x - 4, cy, kAxisColour);
        const std::string label = std::to_string(mm);
        canvas.text(panel.x - 10 - canvas.textWidth(label, 10), cy + 4, label, kTextColour, 10);
    }
    canvas.text(panel.x, bottom + 34, view.acrossName, kAxisColour, 11);
    canvas.text(panel.x, panel.y - 22, std::string(view.title) + "   " + view.upName + " up",
                kTextColour, 13);
}

void drawLegend(Canvas& canvas, int x, int y, int height,
                const glomera::VoiFileContents& contents) {
    canvas.text(
        x, y, std::to_string(contents.vois.size()) + (contents.vois.size() == 1 ? " VOI" : " VOIs"),
        kTextColour, 13);
    const int rowHeight = 15;
    const int rows = std::max(1, (height - 24) / rowHeight);
    const std::size_t count = contents.vois.size();
    const std::size_t shown = count <= static_cast<std::size_t>(rows) ? count : rows - 1;
    for (std::size_t i = 0; i < shown; ++i) {
        const auto& info = contents.vois[i].info;
        const int top = y + 12 + static_cast<int>(i) * rowHeight;
        canvas.fill(x, top, 11, 11, shaded(info.color, 1.0));
        canvas.rectangle(x, top, 11, 11, kBoxColour);
        std::string name = info.name;
        if (name.size() > 30) name = name.substr(0, 29) + "~";
        canvas.text(x + 17, top + 10, name, kTextColour, 11);
    }
    if (shown < count) {
        canvas.text(x, y + 12 + static_cast<int>(shown) * rowHeight + 10,
                    "... and " + std::to_string(count - shown) + " more", kAxisColour, 11);
    }
}

// The three panels side by side, showing the box and every VOI with a margin, within
// reason; `right` receives the first column after them.
std::vector<Panel> layOutPanels(const VoiStatistics& statistics, int& right, int& tallest) {
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
    std::vector<Panel> panels;
    right = kLeft;
    tallest = 0;
    for (const View& view : kViews) {
        Panel panel{view, {low[0], low[1], low[2]}, {high[0], high[1], high[2]}, right, kTop};
        panels.push_back(panel);
        right += panel.width() + kPanelGap;
        tallest = std::max(tallest, panel.height());
    }
    return panels;
}

}  // namespace

std::vector<PicturePoint> picturePoints(const VoiStatistics& statistics, const int mm[3]) {
    int right = 0, tallest = 0;
    std::vector<PicturePoint> points;
    for (const Panel& panel : layOutPanels(statistics, right, tallest)) {
        points.push_back({panel.column(mm[panel.view.across]) + kScale / 2,
                          panel.row(mm[panel.view.up]) + kScale / 2});
    }
    return points;
}

void writeProjectionPicture(const glomera::VoiFileContents& contents,
                            const VoiStatistics& statistics, const std::string& path) {
    int x = 0, tallest = 0;
    const std::vector<Panel> panels = layOutPanels(statistics, x, tallest);
    Canvas canvas(x + kLegendWidth, kTop + tallest + kBottom + 8, kBackground);
    if (!canvas.fontLoaded()) {
        throw Error("no font for the picture's labels (install fonts-dejavu-core)");
    }
    for (const Panel& panel : panels) {
        drawVois(canvas, panel, contents, statistics);
        drawFrame(canvas, panel);
    }
    drawLegend(canvas, x, kTop - 18, tallest + 18, contents);
    writePng(canvas, path);
}

}  // namespace voikit
