#include "voikit/outputs/outputs.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <system_error>

#include "voi/voi_reader.h"
#include "voikit/anatomy/anatomy.h"
#include "voikit/io/error.h"
#include "voikit/io/text_output.h"
#include "voikit/io/word_list.h"
#include "voikit/outputs/label_volume.h"
#include "voikit/outputs/voi_report.h"
#include "voikit/page/view_page.h"
#include "voikit/picture/projection_picture.h"
#include "voikit/voxels/voi_passes.h"
#include "voikit/voxels/voi_statistics.h"
#include "voikit/voxels/voxel_columns.h"
#include "voikit/voxels/voxel_runs.h"

namespace voikit {
namespace {

using glomera::VoiFileContents;

constexpr int kGridMargin = 5;

// Warns of VOI voxels whose nearest cell is off the grid, VOI by VOI.
void warnOfVoxelsOffTheGrid(const LabelVolume& volume, const VoiFileContents& contents,
                            const std::string& gridName, const Log& log) {
    const long long outside = std::accumulate(volume.outside.begin(), volume.outside.end(), 0LL);
    if (outside == 0) return;
    std::string warning =
        fmt::format("{} VOI voxels fall outside the grid of {}:", outside, gridName);
    for (std::size_t i = 0; i < volume.outside.size(); ++i) {
        if (volume.outside[i] > 0) {
            fmt::format_to(std::back_inserter(warning), "\n  {} {}: {} of {}", i + 1,
                           contents.vois[i].info.name, volume.outside[i],
                           contents.vois[i].info.voxelCount);
        }
    }
    log.warn(warning);
}

void writeNifti(const std::string& voiPath, const VoiFileContents& contents,
                const LabelVolume& volume, const OutputRequest& request,
                const Provenance& provenance, const Log& log) {
    const LabelGrid& grid = volume.grid;
    writeLabelVolume(request.nifti, contents, volume, &provenance);
    std::vector<std::string> written = labelTableFiles(request.nifti).all();
    written.insert(written.begin(), fmt::format("{} ({} x {} x {}, {} grid)", request.nifti,
                                                grid.dims[0], grid.dims[1], grid.dims[2],
                                                request.grid.empty() ? "1 mm" : request.grid));
    log.tell("wrote " + listedInWords(written) + " from " + voiPath);
    warnOfVoxelsOffTheGrid(volume, contents, request.grid, log);
    if (volume.overwritten > 0) {
        log.warn(fmt::format(
            "VOIs overlap: {} shared voxels went to the later VOI (see the report for the pairs)",
            volume.overwritten));
    }
}

PictureSettings pictureSettings(const OutputRequest& request, const Log& log) {
    PictureSettings picture;
    picture.radiological = request.radiological;
    picture.transform = request.transform;
    picture.brain = request.brain.empty() ? defaultBrain() : request.brain;
    if (request.brain.empty() && !std::ifstream(picture.brain)) {
        log.warn("no brain in the picture: " + picture.brain +
                 " is missing (install mricron-data)");
        picture.brain.clear();
    }
    return picture;
}

AnatomySettings anatomySettings(const OutputRequest& request) {
    AnatomySettings settings;
    settings.atlases = request.atlases;
    settings.brain = request.brain;
    settings.transform = request.transform;
    settings.sideRule = request.sideRule;
    return settings;
}

// Warns of the notes and of the VOIs that lie outside the brain or on the other side from
// their names: each is in the report, and standard error names the first few and counts the
// rest.
void warnOfAnatomy(const Anatomy& anatomy, const VoiFileContents& skeleton, const Log& log) {
    for (const std::string& note : anatomy.notes) log.warn(note);
    constexpr std::size_t kWarningsShown = 20;
    std::size_t warned = 0;
    for (std::size_t i = 0; i < anatomy.vois.size(); ++i) {
        for (const std::string& warning : anatomy.vois[i].warnings) {
            if (++warned <= kWarningsShown) {
                log.warn(fmt::format("VOI {} {}: {}", i + 1, skeleton.vois[i].info.name, warning));
            }
        }
    }
    if (warned > kWarningsShown) {
        log.warn(fmt::format("... and {} more warnings of VOIs: see the report",
                             warned - kWarningsShown));
    }
}

void addIfThere(std::vector<InputFile>& inputs, const std::string& role, const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error))
        inputs.push_back(checksummedFile(role, path));
}

