// glomera-voi nifti: a .voi file, or the spheres of a table of peaks, as a NIfTI label volume
// with its label table, or as one mask per VOI.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/peak_table.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "apps/option-values/option_values.h"
#include "voi/voi_reader.h"
#include "voikit/extract/cell_volumes.h"
#include "voikit/extract/sphere_regions.h"
#include "voikit/extract/voi_file_regions.h"
#include "voikit/io/error.h"
#include "voikit/io/word_list.h"
#include "voikit/outputs/label_grid.h"
#include "voikit/provenance/provenance.h"

namespace {

constexpr int kGridMargin = 5;

struct NiftiArguments {
    std::vector<std::string> files;  // [FILE.voi] OUT
    bool quiet = false;
    voikit::OutputRequest request;
    std::string peaks;
    voikit::ImportSettings peakSettings;
    bool onePerVoi = false;
};

// A grid given by name or as an image, for CLI11's check: empty when it is one.
std::string gridCheck(const std::string& grid) {
    if (voikit::namedGrid(grid, voikit::MniToTal::kSpm)) return "";
    return CLI::ExistingFile(grid).empty()
               ? ""
               : "wants mni1mm, mni2mm or an image, not \"" + grid + "\", which is no file";
}

// What the volume says made it: this command, the transform, the table or .voi file and the
// grid image it read.
voikit::Provenance provenanceOf(const NiftiArguments& a) {
    voikit::Provenance provenance{invocation(), a.request.transform, {}, {}};
    if (!a.peaks.empty()) {
        provenance.inputs.push_back(voikit::checksummedFile("table of peaks", a.peaks));
    } else {
        provenance.inputs.push_back(voikit::sizedFile("VOI file", a.files.front()));
    }
    if (!a.request.grid.empty() && !voikit::namedGrid(a.request.grid, a.request.transform)) {
        provenance.inputs.push_back(voikit::checksummedFile("grid image", a.request.grid));
    }
    return provenance;
}

// Spheres from peaks, or masks one per VOI: the cells on the grid, written as labels or
// masks.
int writeCells(const NiftiArguments& a, const std::string& out) {
    voikit::Log log;
    if (!a.quiet) log.note = [](const std::string& text) { say(stderr, text); };
    log.warning = [](const std::string& text) { say(stderr, text); };
    const voikit::OutputRequest& request = a.request;
    std::unique_ptr<voikit::Regions> regions;
    std::vector<glomera::VoiInfo> infos;
    std::optional<voikit::LabelGrid> grid;
    if (!a.peaks.empty()) {
        PeakTable table = readPeakTable(a.peaks, a.peakSettings, log);
        std::vector<voikit::Sphere>& spheres = table.spheres;
        infos = std::move(table.vois);
        if (spheres.empty()) {
            say(stderr, "nifti: " + a.peaks + " made no sphere: nothing to write");
            return kExitIncomplete;
        }
        regions = std::make_unique<voikit::SphereRegions>(std::move(spheres));
    } else {
        auto file = std::make_unique<voikit::VoiFileRegions>(a.files.front());
        for (const auto& voi : file->runs().skeleton.vois) infos.push_back(voi.info);
        if (request.grid.empty()) {
            grid = voikit::defaultGrid(a.files.front(), voikit::computeStatistics(file->runs()),
                                       kGridMargin);
        }
        regions = std::move(file);
    }
    if (!grid) {
        grid = voikit::gridNamedOrOfImage(request.grid, request.gridSpace, request.transform);
    }
    const voikit::VoiCells cells = regions->cellsOn(*grid);
    const std::string volumeText = out + " (" + std::to_string(grid->dims[0]) + " x " +
                                   std::to_string(grid->dims[1]) + " x " +
                                   std::to_string(grid->dims[2]);
    std::vector<std::string> written;
    if (a.onePerVoi) {
        const voikit::Provenance provenance = provenanceOf(a);
        voikit::writeVoiMasks(out, infos, cells, *grid, &provenance);
        written = {volumeText + " x " + std::to_string(infos.size()) + ", one mask per VOI)",
                   voikit::labelTablePath(out)};
    } else {
        glomera::VoiFileContents contents;
        for (const glomera::VoiInfo& info : infos) contents.vois.push_back({info, {}});
        const voikit::LabelVolume volume = voikit::labelsOfCells(cells, *grid);
        const voikit::Provenance provenance = provenanceOf(a);
        voikit::writeLabelVolume(out, contents, volume, &provenance);
        written = voikit::labelTableFiles(out).all();
        written.insert(written.begin(), volumeText + ")");
        if (volume.overwritten > 0) {
            log.warn("spheres overlap: " + std::to_string(volume.overwritten) +
                     " shared cells went to the later one (--one-per-voi keeps every cell)");
        }
    }
    log.tell("wrote " + voikit::listedInWords(written));
    for (std::size_t v = 0; v < infos.size(); ++v) {
        if (cells.outside[v] > 0) {
            log.warn(std::to_string(v + 1) + " " + infos[v].name + ": " +
                     voikit::counted(cells.outside[v], regions->outsideUnit()) + " off the grid");
        }
    }
    return kExitSuccess;
}

int nifti(NiftiArguments& a) {
    const std::size_t wanted = a.peaks.empty() ? 2 : 1;
    if (a.files.size() != wanted) {
        throw voikit::UsageError(a.peaks.empty()
                                     ? "nifti: give FILE.voi and OUT, the volume to write"
                                     : "nifti: with --peaks, give only OUT, the volume to write");
    }
    if (!a.peaks.empty() && a.request.grid.empty()) {
        throw voikit::UsageError(
            "nifti: spheres from --peaks are made on a grid: give --grid IMAGE, or --grid "
            "mni1mm or mni2mm");
    }
    const std::string& out = a.files.back();
    if (!a.peaks.empty() || a.onePerVoi) return writeCells(a, out);
    a.request.nifti = out;
    return makeOutputs({a.files.front(), a.quiet}, a.request);
}

}  // namespace

