// glomera-voi extract: the values inside each VOI, from any number of NIfTI images: the mean
// time series, or per-VOI statistics of every volume.
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/cleaning_options.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/extract_cohort.h"
#include "apps/glomera-voi/cmd/peak_table.h"
#include "apps/option-values/option_values.h"
#include "voikit/extract/batch.h"
#include "voikit/extract/sphere_regions.h"
#include "voikit/extract/voi_file_regions.h"
#include "voikit/io/error.h"
#include "voikit/io/log.h"
#include "voikit/io/text_input.h"
#include "voikit/io/word_list.h"
#include "voikit/outputs/outputs.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/tables/table_import.h"

namespace {

struct ExtractArguments {
    std::vector<std::string> inputs;  // the .voi file (unless peaks), then the images
    std::string peaks;                // a table of peaks, for spheres in each image's space
    voikit::ImportSettings peakSettings;
    std::string imageList;
    std::string output;
    std::string outDir;
    bool stats = false;
    bool json = false;
    std::optional<voikit::Space> gridSpace;
    voikit::MniToTal transform = voikit::MniToTal::kSpm;
    unsigned jobs = 0;
    bool skipExisting = false;
    bool quiet = false;
    std::shared_ptr<cmd::CleaningOptions> cleaning;
    CohortArguments cohort;
};

void tell(const std::string& line) { say(stderr, line); }

// How much more MNI volume a TAL region covers under each transform, from its determinant.
std::string volumeFigures() {
    const auto more = [](double determinant) {
        return std::to_string(static_cast<int>(std::lround((1.0 / determinant - 1.0) * 100))) +
               " %";
    };
    using voikit::MniToTal;
    return more(voikit::mniToTalDeterminant(MniToTal::kSpm)) + " more under spm, " +
           more(voikit::mniToTalDeterminant(MniToTal::kFsl)) + " under fsl, " +
           more(voikit::mniToTalDeterminant(MniToTal::kOther)) + " under other, " +
           more(voikit::mniToTalDeterminant(MniToTal::kBrett)) + " above z = 0 and " +
           more(voikit::mniToTalDeterminant(MniToTal::kBrett, true)) + " below under brett";
}

// The text in lines of at most `width` characters, paragraphs and example lines kept.
std::string wrapped(const std::string& text, std::size_t width = 92) {
    std::string out, line;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string paragraph = text.substr(start, end - start);
        start = end + 1;
        if (paragraph.rfind("  ", 0) == 0) {  // an example, as it is
            out += paragraph + "\n";
            continue;
        }
        line.clear();
        std::size_t at = 0;
        while (at < paragraph.size()) {
            std::size_t next = paragraph.find(' ', at);
            if (next == std::string::npos) next = paragraph.size();
            const std::string word = paragraph.substr(at, next - at);
            if (!line.empty() && line.size() + 1 + word.size() > width) {
                out += line + "\n";
                line.clear();
            }
            line += (line.empty() ? "" : " ") + word;
            at = next + 1;
        }
        out += line + "\n";
    }
    return out.substr(0, out.size() - 1);
}