// What the outputs say made them: the command, the transform and the files it reads, each
// image and label text with its checksum. Default atlases and a template that are not
// installed are left out, as the outputs leave them out; the .voi file, which may be
// hundreds of MB, is named with its size.
Provenance provenanceOf(const std::string& voiPath, const OutputRequest& request) {
    const bool reports = !request.report.empty() || !request.reportJson.empty();
    Provenance provenance{request.invocation, request.transform, {}, {}};
    provenance.inputs.push_back(sizedFile("VOI file", voiPath));
    if (!request.nifti.empty() && !request.grid.empty()) {
        provenance.inputs.push_back(checksummedFile("grid image", request.grid));
    }
    if (reports && request.anatomy) {
        for (const std::string& choice : request.atlases) {
            const AtlasFiles files = Atlas::files(choice);
            addIfThere(provenance.inputs, "atlas " + files.title + " image", files.image);
            if (!files.labels.empty()) {
                addIfThere(provenance.inputs, "atlas " + files.title + " labels", files.labels);
            }
        }
    }
    if ((reports && request.anatomy) || request.picture()) {
        addIfThere(provenance.inputs, "brain template",
                   request.brain.empty() ? defaultBrain() : request.brain);
    }
    return provenance;
}

// What the reports and the page say beyond each VOI's figures.
struct ReportFindings {
    VoiStatistics statistics;  // with the overlaps
    std::optional<Anatomy> anatomy;
};

// The MNI template the page shows; checked before any output is written.
std::string pageTemplate(const OutputRequest& request) {
    std::string path = request.brain.empty() ? defaultBrain() : request.brain;
    if (!std::ifstream(path)) {
        throw Error("the page shows the VOIs over the MNI template " + path + ", which is missing" +
                    (request.brain.empty() ? " (install mricron-data)" : ""));
    }
    return path;
}

void writePage(const std::string& voiPath, const VoiFileContents& skeleton,
               const ReportFindings& found, const AnatomyLookup* where, const LabelVolume& labels,
               const std::string& templatePath, const OutputRequest& request,
               const std::string& inputSpace, const Log& log) {
    warnOfVoxelsOffTheGrid(labels, skeleton, templatePath, log);
    ViewPageContents contents;
    contents.source = voiPath;
    contents.vois = &skeleton;
    contents.statistics = &found.statistics;
    contents.anatomy = found.anatomy ? &*found.anatomy : nullptr;
    if (where) {
        for (const auto& atlas : where->atlases()) contents.atlases.push_back(atlas.get());
    }
    contents.templatePath = templatePath;
    contents.labels = labelVolumeBytes(skeleton, labels);
    contents.transform = request.transform;
    contents.radiological = request.radiological;
    contents.preface = request.htmlPreface;
    contents.title = request.htmlTitle;
    contents.inputSpace = inputSpace;
    const std::string page = viewPage(contents);
    writeTextOutput(request.html, page);
    if (request.html == "-") return;
    log.tell(
        fmt::format("wrote {} ({:.1f} MB)", request.html, static_cast<double>(page.size()) / 1e6));
}

}  // namespace

void checkOutputsDistinct(const OutputRequest& request) {
    std::vector<std::pair<std::string, std::string>> named = {{request.png, "--png"},
                                                              {request.svg, "--svg"},
                                                              {request.pdf, "--pdf"},
                                                              {request.report, "--report"},
                                                              {request.reportJson, "--report-json"},
                                                              {request.html, "--html"}};
    if (!request.nifti.empty()) {
        const LabelTableFiles tables = labelTableFiles(request.nifti);
        named.insert(named.end(), {{request.nifti, "--nifti"},
                                   {tables.table, "the label table of --nifti"},
                                   {tables.sidecar, "the label table's JSON sidecar of --nifti"},
                                   {tables.colourLut, "the colour table of --nifti"},
                                   {tables.workbench, "the Workbench label list of --nifti"}});
    }
    std::map<std::filesystem::path, std::string> seen;
    for (const auto& [path, what] : named) {
        if (path.empty() || path == "-") continue;
        const std::filesystem::path file = std::filesystem::absolute(path).lexically_normal();
        const auto [earlier, fresh] = seen.emplace(file, what);
        if (!fresh) {
            std::string why = path;
            why += " is asked for twice: as " + earlier->second;
            why += " and as " + what + "; give them different names";
            throw Error(why);
        }
    }
}

