#include "voikit/picture/label_placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

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

// Boxes by the cells of a coarse grid they touch, so that a box is checked only against its
// neighbours.
class BoxIndex {
  public:
    explicit BoxIndex(double cell) : cell_(cell) {}

    void add(const Box& box, int id) {
        forCells(box, [&](std::int64_t key) {
            cells_[key].push_back(id);
            return false;
        });
    }
    // Whether any id filed under the box's cells passes the test.
    template <typename Test>
    bool any(const Box& box, Test test) const {
        return forCells(box, [&](std::int64_t key) {
            const auto found = cells_.find(key);
            return found != cells_.end() &&
                   std::any_of(found->second.begin(), found->second.end(), test);
        });
    }

  private:
    template <typename Visit>
    bool forCells(const Box& box, Visit visit) const {
        const auto cell = [&](double v) {
            return static_cast<std::int64_t>(std::floor(v / cell_));
        };
        for (std::int64_t cx = cell(box.left); cx <= cell(box.right); ++cx) {
            for (std::int64_t cy = cell(box.top); cy <= cell(box.bottom); ++cy) {
                if (visit(cx * 1000003 + cy)) return true;
            }
        }
        return false;
    }

    double cell_;
    std::unordered_map<std::int64_t, std::vector<int>> cells_;
};

// The places around an anchor, nearest first: rings of label-sized steps with room for a
// leader line, starting each ring to the upper right and going round.
std::vector<std::pair<double, double>> placesAround(const LabelToPlace& label) {
    std::vector<std::pair<double, double>> places;
    const double stepX = label.width + kLeader, stepY = label.height + kLeader;
    for (int ring = 1; ring <= kRings; ++ring) {
        const int count = 8 * ring;
        for (int m = 0; m < count; ++m) {
            const double angle = kPi / 4 - 2 * kPi * m / count;
            places.emplace_back(label.x + ring * stepX * std::cos(angle),
                                label.y - ring * stepY * std::sin(angle));
        }
    }
    return places;
}

}  // namespace

std::vector<PlacedLabel> placeLabels(const std::vector<LabelToPlace>& labels,
                                     const LabelBounds& bounds) {
    double largest = 1;
    for (const LabelToPlace& label : labels) {
        largest = std::max({largest, label.width + kGap, label.height + kGap});
    }
    BoxIndex placed(largest), anchors(largest);
    std::vector<Box> boxes(labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        anchors.add({labels[i].x, labels[i].y, labels[i].x, labels[i].y}, static_cast<int>(i));
    }
    const Box inside{bounds.left, bounds.top, bounds.right, bounds.bottom};
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
        for (const auto& [x, y] : placesAround(label)) {
            const Box box = boxAround(x, y, label);
            const bool within = box.left >= inside.left && box.right <= inside.right &&
                                box.top >= inside.top && box.bottom <= inside.bottom;
            const bool coversAnchor = anchors.any(box, [&](int other) {
                return static_cast<std::size_t>(other) != i &&
                       box.contains(labels[other].x, labels[other].y);
            });
            if (within && !coversAnchor && free(box)) {
                boxes[i] = box;
                placed.add(box, static_cast<int>(i));
                result[i] = {PlacedLabel::Where::kMoved, x, y};
                break;
            }
        }
    }
    return result;
}

}  // namespace voikit