std::string footer() {
    return wrapped(
        "\nWhich cells: each cell of the image's grid whose centre, taken to TAL through the "
        "image's space, is nearest to one of a VOI's voxels on the 1 mm lattice, as for the "
        "label volume on that grid; but every VOI keeps its own cells, so a cell where VOIs "
        "overlap counts for each. The VOIs of a .voi file are TAL spheres: on an MNI image "
        "each covers the MNI region its TAL voxels come from, which is " +
        volumeFigures() +
        " than an MNI sphere of the same radius. With --peaks TABLE instead, each sphere is "
        "made in the image's own millimetres (the peak converted into its space): the cells "
        "whose centre lies within the radius of the peak, or the one cell nearest to it when "
        "none does; an MNI peak on an MNI image is then a sphere of that radius in MNI, as "
        "the field's sphere maskers make it.\n\n"
        "What is written: by default the mean time series, one column per VOI headed by "
        "its name (a name borne by several VOIs gets the VOI's index: NAME_INDEX), one row "
        "per volume (a 3D image is one row). --stats writes one long table for all "
        "images: image, volume, index, name, mean, median, std, min, max, count, "
        "nonfinite. Volumes count from 0, VOI indices from 1. std is the sample standard "
        "deviation (n - 1); the median of an even count is the mean of the two middle "
        "values. NaN and infinite cells are left out and counted in nonfinite, never "
        "averaged as 0; a VOI without a finite cell in a volume (off the field of view, or "
        "masked) is n/a there, and a warning names it. Values are scl_slope and scl_inter "
        "applied; numbers are written in full (the shortest text that reads back as the "
        "same double). Each file appears whole or not at all.\n\n"
        "The time series, step by step: each volume's value of a VOI is the mean of its cells "
        "(or, with --summary median, their median; with eig1, the first eigenvariate: the "
        "first principal component of the cells' series, each cell's mean taken away, signed "
        "to correlate positively with the mean series and scaled by the square root of its "
        "eigenvalue over the number of cells). Then, in this order: the first volumes dropped "
        "(--drop-volumes); the censored volumes found (--censor, --fd-threshold); the linear "
        "trend taken away (--detrend); the band filters (--high-pass, --low-pass); the fit on "
        "the confounds (--confound-columns) with an intercept taken away; censored volumes "
        "n/a; standardising (--standardize). Detrending and the filters apply to the "
        "confounds alike. The repetition time comes from the option (--t-r), else the BIDS "
        "sidecar beside the image (NAME.json), else the header's pixdim[4]. A mask (--mask) "
        "leaves out the cells where it is not above its threshold (--mask-threshold), and the "
        "counts before and after are told per VOI.\n\n"
        "Many images: they are worked on side by side (-j), each read volume by volume "
        "(memory near one volume per image plus the VOIs' cells); an image that fails is "
        "named and the others are written, and the run exits 1. --out-dir writes "
        "NAME_voi_timeseries.tsv (or _voi_stats.tsv, _voi_stats.json) per image, named "
        "from the image; --skip-existing leaves out those already written, so that an "
        "interrupted batch can go on where it stopped.\n\n"
        "Examples:\n"
        "  glomera-voi extract spheres.voi sub-01_bold.nii.gz -o sub-01_means.tsv\n"
        "  glomera-voi extract spheres.voi --images list.txt --out-dir means -j 4\n"
        "  glomera-voi extract spheres.voi con_*.nii --stats -o contrasts.tsv\n"
        "  glomera-voi extract --peaks table.txt --space mni --radius 8 bold.nii.gz");
}

// The image paths of a list file: one a line; empty lines and lines starting with # left out.
std::vector<std::string> listedImages(const std::string& list) {
    std::vector<std::string> images;
    const std::string text = voikit::readTextInput(list);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() &&
               (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.pop_back();
        }
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        images.push_back(line.substr(first));
    }
    return images;
}

int extract(ExtractArguments& a) {
    const bool fromPeaks = !a.peaks.empty();
    const auto usage = [](const std::string& why) -> int {
        throw voikit::UsageError("extract: " + why);
    };
    if (!fromPeaks && a.inputs.empty()) return usage("give the .voi file (or --peaks TABLE)");
    voikit::BatchSettings settings;
    settings.images.assign(a.inputs.begin() + (fromPeaks ? 0 : 1), a.inputs.end());
    if (!a.imageList.empty()) {
        for (std::string& image : listedImages(a.imageList)) settings.images.push_back(image);
    }
    settings.table = a.stats  ? voikit::ExtractTable::kStatistics
                     : a.json ? voikit::ExtractTable::kJson
                              : voikit::ExtractTable::kTimeSeries;
    settings.outDir = a.outDir;
    settings.extraction.gridSpace = a.gridSpace;
    settings.extraction.transform = a.transform;
    voikit::Log log;
    if (!a.quiet) log.note = tell;
    log.warning = tell;
    RegionsSource source{fromPeaks ? a.peaks : a.inputs.front(), fromPeaks, a.transform, {}};
    if (!fromPeaks) source.input = voikit::voiInputSpace(source.path, log, false);
    if (const std::string why = takeBidsRuns(a.cohort, source, settings, log); !why.empty()) {
        return usage(why);
    }
    if (settings.images.empty()) return usage("give at least one image (or --images LIST.txt)");
    if (!a.output.empty() && !a.outDir.empty()) {
        return usage("-o writes one table, --out-dir one file per image: give one of them");
    }
    if (settings.table == voikit::ExtractTable::kTimeSeries && settings.images.size() > 1 &&
        a.outDir.empty()) {
        return usage(std::to_string(settings.images.size()) +
                     " images have a time series each: give --out-dir DIR for one file per "
                     "image, or --stats or --json for one table of them all");
    }
    if (a.skipExisting && a.outDir.empty() && (a.output.empty() || a.output == "-")) {
        return usage("--skip-existing needs files to look for: give --out-dir or -o PATH");
    }
    const bool bids = !a.cohort.bids.empty();
    if (bids && !a.cleaning->confounds().empty()) {
        return usage("--bids takes each run's confounds table from the tree: give no --confounds");
    }
    const std::string cleaningProblem = a.cleaning->settle(
        settings.images.size(), settings.table == voikit::ExtractTable::kTimeSeries,
        !a.outDir.empty() || (!a.output.empty() && a.output != "-"), bids);
    if (!cleaningProblem.empty()) return usage(cleaningProblem);
    settings.cleaning = a.cleaning->settings();
    if (!bids) settings.confounds = a.cleaning->confounds();
    if (!settings.cleaning.readsConfounds()) settings.confounds.clear();
    settings.output = a.output.empty() ? "-" : a.output;
    settings.skipExisting = a.skipExisting;
    settings.jobs = a.jobs > 0 ? a.jobs : voikit::processorsAvailable();
    settings.progress = !a.quiet && isatty(fileno(stderr)) != 0;

    std::unique_ptr<voikit::Regions> regions;
    if (fromPeaks) {
        std::vector<voikit::Sphere> spheres = readPeakTable(a.peaks, a.peakSettings, log).spheres;
        if (spheres.empty()) {
            tell("extract: " + a.peaks + " made no sphere: nothing to extract");
            return kExitIncomplete;
        }
        regions = std::make_unique<voikit::SphereRegions>(std::move(spheres));
    } else {
        regions = std::make_unique<voikit::VoiFileRegions>(a.inputs.front());
    }
    if (a.cohort.dryRun) return dryRun(settings, *regions);
    if (!settings.outDir.empty()) {
        std::error_code error;
        if (std::filesystem::create_directories(settings.outDir, error)) {
            log.tell("made the folder " + settings.outDir);
        } else if (error) {
            tell("extract: cannot make --out-dir " + settings.outDir + ": " + error.message());
            return kExitFailure;
        }
    }
    writeBidsDescription(a.cohort, settings);
    SidecarWriter sidecars(*regions, source, settings);
    sidecars.attach(settings);
    const voikit::BatchOutcome outcome = voikit::extractImages(*regions, settings, log);
    sidecars.finish(outcome, log);
    const std::size_t images = settings.images.size();
    if (outcome.skipped > 0) {
        tell(std::to_string(outcome.skipped) + " of " +
             voikit::counted(static_cast<long long>(images), "image") +
             " left out: written already (--skip-existing)");
    }
    if (outcome.failures.empty()) return kExitSuccess;
    std::string failed = images == 1 ? std::string("the image failed:")
                                     : std::to_string(outcome.failures.size()) + " of " +
                                           std::to_string(images) +
                                           " images failed; the others were written:";
    for (const auto& [image, why] : outcome.failures) failed += "\n  " + why;
    tell(failed);
    return kExitFailure;
}

}  // namespace

