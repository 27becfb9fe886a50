#include "voikit/extract/extraction.h"

#include <cmath>
#include <optional>

#include "voikit/extract/image_series.h"
#include "voikit/io/word_list.h"
#include "voikit/signal/eigenvariate.h"

namespace voikit {
namespace {

bool sameGrid(const LabelGrid& a, const LabelGrid& b) {
    for (int r = 0; r < 3; ++r) {
        if (a.dims[r] != b.dims[r]) return false;
        for (int c = 0; c < 4; ++c) {
            if (a.affine[r][c] != b.affine[r][c]) return false;
        }
    }
    return a.space == b.space && a.transform == b.transform;
}

// "3 Amygdala_L, 5 Insula_R" for the VOIs listed, the first few of them and a count.
std::string listed(const std::vector<std::size_t>& vois, const Regions& regions) {
    constexpr std::size_t kShown = 10;
    std::string text;
    for (std::size_t n = 0; n < vois.size() && n < kShown; ++n) {
        text += (n > 0 ? ", " : "") + std::to_string(vois[n] + 1) + " " + regions.names()[vois[n]];
    }
    if (vois.size() > kShown) text += " and " + std::to_string(vois.size() - kShown) + " more";
    return text;
}

}  // namespace

std::shared_ptr<const VoiCells> CellCache::cellsOn(const LabelGrid& grid) {
    std::promise<std::shared_ptr<const VoiCells>> promise;
    Cells cells;
    bool first = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [known, found] : grids_) {
            if (sameGrid(known, grid)) cells = found;
        }
        if (!cells.valid()) {
            first = true;
            cells = promise.get_future().share();
            grids_.emplace_back(grid, cells);
        }
    }
    // The first to ask works them out; others asking for the same grid wait for it.
    if (first) {
        try {
            VoiCells found = regions_.cellsOn(grid);
            if (mask_ != nullptr) {
                for (auto& cells : found.cells) {
                    found.unmasked.push_back(static_cast<std::int64_t>(cells.size()));
                    cells = mask_->inside(grid, cells);
                }
            }
            promise.set_value(std::make_shared<const VoiCells>(std::move(found)));
        } catch (...) {
            promise.set_exception(std::current_exception());
        }
    }
    return cells.get();
}

namespace {

// Each VOI's cells' values over the whole series, as stored, for its eigenvariate.
template <typename Stored>
class HeldValues {
  public:
    HeldValues(const VoiCells& cells, std::int64_t volumes) : cells_(cells) {
        for (const auto& voi : cells.cells) {
            values_.emplace_back();
            values_.back().reserve(voi.size() * static_cast<std::size_t>(volumes));
        }
    }
    void take(const ImageSeries& series) {
        for (std::size_t v = 0; v < values_.size(); ++v) {
            const auto& voi = cells_.cells[v];
            const std::size_t at = values_[v].size();
            values_[v].resize(at + voi.size());
            series.storedValues(voi.data(), voi.size(), values_[v].data() + at);
        }
    }
    // The eigenvariates, each VOI's values let go as soon as it has its own.
    void finish(const ImageSeries& series, std::int64_t volumes, ImageExtraction& out) {
        const auto t = static_cast<std::size_t>(volumes);
        for (std::size_t v = 0; v < values_.size(); ++v) {
            std::vector<Stored>& values = values_[v];
            const std::size_t cells = cells_.cells[v].size();
            // Cells with a value that is not finite in some volume are left out.
            std::vector<bool> finite(cells, true);
            for (std::size_t n = 0; n < values.size(); ++n) {
                if (!std::isfinite(static_cast<double>(values[n]))) finite[n % cells] = false;
            }
            std::size_t kept = 0;
            for (std::size_t c = 0; c < cells; ++c) kept += finite[c] ? 1 : 0;
            if (kept < cells) {
                std::size_t to = 0;
                for (std::size_t n = 0; n < values.size(); ++n) {
                    if (finite[n % cells]) values[to++] = values[n];
                }
                values.resize(to);
            }
            VoxelSeries<Stored> voxels{values.data(), kept > 0 ? t : 0, kept, series.slope(),
                                       series.intercept()};
            out.eigenvariates.push_back(firstEigenvariate(voxels));
            out.eigenvariateCells.push_back(static_cast<std::int64_t>(kept));
            std::vector<Stored>().swap(values);
        }
    }