CommandRun cmd::declareNifti(CLI::App& command) {
    command.description(
        "a NIfTI-1 label volume (16-bit, 0 background, i for the i-th VOI) and its label table "
        "(.tsv) beside it; or one mask per VOI");
    const auto a = std::make_shared<NiftiArguments>();
    command
        .add_option("FILE.voi OUT", a->files,
                    "the .voi file (none with --peaks), then the volume to write, .nii or "
                    ".nii.gz")
        ->required()
        ->expected(1, 2);
    command.add_flag("-q,--quiet", a->quiet, "do not say what was written");
    command
        .add_option("--grid", a->request.grid,
                    "put the labels on this NIfTI image's grid, or on the usual MNI grid "
                    "mni1mm (182 x 218 x 182) or mni2mm (91 x 109 x 91), instead of a 1 mm grid "
                    "around the VOIs")
        ->type_name("IMAGE|mni1mm|mni2mm")
        ->check(gridCheck);
    options::addValue(command, "--grid-space", a->request.gridSpace, options::spaceKind(),
                      "the space of the grid image's millimetres, where its header does not say "
                      "(its code is scanner, aligned or unknown): tal or mni")
        ->type_name("tal|mni");
    addTransformOption(command, a->request.transform);
    addPeakOptions(command, a->peaks, a->peakSettings,
                   "made in the grid's own millimetres (the cells within the radius of the peak "
                   "converted into its space), on --grid");
    command.add_flag("--one-per-voi", a->onePerVoi,
                     "write the VOIs as the volumes of one 4D file, one 8-bit mask each, so "
                     "that where VOIs overlap every VOI keeps its cells (a label volume gives "
                     "a shared cell to the later VOI); OUT.tsv lists them");
    return [a] {
        a->peakSettings.transform = a->request.transform;
        return nifti(*a);
    };
}