CommandRun cmd::declareExtract(CLI::App& command) {
    command.description(
        "the values inside each VOI from NIfTI images (3D or 4D, .nii or .nii.gz): the mean "
        "time series, or per-VOI statistics of every volume");
    command.footer(footer());
    const auto a = std::make_shared<ExtractArguments>();
    command.add_option("FILE.voi IMAGE", a->inputs,
                       "the .voi file, then the images (with --peaks: the images alone; with "
                       "--bids: the .voi file alone)");
    addPeakOptions(command, a->peaks, a->peakSettings, "made in each image's own space");
    command
        .add_option("--images", a->imageList,
                    "more images, one path a line (# starts a comment); '-' reads standard input")
        ->type_name("LIST.txt");
    command
        .add_option("-o,--output", a->output,
                    "the table: for the time series of one image, or --stats/--json for all "
                    "images; '-' (default) for standard output")
        ->type_name("PATH");
    command
        .add_option("--out-dir", a->outDir, "one file per image in this folder, made if missing")
        ->type_name("DIR");
    CLI::Option* stats = command.add_flag(
        "--stats", a->stats,
        "per VOI and volume: mean median std min max count nonfinite, one long table");
    command.add_flag("--json", a->json, "the same statistics as JSON")->excludes(stats);
    options::addValue(command, "--grid-space", a->gridSpace, options::spaceKind(),
                      "the space of the images' millimetres where their header does not say "
                      "(scanner, aligned or unknown code): tal or mni. An image in a subject's "
                      "own space has to be normalised first")
        ->type_name("tal|mni");
    options::addValue(command, "--mni-to-tal", a->transform, options::transformKind(),
                      "the transform between TAL and MNI, for MNI images and peaks in the "
                      "other space: Lancaster's spm (default), fsl or other, or brett");
    command
        .add_option("-j,--jobs", a->jobs,
                    "images worked on side by side (default: the processors this process may "
                    "use)")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
    command.add_flag("--skip-existing", a->skipExisting,
                     "leave out images whose file is already written (with -o: the run, when "
                     "the table is there)");
    command.add_flag("-q,--quiet", a->quiet, "do not say what was written");
    a->cleaning = cmd::CleaningOptions::declare(command);
    addCohortOptions(command, a->cohort);
    return [a] {
        a->peakSettings.transform = a->transform;
        return extract(*a);
    };
}