  private:
    const VoiCells& cells_;
    std::vector<std::vector<Stored>> values_;
};

template <typename Stored>
void readVolumes(ImageSeries& series, ImageExtraction& out, bool eigenvariates,
                 const std::function<void()>& volumeRead) {
    const std::vector<std::vector<std::int64_t>>& cells = out.cells->cells;
    std::size_t most = 0;
    for (const auto& voi : cells) most = std::max(most, voi.size());
    std::vector<double> values(most);
    std::optional<HeldValues<Stored>> held;
    if (eigenvariates) held.emplace(*out.cells, out.volumes);
    out.statistics.reserve(static_cast<std::size_t>(out.volumes) * cells.size());
    for (std::int64_t volume = 0; volume < out.volumes; ++volume) {
        series.readVolume();
        for (const auto& voi : cells) {
            series.values(voi.data(), voi.size(), values.data());
            out.statistics.push_back(statisticsOf(values.data(), voi.size()));
        }
        if (held) held->take(series);
        if (volumeRead) volumeRead();
    }
    if (held) held->finish(series, out.volumes, out);
}

}  // namespace

ImageExtraction extractImage(const std::string& path, CellCache& cache,
                             const ExtractionSettings& settings,
                             const std::function<void()>& volumeRead) {
    ImageSeries series(path);
    ImageExtraction out;
    out.image = path;
    out.grid = gridOfHeader(path, series.header(), settings.gridSpace, settings.transform);
    out.cells = cache.cellsOn(out.grid);
    out.volumes = series.volumes();
    out.timeStep = series.header().dt;
    out.timeUnit = series.header().time_units;
    // Held as floats where a float holds every stored value exactly: half the memory.
    if (series.storedInFloat()) {
        readVolumes<float>(series, out, settings.eigenvariates, volumeRead);
    } else {
        readVolumes<double>(series, out, settings.eigenvariates, volumeRead);
    }
    return out;
}

std::vector<std::string> extractionWarnings(const ImageExtraction& extraction,
                                            const Regions& regions) {
    std::vector<std::string> warnings;
    const VoiCells& cells = *extraction.cells;
    std::vector<std::size_t> off, partly, unfinite;
    for (std::size_t v = 0; v < cells.cells.size(); ++v) {
        if (cells.cells[v].empty()) {
            off.push_back(v);
            continue;
        }
        if (cells.outside[v] > 0) partly.push_back(v);
        for (std::int64_t volume = 0; volume < extraction.volumes; ++volume) {
            if (extraction.at(volume, v).count == 0) {
                unfinite.push_back(v);
                break;
            }
        }
    }
    const std::string& image = extraction.image;
    if (!off.empty()) {
        warnings.push_back(image + ": " +
                           (off.size() == cells.cells.size()
                                ? std::string("the image's grid misses every VOI")
                                : std::to_string(off.size()) + " of " +
                                      counted(static_cast<long long>(cells.cells.size()), "VOI") +
                                      (off.size() == 1 ? " has" : " have") +
                                      " no cell in the image's field of view") +
                           " (values n/a): " + listed(off, regions));
    }
    if (!partly.empty()) {
        const bool one = partly.size() == 1;
        std::string text = image + ": " + counted(static_cast<long long>(partly.size()), "VOI") +
                           (one ? " lies" : " lie") +
                           " partly outside the image's field of view; " + (one ? "its" : "their") +
                           " values come from the cells inside:";
        for (std::size_t v : partly) {
            text += "\n  " + std::to_string(v + 1) + " " + regions.names()[v] + ": " +
                    counted(cells.outside[v], regions.outsideUnit()) + " outside";
        }
        warnings.push_back(text);
    }
    std::vector<std::size_t> thinned;
    for (std::size_t v = 0; v < extraction.eigenvariateCells.size(); ++v) {
        if (extraction.eigenvariateCells[v] < static_cast<std::int64_t>(cells.cells[v].size())) {
            thinned.push_back(v);
        }
    }
    if (!thinned.empty()) {
        std::string text = image +
                           ": cells with a value that is not finite in some volume are "
                           "left out of the eigenvariate:";
        for (std::size_t v : thinned) {
            text += "\n  " + std::to_string(v + 1) + " " + regions.names()[v] + ": " +
                    std::to_string(extraction.eigenvariateCells[v]) + " of " +
                    counted(static_cast<long long>(cells.cells[v].size()), "cell") + " used";
        }
        warnings.push_back(text);
    }
    if (!unfinite.empty()) {
        std::string text = image +
                           ": no finite value (NaN or infinite in every cell) in some "
                           "volumes, values n/a there:";
        for (std::size_t v : unfinite) {
            std::int64_t volumes = 0;
            for (std::int64_t volume = 0; volume < extraction.volumes; ++volume) {
                volumes += extraction.at(volume, v).count == 0 ? 1 : 0;
            }
            text += "\n  " + std::to_string(v + 1) + " " + regions.names()[v] + ": " +
                    std::to_string(volumes) + " of " + counted(extraction.volumes, "volume");
        }
        warnings.push_back(text);
    }
    return warnings;
}

}  // namespace voikit
