#include "headless-host/voi_exports.h"

#include <numeric>

#include "headless-host/label_volume.h"
#include "headless-host/projection_picture.h"
#include "headless-host/text_output.h"
#include "headless-host/voi_file_reader.h"
#include "headless-host/voi_report.h"
#include "headless-host/voi_statistics.h"

namespace headless {
namespace {

constexpr int kGridMargin = 5;

bool exportNifti(const std::string& voiPath, const VoiFileContents& contents,
                 const VoiStatistics& statistics, const ExportOptions& options, std::FILE* log,
                 std::string& error) {
    LabelGrid grid;
    const bool gridOk = options.grid.empty() ? defaultGrid(statistics, kGridMargin, grid, error)
                                             : gridOfImage(options.grid, grid, error);
    LabelVolume volume;
    std::string table;
    if (!gridOk || !fillLabels(contents, grid, volume, error) ||
        !writeLabelVolume(options.nifti, contents, volume, table, error)) {
        return false;
    }
    if (log) {
        std::fprintf(log, "HelmoraZT: wrote %s (%lld x %lld x %lld, %s grid) and %s from %s\n",
                     options.nifti.c_str(), static_cast<long long>(grid.dims[0]),
                     static_cast<long long>(grid.dims[1]), static_cast<long long>(grid.dims[2]),
                     options.grid.empty() ? "1 mm" : options.grid.c_str(), table.c_str(),
                     voiPath.c_str());
    }
    const long long outside = std::accumulate(volume.outside.begin(), volume.outside.end(), 0LL);
    if (outside > 0) {
        std::fprintf(stderr, "HelmoraZT: %lld VOI voxels fall outside the grid of %s:\n", outside,
                     options.grid.c_str());
        for (std::size_t i = 0; i < volume.outside.size(); ++i) {
            if (volume.outside[i] > 0) {
                std::fprintf(
                    stderr, "  %zu %s: %lld of %d\n", i + 1, contents.vois[i].info.name.c_str(),
                    static_cast<long long>(volume.outside[i]), contents.vois[i].info.voxelCount);
            }
        }
    }
    if (volume.overwritten > 0) {
        std::fprintf(stderr,
                     "HelmoraZT: VOIs overlap: %lld labelled cells went to the later VOI "
                     "(see the report for the pairs)\n",
                     static_cast<long long>(volume.overwritten));
    }
    return true;
}

}  // namespace

bool exportVoiFile(const std::string& voiPath, const ExportOptions& options, std::FILE* log,
                   std::string& error) {
    VoiFileContents contents;
    VoiStatistics statistics;
    if (!loadVoiFile(voiPath, contents, error)) {
        error = voiPath + ": " + error;
        return false;
    }
    if (!computeStatistics(contents, statistics, error)) return false;
    if (!options.nifti.empty() &&
        !exportNifti(voiPath, contents, statistics, options, log, error)) {
        return false;
    }
    if (!options.png.empty()) {
        if (!writeProjectionPicture(contents, statistics, options.png, error)) return false;
        if (log) std::fprintf(log, "HelmoraZT: wrote %s\n", options.png.c_str());
    }
    if (!options.report.empty() &&
        !writeTextOutput(options.report, reportText(voiPath, contents, statistics), error)) {
        return false;
    }
    if (!options.reportJson.empty() &&
        !writeTextOutput(options.reportJson, reportJson(voiPath, contents, statistics), error)) {
        return false;
    }
    if (log && !options.report.empty() && options.report != "-") {
        std::fprintf(log, "HelmoraZT: wrote %s\n", options.report.c_str());
    }
    return true;
}

}  // namespace headless
