#include "voikit/picture/label_placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace voikit {
namespace {

constexpr double kGap = 2;      // pixels kept free between two labels
constexpr double kLeader = 12;  // and between a moved label and its anchor's own place
constexpr int kRings = 5;       // how far a label may go: rings of places around its anchor
constexpr double kPi = 3.14159265358979323846;

struct Box {
    double left, top, right, bottom;

    bool overlaps(const Box& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
    bool contains(double x, double y) const {
        return x >= left && x <= right && y >= top && y <= bottom;
    }
};

// A label's box around a centre, with half the gap on each side.
Box boxAround(double x, double y, const LabelToPlace& label) {
    const double w = label.width / 2 + kGap / 2, h = label.height / 2 + kGap / 2;
    return {x - w, y - h, x + w, y + h};
}

// Boxes by the cells of a coarse grid over an area that they touch, so that a box is checked
// only against its neighbours. Boxes beyond the area go to the cells at its edge: any two
// boxes that overlap still share a cell.
class BoxIndex {
  public:
    BoxIndex(const Box& area, double cell)
        : area_(area),
          perCell_(1 / cell),
          columns_(cellsOver(area.right - area.left)),
          rows_(cellsOver(area.bottom - area.top)),
          cells_(columns_ * rows_) {}

    void add(const Box& box, int id) {
        forCells(box, [&](std::size_t cell) {
            cells_[cell].push_back(id);
            return false;
        });
    }
    // Whether any id filed under the box's cells passes the test.
    template <typename Test>
    bool any(const Box& box, Test test) const {
        return forCells(box, [&](std::size_t cell) {
            return std::any_of(cells_[cell].begin(), cells_[cell].end(), test);
        });
    }

  private:
    static constexpr std::size_t kMostCells = 256;  // along each side: more would gain nothing

    std::size_t cellsOver(double length) const { return place(length, 0, kMostCells) + 1; }
    // The cell of a place `v` along a side from `start`: any mapping that keeps the order of
    // places files overlapping boxes under a common cell.
    std::size_t place(double v, double start, std::size_t count) const {
        const double at = (v - start) * perCell_;
        if (!(at > 0)) return 0;
        return std::min(count - 1,
                        static_cast<std::size_t>(std::min(at, static_cast<double>(count))));
    }
    template <typename Visit>
    bool forCells(const Box& box, Visit visit) const {
        const std::size_t left = place(box.left, area_.left, columns_),
                          right = place(box.right, area_.left, columns_),
                          top = place(box.top, area_.top, rows_),
                          bottom = place(box.bottom, area_.top, rows_);
        for (std::size_t row = top; row <= bottom; ++row) {
            for (std::size_t column = left; column <= right; ++column) {
                if (visit(row * columns_ + column)) return true;
            }
        }
        return false;
    }

    Box area_;
    double perCell_;
    std::size_t columns_, rows_;
    std::vector<std::vector<int>> cells_;
};

// The places around an anchor, nearest first: rings of label-sized steps with room for a
// leader line, starting each ring to the upper right and going round. The same for every
// label, in steps: each place's ring and direction.
struct Place {
    int ring;
    double cos, sin;
};

const std::vector<Place>& placesAround() {
    static const std::vector<Place> places = [] {
        std::vector<Place> all;
        for (int ring = 1; ring <= kRings; ++ring) {
            const int count = 8 * ring;
            for (int m = 0; m < count; ++m) {
                const double angle = kPi / 4 - 2 * kPi * m / count;
                all.push_back({ring, std::cos(angle), std::sin(angle)});
            }
        }
        return all;
    }();
    return places;
}

}  // namespace

std::vector<PlacedLabel> placeLabels(const std::vector<LabelToPlace>& labels,
                                     const LabelBounds& bounds) {
    double largest = 1;
    for (const LabelToPlace& label : labels) {
        largest = std::max({largest, label.width + kGap, label.height + kGap});
    }
    const Box inside{bounds.left, bounds.top, bounds.right, bounds.bottom};
    BoxIndex placed(inside, largest), anchors(inside, largest);
    std::vector<Box> boxes(labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        anchors.add({labels[i].x, labels[i].y, labels[i].x, labels[i].y}, static_cast<int>(i));
    }
    const auto free = [&](const Box& box) {
        return !placed.any(box, [&](int other) { return boxes[other].overlaps(box); });
    };
    std::vector<PlacedLabel> result(labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const LabelToPlace& label = labels[i];
        const Box onAnchor = boxAround(label.x, label.y, label);
        if (free(onAnchor)) {
            boxes[i] = onAnchor;
            placed.add(onAnchor, static_cast<int>(i));
            result[i] = {PlacedLabel::Where::kOnAnchor, label.x, label.y};
            continue;
        }
        result[i] = {PlacedLabel::Where::kLeftOut, label.x, label.y};
        const double stepX = label.width + kLeader, stepY = label.height + kLeader;
        for (const Place& place : placesAround()) {
            const double x = label.x + place.ring * stepX * place.cos,
                         y = label.y - place.ring * stepY * place.sin;
            const Box box = boxAround(x, y, label);
            const bool within = box.left >= inside.left && box.right <= inside.right &&
                                box.top >= inside.top && box.bottom <= inside.bottom;
            if (!within || !free(box)) continue;
            const bool coversAnchor = anchors.any(box, [&](int other) {
                return static_cast<std::size_t>(other) != i &&
                       box.contains(labels[other].x, labels[other].y);
            });
            if (coversAnchor) continue;
            boxes[i] = box;
            placed.add(box, static_cast<int>(i));
            result[i] = {PlacedLabel::Where::kMoved, x, y};
            break;
        }
    }
    return result;
}

}  // namespace voikit
