#include "voikit/extract/cell_volumes.h"

#include <cstdio>

#include "voikit/io/error.h"
#include "voikit/io/text_output.h"

namespace voikit {

LabelVolume labelsOfCells(const VoiCells& cells, const LabelGrid& grid) {
    if (cells.cells.size() > kMaxLabels) {
        throw Error("more than " + std::to_string(kMaxLabels) + " VOIs do not fit 16-bit labels");
    }
    LabelVolume volume;
    volume.grid = grid;
    volume.labels.assign(static_cast<std::size_t>(grid.cells()), 0);
    volume.outside = cells.outside;
    volume.labelled.assign(cells.cells.size(), 0);
    for (std::size_t v = 0; v < cells.cells.size(); ++v) {
        for (const std::int64_t cell : cells.cells[v]) {
            std::int16_t& label = volume.labels[static_cast<std::size_t>(cell)];
            if (label != 0) {
                --volume.labelled[static_cast<std::size_t>(label - 1)];
                ++volume.overwritten;
            }
            label = static_cast<std::int16_t>(v + 1);
            ++volume.labelled[v];
        }
    }
    return volume;
}

void writeVoiMasks(const std::string& path, const std::vector<glomera::VoiInfo>& vois,
                   const VoiCells& cells, const LabelGrid& grid, const Provenance* provenance) {
    constexpr std::int64_t kMostBytes = std::int64_t{1} << 31;
    const std::int64_t volumes = static_cast<std::int64_t>(vois.size());
    if (volumes == 0) throw Error("no VOI to write into " + path);
    if (grid.cells() > kMostBytes / volumes) {
        throw Error(path + ": " + std::to_string(volumes) + " masks of " +
                    std::to_string(grid.cells()) + " cells would pass 2 GB");
    }
    std::vector<std::uint8_t> masks(static_cast<std::size_t>(grid.cells() * volumes), 0);
    std::string table = "volume\tindex\tname\tr\tg\tb\tcells\toutside\n";
    for (std::size_t v = 0; v < vois.size(); ++v) {
        std::uint8_t* mask = masks.data() + v * static_cast<std::size_t>(grid.cells());
        for (const std::int64_t cell : cells.cells[v]) mask[cell] = 1;
        const glomera::VoiInfo& info = vois[v];
        table += std::to_string(v) + "\t" + std::to_string(v + 1) + "\t" + info.name + "\t" +
                 std::to_string(info.color[0]) + "\t" + std::to_string(info.color[1]) + "\t" +
                 std::to_string(info.color[2]) + "\t" + std::to_string(cells.cells[v].size()) +
                 "\t" + std::to_string(cells.outside[v]) + "\n";
    }
    char description[80];
    std::snprintf(description, sizeof description, "Glomera VOIs, one mask per volume, %zu",
                  vois.size());
    GridVolumeFile file(path, grid, NIFTI_TYPE_UINT8, volumes, masks.data(), NIFTI_INTENT_NONE, 1,
                        description, provenance);
    const std::string tablePath = labelTablePath(path);
    writeTextOutput(tablePath, table);
    try {
        file.commit();
    } catch (const Error&) {
        std::remove(tablePath.c_str());
        throw;
    }
}

}  // namespace voikit
