#include "voikit/outputs.h"

#include <fstream>
#include <numeric>
#include <optional>

#include "voi/voi_reader.h"
#include "voikit/anatomy.h"
#include "voikit/error.h"
#include "voikit/label_volume.h"
#include "voikit/projection_picture.h"
#include "voikit/text_output.h"
#include "voikit/voi_report.h"
#include "voikit/voi_statistics.h"

namespace voikit {
namespace {

using glomera::VoiFileContents;

constexpr int kGridMargin = 5;

void makeNifti(const std::string& voiPath, const VoiFileContents& contents,
               const VoiStatistics& statistics, const OutputRequest& request, const Log& log) {
    const LabelGrid grid = request.grid.empty()
                               ? defaultGrid(statistics, kGridMargin)
                               : gridOfImage(request.grid, request.gridSpace, request.transform);
    const LabelVolume volume = fillLabels(contents, grid);
    const std::string table = writeLabelVolume(request.nifti, contents, volume);
    log.tell("wrote " + request.nifti + " (" + std::to_string(grid.dims[0]) + " x " +
             std::to_string(grid.dims[1]) + " x " + std::to_string(grid.dims[2]) + ", " +
             (request.grid.empty() ? "1 mm" : request.grid) + " grid) and " + table + " from " +
             voiPath);
    const long long outside = std::accumulate(volume.outside.begin(), volume.outside.end(), 0LL);
    if (outside > 0) {
        std::string warning =
            std::to_string(outside) + " VOI voxels fall outside the grid of " + request.grid + ":";
        for (std::size_t i = 0; i < volume.outside.size(); ++i) {
            if (volume.outside[i] > 0) {
                warning += "\n  " + std::to_string(i + 1) + " " + contents.vois[i].info.name +
                           ": " + std::to_string(volume.outside[i]) + " of " +
                           std::to_string(contents.vois[i].info.voxelCount);
            }
        }
        log.warn(warning);
    }
    if (volume.overwritten > 0) {
        log.warn("VOIs overlap: " + std::to_string(volume.overwritten) +
                 " shared voxels went to the later VOI (see the report for the pairs)");
    }
}

}  // namespace

void makeOutputs(const std::string& voiPath, const OutputRequest& request, const Log& log) {
    VoiFileContents contents;
    try {
        contents = glomera::loadVoiFile(voiPath);
    } catch (const glomera::VoiReadError& error) {
        throw Error(voiPath + ": " + error.what());
    }
    const VoiStatistics statistics = computeStatistics(contents);
    if (!request.nifti.empty()) makeNifti(voiPath, contents, statistics, request, log);
    if (request.picture()) {
        PictureSettings picture;
        picture.radiological = request.radiological;
        picture.transform = request.transform;
        picture.brain = request.brain.empty() ? defaultBrain() : request.brain;
        if (request.brain.empty() && !std::ifstream(picture.brain)) {
            log.warn("no brain in the picture: " + picture.brain +
                     " is missing (install mricron-data)");
            picture.brain.clear();
        }
        for (const std::string* path : {&request.png, &request.svg, &request.pdf}) {
            if (path->empty()) continue;
            writeProjectionPicture(contents, statistics, picture, *path);
            log.tell("wrote " + *path);
        }
    }
    std::optional<Anatomy> anatomy;
    if (request.anatomy && (!request.report.empty() || !request.reportJson.empty())) {
        AnatomySettings settings;
        settings.atlases = request.atlases;
        settings.brain = request.brain;
        settings.transform = request.transform;
        anatomy = describeAnatomy(contents, statistics, settings);
        for (const std::string& note : anatomy->notes) log.warn(note);
        for (std::size_t i = 0; i < anatomy->vois.size(); ++i) {
            if (!anatomy->vois[i].warning.empty()) {
                log.warn("VOI " + std::to_string(i + 1) + " " + contents.vois[i].info.name + ": " +
                         anatomy->vois[i].warning);
            }
        }
    }
    const Anatomy* where = anatomy ? &*anatomy : nullptr;
    if (!request.report.empty()) {
        writeTextOutput(request.report, reportText(voiPath, contents, statistics, where));
    }
    if (!request.reportJson.empty()) {
        writeTextOutput(request.reportJson, reportJson(voiPath, contents, statistics, where));
    }
    if (!request.report.empty() && request.report != "-") log.tell("wrote " + request.report);
}

}  // namespace voikit
