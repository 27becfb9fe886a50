#include "tests/support/vois_in_memory.h"

#include "voikit/voxels/voi_passes.h"
#include "voikit/voxels/voxel_columns.h"
#include "voikit/voxels/voxel_runs.h"

namespace voikit {

LabelVolume fillLabels(const glomera::VoiFileContents& contents, const LabelGrid& grid,
                       const std::string& source) {
    const VoiRuns runs = runsOf(contents);
    FiguresPass figures;
    replay(runs, figures);
    LabelPass labels(source, grid, figures.statistics);
    replay(runs, labels);
    return labels.finish();
}

Anatomy describeAnatomy(const glomera::VoiFileContents& contents, const VoiStatistics& statistics,
                        const AnatomySettings& settings) {
    const VoiRuns runs = runsOf(contents);
    return AnatomyLookup(settings).describe(contents, groupByColumn(runs, statistics), statistics);
}

}  // namespace voikit
