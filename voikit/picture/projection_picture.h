#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/io/log.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/space/mni_image.h"
#include "voikit/voxels/voi_passes.h"
#include "voikit/voxels/voi_statistics.h"

namespace voikit {

// How the picture is drawn.
struct PictureSettings {
    bool radiological = false;  // the subject's right on the left of the coronal and axial views
    std::string brain;          // brain-extracted MNI template drawn under the VOIs; "" for none
    MniToTal transform = MniToTal::kSpm;  // to place the MNI template in TAL millimetres
    // The VOIs came from MNI coordinates taken to TAL with this transform: the axes are
    // labelled in MNI millimetres through it. None: TAL millimetres.
    std::optional<MniToTal> mniAxes;
    // Peaks of the input that made no VOI, one line each with why, listed under the legend.
    std::vector<std::string> notDrawn;
};

// One label of an axis: where it stands in the TAL millimetres the picture is drawn in, and
// what it reads.
struct AxisTick {
    double tal = 0;
    std::string text;
};

// The labels of a TAL axis (0 x, 1 y, 2 z) over [low, high] mm: every 20 TAL millimetres,
// or, with an MNI transform, every 20 MNI millimetres placed where the transform takes them
// on the line through the origin.
std::vector<AxisTick> axisTicks(int axis, int low, int high, std::optional<MniToTal> mni);

// The line above the views: the millimetres the axes are in, the brain drawn under the VOIs
// ("" for none) and how many numbers a view had no room for.
std::string pictureCaption(const PictureSettings& settings, bool brain, std::size_t leftOut);

// The lines under the legend naming the peaks not drawn: at most a few, the rest summed up,
// each cut to a length the picture holds.
std::vector<std::string> notDrawnLines(const std::vector<std::string>& notDrawn);

// The VOIs as each view shows them, gathered VOI by VOI; the VOIs' figures lay the views
// out.
class PicturePass : public RunVisitor {
  public:
    PicturePass(const VoiStatistics& figures, const PictureSettings& settings);
    ~PicturePass() override;
    PicturePass(const PicturePass&) = delete;
    PicturePass& operator=(const PicturePass&) = delete;
    void beginVoi(const glomera::VoiInfo& info) override;
    void runs(const VoxelRun* runs, std::size_t count) override;
    void endVoi() override;
    // Sums the template's brain under the views, for the glass brain: the picture's slow part,
    // which may go on beside the pass. Without it the picture has no brain.
    void placeBrain(const MniImage& brain, MniToTal transform);

    struct Views;
    const Views& views() const { return *views_; }
    const VoiStatistics& figures() const { return figures_; }

  private:
    const VoiStatistics& figures_;
    std::unique_ptr<Views> views_;
    int voi_ = -1;
};

// Three views of the VOIs in TAL millimetres: sagittal (seen from the left), coronal and
// axial, each over a faint projection of the template's brain with its outline (a glass
// brain), with each VOI in its legend's colour (darker shades of the same hue where it lies
// deeper) and its number at its centre, or beside it with a leader line where numbers would
// cover each other (left out, and said so, only where a crowd leaves no room), the accepted
// coordinate box, millimetre axes, L and R on the coronal and axial views, and a legend in
// columns. Written as PNG, SVG or PDF by the path's ending, whole or not at all.
// Throws Error on failure.
void writeProjectionPicture(const glomera::VoiFileContents& contents,
                            const VoiStatistics& statistics, const PictureSettings& settings,
                            const std::string& path);

// The same from the views gathered, the brain placed; `skeleton` gives the VOIs' names and colours.
void writeProjectionPicture(const PicturePass& pass, const glomera::VoiFileContents& skeleton,
                            const PictureSettings& settings, const std::string& path);

// How many VOIs the legend lists one by one (it fits at least 60, in columns); the rest it
// sums up in one line.
std::size_t legendEntries(std::size_t vois, const VoiStatistics& statistics,
                          const PictureSettings& settings);

}  // namespace voikit