// One reading of the file, held as runs of voxels along z. The label volume and the picture
// are made VOI by VOI in one sweep, after the figures that lay them out; the reports' overlaps
// and anatomy go column by column. The slow parts that do not depend on each other run side
// by side: the atlases and the template load while the file is read, and the reports' findings and
// the picture's brain are worked out while the sweep goes on and the volume is written. Messages
// come in the same order whatever finishes first.
std::optional<InputSpaceRecord> voiInputSpace(const std::string& voiPath, const Log& log,
                                              bool mention) {
    InputSpaceReading reading = readInputSpaceRecord(voiPath);
    if (!reading.record) {
        std::error_code error;
        if (std::filesystem::exists(inputSpaceRecordPath(voiPath), error)) {
            log.warn(reading.why);
        } else if (mention) {
            log.tell(reading.why);
        }
    }
    return std::move(reading.record);
}

Methods methodsOf(const OutputRequest& request, const Anatomy* anatomy,
                  const std::optional<InputSpaceRecord>& input, const VoiStatistics* statistics) {
    MethodsChoices choices{
        request.transform, request.atlases, request.anatomy, request.brain, {}, input, {}};
    if (statistics) {
        for (const VoiStatistics::Voi& voi : statistics->vois) {
            choices.voxelCounts.push_back(voi.voxels);
        }
    }
    if (!request.anatomy) return methodsFor(choices);
    for (const std::string& choice : request.atlases) {
        const std::string title = Atlas::files(choice).title;
        const bool mirrored =
            anatomy ? std::any_of(anatomy->atlasSides.begin(), anatomy->atlasSides.end(),
                                  [&](const AtlasSidesFound& found) {
                                      return found.atlas == title && !found.xAxisCorrection.empty();
                                  })
                    : !Atlas::xAxisCorrectionOf(choice).empty();
        if (mirrored) choices.xAxisCorrected.push_back(choice);
    }
    return methodsFor(choices);
}

void pictureInInputSpace(PictureSettings& picture, const std::optional<InputSpaceRecord>& input) {
    if (!input) return;
    // Axes in MNI only where every VOI was given in MNI; mixed input keeps TAL.
    if (input->space == Space::kMni) picture.mniAxes = input->transform;
    for (const DroppedPeak& peak : input->dropped) {
        picture.notDrawn.push_back((peak.name.empty() ? "" : peak.name + ", ") + "line " +
                                   std::to_string(peak.line) + ": " + peak.reason);
    }
}

