#pragma once

#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/voi_statistics.h"

namespace voikit {

// Renders three projections of the VOIs in Talairach millimetres (from the left, from the
// front, from above), each VOI in its colour with nearer voxels brighter, the accepted
// coordinate box outlined, millimetre axes and a legend, and writes them as a PNG.
// Throws Error on failure.
void writeProjectionPicture(const glomera::VoiFileContents& contents,
                            const VoiStatistics& statistics, const std::string& path);

// Where the picture shows the millimetre position `mm`: a pixel (column, row) in each of the
// three views, in the order above.
struct PicturePoint {
    int column;
    int row;
};
std::vector<PicturePoint> picturePoints(const VoiStatistics& statistics, const int mm[3]);

}  // namespace voikit
