// Numbers placed near their anchors without covering each other.
#include "voikit/picture/label_placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

using voikit::LabelBounds;
using voikit::LabelToPlace;
using voikit::PlacedLabel;

bool overlap(const LabelToPlace& a, const PlacedLabel& pa, const LabelToPlace& b,
             const PlacedLabel& pb) {
    return std::fabs(pa.x - pb.x) < (a.width + b.width) / 2 &&
           std::fabs(pa.y - pb.y) < (a.height + b.height) / 2;
}

using Where = PlacedLabel::Where;

// No two shown boxes overlap, a label is on its anchor exactly when it says so, a moved label
// covers no anchor but its own and stays in the bounds.
void expectLegible(const std::vector<LabelToPlace>& labels, const std::vector<PlacedLabel>& placed,
                   const LabelBounds& bounds) {
    ASSERT_EQ(placed.size(), labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const LabelToPlace& l = labels[i];
        const PlacedLabel& p = placed[i];
        if (p.where == Where::kLeftOut) continue;
        EXPECT_EQ(p.where == Where::kMoved, p.x != l.x || p.y != l.y) << i;
        for (std::size_t j = i + 1; j < labels.size(); ++j) {
            if (placed[j].where == Where::kLeftOut) continue;
            EXPECT_FALSE(overlap(l, p, labels[j], placed[j])) << i << " and " << j;
        }
        if (p.where != Where::kMoved) continue;
        EXPECT_GE(p.x - l.width / 2, bounds.left) << i;
        EXPECT_LE(p.x + l.width / 2, bounds.right) << i;
        EXPECT_GE(p.y - l.height / 2, bounds.top) << i;
        EXPECT_LE(p.y + l.height / 2, bounds.bottom) << i;
        for (std::size_t j = 0; j < labels.size(); ++j) {
            if (j == i) continue;
            const bool covers = std::fabs(labels[j].x - p.x) <= l.width / 2 &&
                                std::fabs(labels[j].y - p.y) <= l.height / 2;
            EXPECT_FALSE(covers) << i << " covers the anchor of " << j;
        }
    }
}

TEST(LabelPlacement, CasesNearAndFar) {
    const LabelBounds wide{0, 0, 400, 300};
    struct Case {
        const char* what;
        std::vector<LabelToPlace> labels;
        LabelBounds bounds;
        std::vector<Where> where;
    };
    constexpr Where kOn = Where::kOnAnchor, kMoved = Where::kMoved, kOut = Where::kLeftOut;
    const std::vector<Case> cases = {
        {"far apart: each on its anchor",
         {{50, 50, 12, 12}, {200, 50, 20, 12}, {50, 200, 12, 12}},
         wide,
         {kOn, kOn, kOn}},
        {"one anchor for two: the first stays, the second moves",
         {{100, 100, 12, 12}, {100, 100, 12, 12}},
         wide,
         {kOn, kMoved}},
        {"anchors two pixels apart, as the amygdalae seen from the side",
         {{100, 100, 20, 12}, {102, 101, 20, 12}},
         wide,
         {kOn, kMoved}},
        {"boxes that only touch are both on their anchors",
         {{100, 100, 12, 12}, {114, 100, 12, 12}},
         wide,
         {kOn, kOn}},
        {"in a corner the moved label goes inward",
         {{4, 4, 12, 12}, {5, 5, 12, 12}},
         wide,
         {kOn, kMoved}},
        {"with no room the label is left out",
         {{10, 10, 12, 12}, {10, 10, 12, 12}},
         LabelBounds{0, 0, 20, 20},
         {kOn, kOut}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<PlacedLabel> placed = voikit::placeLabels(c.labels, c.bounds);
        ASSERT_EQ(placed.size(), c.where.size());
        for (std::size_t i = 0; i < placed.size(); ++i) EXPECT_EQ(placed[i].where, c.where[i]) << i;
        expectLegible(c.labels, placed, c.bounds);
    }
}

TEST(LabelPlacement, AMovedLabelStaysNearItsAnchor) {
    const std::vector<LabelToPlace> labels = {{100, 100, 16, 12}, {101, 100, 16, 12}};
    const std::vector<PlacedLabel> placed = voikit::placeLabels(labels, {0, 0, 300, 300});
    ASSERT_EQ(placed[1].where, Where::kMoved);
    // The nearest ring: a label's size and the room for a leader line away.
    const double away = std::hypot(placed[1].x - 101, placed[1].y - 100);
    EXPECT_GT(away, 12);
    EXPECT_LT(away, 2 * (16 + 12));
}

TEST(LabelPlacement, SixtyCrowdedNumbersAllReadable) {
    // Sixty two-digit numbers with anchors crowded into a quarter of a panel, as sixty
    // spheres over one lobe are.
    std::mt19937 random(11);
    std::uniform_real_distribution<double> at(100, 220);
    std::vector<LabelToPlace> labels;
    labels.reserve(60);
    for (int i = 0; i < 60; ++i) labels.push_back({at(random), at(random), 20, 13});
    const LabelBounds bounds{0, 0, 480, 480};
    const std::vector<PlacedLabel> placed = voikit::placeLabels(labels, bounds);
    expectLegible(labels, placed, bounds);
    int moved = 0, leftOut = 0;
    for (const PlacedLabel& p : placed) {
        moved += p.where == Where::kMoved;
        leftOut += p.where == Where::kLeftOut;
    }
    EXPECT_GT(moved, 0);
    EXPECT_EQ(leftOut, 0);
}

}  // namespace