void makeOutputs(const std::string& voiPath, const OutputRequest& request, const Log& log) {
    checkOutputsDistinct(request);
    const bool reports = !request.report.empty() || !request.reportJson.empty();
    const bool page = !request.html.empty();
    const std::optional<InputSpaceRecord> input = voiInputSpace(voiPath, log, request.methods);
    const std::string templatePath = page ? pageTemplate(request) : "";
    // The checksums are taken while the file is read.
    std::future<Provenance> provenance;
    if (reports || !request.nifti.empty()) {
        provenance = std::async(std::launch::async, [&voiPath, &request, &input] {
            Provenance made = provenanceOf(voiPath, request);
            made.inputSpace = inputSpaceWords(input);
            return made;
        });
    }
    // Shared: the reports' findings use the atlases as soon as they are loaded, and the
    // page shows them.
    std::shared_future<std::shared_ptr<const AnatomyLookup>> atlases;
    if ((reports || page) && request.anatomy) {
        atlases = std::async(std::launch::async, [settings = anatomySettings(request)] {
                      return std::shared_ptr<const AnatomyLookup>(
                          std::make_shared<AnatomyLookup>(settings));
                  }).share();
    }
    PictureSettings picture = pictureSettings(request, log);
    pictureInInputSpace(picture, input);
    std::future<std::unique_ptr<MniImage>> brainImage;
    if (request.picture() && !picture.brain.empty()) {
        brainImage = std::async(std::launch::async, [path = picture.brain] {
            return std::make_unique<MniImage>(path);
        });
    }
    const VoiRuns runs = readVoiRuns(voiPath, log);
    FiguresPass figures;
    replay(runs, figures);
    const VoiStatistics& statistics = figures.statistics;
    const VoiFileContents& skeleton = runs.skeleton;

    std::vector<RunVisitor*> passes;
    std::optional<LabelPass> labels;
    if (!request.nifti.empty()) {
        const LabelGrid grid =
            request.grid.empty()
                ? defaultGrid(voiPath, statistics, kGridMargin)
                : gridNamedOrOfImage(request.grid, request.gridSpace, request.transform);
        passes.push_back(&labels.emplace(voiPath, grid, statistics));
    }
    std::optional<LabelPass> pageLabels;
    if (page) {
        passes.push_back(&pageLabels.emplace(
            voiPath, mniTemplateGrid(templatePath, request.transform), statistics));
    }
    std::optional<PicturePass> views;
    std::future<void> brain;
    if (request.picture()) {
        passes.push_back(&views.emplace(statistics, picture));
        if (brainImage.valid()) {
            // What the task uses by reference is declared above it, so it outlives the task.
            brain = std::async(std::launch::async,
                               [&views, &brainImage, transform = picture.transform] {
                                   views->placeBrain(*brainImage.get(), transform);
                               });
        }
    }
    // The reports' findings go column by column beside the sweep below: the overlaps at
    // once, the atlas lookups once the atlases are loaded, the two side by side.
    std::future<ReportFindings> findings;
    if (reports || page) {
        findings = std::async(std::launch::async, [&runs, &statistics, atlases] {
            ReportFindings found{statistics, std::nullopt};
            const VoxelColumns columns = groupByColumn(runs, statistics);
            std::future<Anatomy> anatomy;
            if (atlases.valid()) {
                anatomy = std::async(std::launch::async, [&runs, &columns, &statistics, atlases] {
                    return atlases.get()->describe(runs.skeleton, columns, statistics);
                });
            }
            countOverlaps(columns, runs.vois(), found.statistics);
            if (anatomy.valid()) found.anatomy = anatomy.get();
            return found;
        });
    }
    if (!passes.empty()) {
        FanOut all(passes);
        replay(runs, all);
    }
    // An atlas that cannot be read stops every output before any is written.
    const std::shared_ptr<const AnatomyLookup> where = atlases.valid() ? atlases.get() : nullptr;
    const Provenance made = provenance.valid() ? provenance.get() : Provenance{};
    if (labels) writeNifti(voiPath, skeleton, labels->finish(), request, made, log);
    if (views) {
        if (brain.valid()) brain.get();
        for (const std::string* path : {&request.png, &request.svg, &request.pdf}) {
            if (path->empty()) continue;
            writeProjectionPicture(*views, skeleton, picture, *path);
            log.tell("wrote " + *path);
        }
    }
    if (!reports && !page) return;
    const ReportFindings found = findings.get();
    if (found.anatomy) warnOfAnatomy(*found.anatomy, skeleton, log);
    const Anatomy* lies = found.anatomy ? &*found.anatomy : nullptr;
    const std::optional<Methods> methods =
        request.methods ? std::optional<Methods>(methodsOf(request, lies, input, &found.statistics))
                        : std::nullopt;
    const Methods* paragraph = methods ? &*methods : nullptr;
    if (!request.report.empty()) {
        writeTextOutput(request.report, reportText(voiPath, skeleton, found.statistics,
                                                   request.transform, lies, &made, paragraph));
    }
    if (!request.reportJson.empty()) {
        writeTextOutput(request.reportJson, reportJson(voiPath, skeleton, found.statistics,
                                                       request.transform, lies, &made, paragraph));
    }
    if (!request.report.empty() && request.report != "-") log.tell("wrote " + request.report);
    if (page) {
        // A review of an import says how the space was decided in its own section; its
        // throwaway .voi has no record to speak of.
        const std::string space =
            request.htmlPreface.empty() ? inputSpaceWords(input) : std::string();
        writePage(voiPath, skeleton, found, where.get(), pageLabels->finish(), templatePath,
                  request, space, log);
    }
}

}  // namespace voikit
