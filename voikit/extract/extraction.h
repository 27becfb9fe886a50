#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "voikit/extract/cell_mask.h"
#include "voikit/extract/cell_statistics.h"
#include "voikit/extract/regions.h"
#include "voikit/outputs/label_grid.h"

namespace voikit {

// How an image's millimetres are read: as its header says, or, where it says nothing
// usable, as `gridSpace` says; MNI through the chosen transform.
struct ExtractionSettings {
    std::optional<Space> gridSpace;
    MniToTal transform = MniToTal::kSpm;
    // Whether each VOI's first eigenvariate is worked out too (its cells' values are held
    // for the whole series).
    bool eigenvariates = false;
};

// The regions' cells on each grid met, worked out once however many images share the grid
// and however many threads ask at once.
class CellCache {
  public:
    // With a mask, the cells outside it are left out, their count before kept in `unmasked`.
    explicit CellCache(const Regions& regions, const CellMask* mask = nullptr)
        : regions_(regions), mask_(mask) {}
    const Regions& regions() const { return regions_; }
    // Throws Error when the regions cannot be put on the grid.
    std::shared_ptr<const VoiCells> cellsOn(const LabelGrid& grid);

  private:
    using Cells = std::shared_future<std::shared_ptr<const VoiCells>>;
    const Regions& regions_;
    const CellMask* mask_;
    std::mutex mutex_;
    std::vector<std::pair<LabelGrid, Cells>> grids_;
};

// Every VOI's statistics in every volume of one image.
struct ImageExtraction {
    std::string image;
    LabelGrid grid;
    std::int64_t volumes = 0;
    double timeStep = 0;  // the header's pixdim[4], in its time unit
    int timeUnit = 0;     // NIFTI_UNITS_SEC, _MSEC, _USEC, or 0 when not set
    std::shared_ptr<const VoiCells> cells;
    std::vector<CellStatistics> statistics;  // volume by volume, VOI by VOI within each
    // When asked: per VOI, its first eigenvariate over the volumes (empty without a cell
    // finite in every volume), and the cells it comes from (those finite in every volume).
    std::vector<std::vector<double>> eigenvariates;
    std::vector<std::int64_t> eigenvariateCells;

    std::size_t vois() const { return cells->cells.size(); }
    const CellStatistics& at(std::int64_t volume, std::size_t voi) const {
        return statistics[static_cast<std::size_t>(volume) * vois() + voi];
    }
};

// Reads the image volume by volume, holding one volume at a time, and takes the statistics
// of every VOI's cells in each. `volumeRead` is told after each volume. Throws Error naming
// the image and what is wrong.
ImageExtraction extractImage(const std::string& path, CellCache& cache,
                             const ExtractionSettings& settings,
                             const std::function<void()>& volumeRead = {});

// What the user should know of an extraction: VOIs wholly or partly off the image's field
// of view, VOIs without a finite value in some volumes, whose values are n/a there, and
// cells left out of eigenvariates for a value that is not finite.
std::vector<std::string> extractionWarnings(const ImageExtraction& extraction,
                                            const Regions& regions);

}  // namespace voikit
