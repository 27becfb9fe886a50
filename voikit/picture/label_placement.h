#pragma once

#include <vector>

namespace voikit {

// A label to put near a point: its anchor and the size of its box, in pixels.
struct LabelToPlace {
    double x = 0, y = 0;
    double width = 0, height = 0;
};

// Where a label went: on its anchor, moved off it (and so wanting a leader line back to it),
// or left out for want of room; and the centre of its box.
struct PlacedLabel {
    enum class Where { kOnAnchor, kMoved, kLeftOut };
    Where where = Where::kOnAnchor;
    double x = 0, y = 0;
};

// The area labels stay in: left, top, right, bottom.
struct LabelBounds {
    double left, top, right, bottom;
};

// Places the labels in their order, the first ones first, so that no two boxes overlap: each
// on its anchor where that is free, else at the nearest free place around it (within a few
// label sizes, with room for a leader line), which covers no other label's anchor and stays
// in the bounds. A label with no free place within reach is left out: it could not be read.
// A coarse grid of the labels' places keeps it near linear in the number of labels.
std::vector<PlacedLabel> placeLabels(const std::vector<LabelToPlace>& labels,
                                     const LabelBounds& bounds);

}  // namespace voikit
