#include "apps/glomera-voi/cmd/extract_cohort.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "voikit/extract/cleaning_methods.h"
#include "voikit/extract/extraction_tables.h"
#include "voikit/extract/image_series.h"
#include "voikit/extract/sphere_regions.h"
#include "voikit/extract/voi_file_regions.h"
#include "voikit/io/error.h"
#include "voikit/io/text_output.h"
#include "voikit/io/utf8.h"
#include "voikit/io/word_list.h"
#include "voikit/provenance/methods.h"

namespace {

constexpr const char kGroup[] = "Cohorts (BIDS derivatives, checks before a cluster run)";

// The file's name without folders and its last extension: "out/my spheres.voi" -> "my spheres".
std::string stemOf(const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string suffixFor(voikit::ExtractTable table) {
    switch (table) {
        case voikit::ExtractTable::kStatistics:
            return "stats.tsv";
        case voikit::ExtractTable::kJson:
            return "stats.json";
        case voikit::ExtractTable::kTimeSeries:
            break;
    }
    return "timeseries.tsv";
}

}  // namespace

void addCohortOptions(CLI::App& command, CohortArguments& a) {
    CLI::Option* bids =
        command
            .add_option("--bids", a.bids,
                        "a BIDS derivatives folder (fMRIPrep's): every sub-*/[ses-*/]func/"
                        "*_bold.nii.gz that matches, each written under --out-dir by its "
                        "derivative name, with its confounds table and sidecar; images given "
                        "too (or --images) choose among those runs")
            ->type_name("DERIVATIVES")
            ->check(CLI::ExistingDirectory)
            ->group(kGroup);
    // The entities that choose among the tree's runs.
    const auto entity = [&](const std::string& name, std::string& target, const std::string& help,
                            const std::string& type) {
        command.add_option(name, target, help)->type_name(type)->needs(bids)->group(kGroup);
    };
    entity("--task", a.task, "with --bids: only this task", "T");
    entity("--bids-space", a.bidsSpace,
           "with --bids: only this space (default: every MNI template space, e.g. "
           "MNI152NLin2009cAsym; each taken as MNI, with a note)",
           "S");
    entity("--desc", a.desc, "with --bids: the images' desc entity (default preproc)", "D");
    command
        .add_flag("--dry-run", a.dryRun,
                  "check the whole command and list the images it would read, each header "
                  "read, and where each would be written; nothing is written")
        ->group(kGroup);
}

std::string takeBidsRuns(const CohortArguments& a, const RegionsSource& source,
                         voikit::BatchSettings& settings, const voikit::Log& log) {
    if (a.bids.empty()) return "";
    // Images given beside --bids choose among the tree's runs (a cluster's shard of them).
    std::vector<std::string> chosen;
    for (const std::string& image : settings.images) {
        std::error_code error;
        chosen.push_back(std::filesystem::weakly_canonical(image, error).string());
    }
    settings.images.clear();
    if (settings.outDir.empty()) {
        return "--bids writes a derivatives tree: give --out-dir OUT";
    }
    if (settings.extraction.gridSpace == voikit::Space::kTal) {
        return "--bids takes MNI template spaces, which --grid-space tal contradicts";
    }
    if (!a.bidsSpace.empty() && !voikit::isMniTemplateSpace(a.bidsSpace)) {
        return "--bids-space " + a.bidsSpace +
               " is no MNI template: coordinates from papers cannot be placed in a subject's "
               "own space; give an MNI template space such as MNI152NLin2009cAsym";
    }
    voikit::BidsQuery query{a.bids, a.task, a.bidsSpace, a.desc};
    const voikit::BidsListing listing = voikit::findBidsRuns(query);
    for (const std::string& why : listing.leftOut) log.warn(why);
    for (const std::string& note : listing.notes) log.tell("note: " + note);
    if (listing.runs.empty()) {
        return a.bids + " holds no *_desc-" + a.desc + "_bold.nii.gz" +
               (a.task.empty() ? "" : " of task " + a.task) +
               (a.bidsSpace.empty() ? " in an MNI template space" : " in space " + a.bidsSpace);
    }
    // The template spaces are MNI whatever code the header's forms carry.
    settings.extraction.gridSpace = voikit::Space::kMni;
    const std::string desc = voikit::bidsLabel(stemOf(source.path));
    std::vector<bool> found(chosen.size(), false);
    for (const voikit::BidsRun& run : listing.runs) {
        if (!chosen.empty()) {
            std::error_code error;
            const auto at = std::find(chosen.begin(), chosen.end(),
                                      std::filesystem::weakly_canonical(run.image, error).string());
            if (at == chosen.end()) continue;
            found[static_cast<std::size_t>(at - chosen.begin())] = true;
        }
        settings.images.push_back(run.image);
        settings.outputs.push_back(
            voikit::bidsOutputPath(run, settings.outDir, desc, suffixFor(settings.table)));
        settings.confounds.push_back(run.confounds);
        settings.sidecars.push_back(run.sidecar);
    }
    for (std::size_t n = 0; n < chosen.size(); ++n) {
        if (!found[n]) {
            return chosen[n] + " is no run of " + a.bids +
                   " that --bids, --task, --bids-space "
                   "and --desc choose";
        }
    }
    log.tell(voikit::counted(static_cast<long long>(settings.images.size()), "run") + " found in " +
             a.bids + "; the VOIs' desc is " + desc);
    return "";
}

void writeBidsDescription(const CohortArguments& a, const voikit::BatchSettings& settings) {
    if (a.bids.empty()) return;
    voikit::writeTextOutput(settings.outDir + "/dataset_description.json",
                            voikit::bidsDatasetDescription(invocation().commandLine, a.bids));
}

int dryRun(const voikit::BatchSettings& settings, const voikit::Regions& regions) {
    const bool perImage = !settings.outDir.empty();
    std::string text = "extract --dry-run: " +
                       voikit::counted(static_cast<long long>(regions.names().size()), "VOI") +
                       ", " +
                       voikit::counted(static_cast<long long>(settings.images.size()), "image") +
                       "; nothing is written\n";
    if (perImage && !std::filesystem::is_directory(settings.outDir)) {
        text += "--out-dir " + voikit::asUtf8(settings.outDir) + " would be made\n";
    }
    if (!perImage) {
        text += "one table: " + voikit::asUtf8(settings.output) + "\n";
    }
    int failed = 0;
    for (std::size_t n = 0; n < settings.images.size(); ++n) {
        const std::string& image = settings.images[n];
        std::string line = "  " + voikit::asUtf8(image);
        try {
            const voikit::ImageSeries series(image);
            line += ": " + voikit::counted(series.volumes(), "volume");
        } catch (const std::exception& error) {
            line += ": would fail: " + voikit::asUtf8(error.what());
            ++failed;
        }
        if (perImage) {
            const std::string output =
                settings.outputs.empty()
                    ? voikit::outputFileFor(image, settings.outDir, settings.table)
                    : settings.outputs[n];
            line += " -> " + voikit::asUtf8(output);
        }
        text += line + "\n";
    }
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    if (failed > 0) {
        say(stderr, "extract --dry-run: " + std::to_string(failed) + " of " +
                        voikit::counted(static_cast<long long>(settings.images.size()), "image") +
                        " cannot be read");
        return kExitIncomplete;
    }
    return kExitSuccess;
}

SidecarWriter::SidecarWriter(const voikit::Regions& regions, RegionsSource source,
                             const voikit::BatchSettings& settings)
    : source_(std::move(source)), settings_(settings) {
    const std::vector<std::string> columns =
        voikit::columnNames(voikit::utf8Texts(regions.names()));
    const auto* spheres = dynamic_cast<const voikit::SphereRegions*>(&regions);
    const auto* file = dynamic_cast<const voikit::VoiFileRegions*>(&regions);
    const bool recorded = source_.input && source_.input->spheres.size() == columns.size();
    for (std::size_t v = 0; v < columns.size(); ++v) {
        voikit::SidecarVoi voi;
        voi.name = regions.names()[v];
        voi.column = columns[v];
        if (spheres) {
            const voikit::Sphere& sphere = spheres->spheres()[v];
            voi.space = sphere.space;
            voi.centre = sphere.centre;
            voi.centreTal = voikit::toTal(sphere.centre, sphere.space, source_.transform);
            voi.radius = sphere.radius;
        } else if (recorded) {
            const voikit::RecordedSphere& sphere = source_.input->spheres[v];
            voi.space = sphere.space;
            voi.centre = sphere.written;
            voi.centreTal = sphere.tal;
            voi.radius = sphere.radius;
        } else if (file) {
            // Without a record, the centre of mass of its voxels is what is known.
            const voikit::VoiStatistics::Voi& figures = file->figures().vois[v];
            voi.space = voikit::Space::kTal;
            voi.centre = {figures.centre[0], figures.centre[1], figures.centre[2]};
        }
        if (file) voi.voxels = file->figures().vois[v].voxels;
        vois_.push_back(std::move(voi));
    }
    images_.resize(settings.images.size());
    series_.resize(settings.images.size());
}

void SidecarWriter::attach(voikit::BatchSettings& settings) {
    const bool perImage = !settings.outDir.empty();
    if (!perImage && settings.output == "-") return;  // no file to stand beside
    // Told first, on the same worker, then imageExtracted: each image's slot is its own.
    settings.seriesWritten = [this](const voikit::WrittenSeries& written) {
        series_[written.index] = SeriesFacts{written.record, written.files};
    };
    settings.imageExtracted = [this, perImage](std::size_t n,
                                               const voikit::ImageExtraction& extraction,
                                               const std::string& output) {
        voikit::SidecarImage image = imageRecord(n, extraction, output);
        if (!perImage) {
            const std::lock_guard<std::mutex> lock(mutex_);
            images_[n] = std::move(image);
            return;
        }
        const voikit::CleaningRecord* record = series_[n] ? &series_[n]->record : nullptr;
        voikit::writeTextOutput(
            voikit::sidecarPathFor(output),
            voikit::sidecarJson(contents({image}, output, record)).dump(2) + "\n");
    };
}

void SidecarWriter::finish(const voikit::BatchOutcome& outcome, const voikit::Log& log) {
    if (!settings_.outDir.empty() || settings_.output == "-" || outcome.written == 0) return;
    if (outcome.skipped == settings_.images.size()) return;
    std::vector<voikit::SidecarImage> images;
    for (std::optional<voikit::SidecarImage>& image : images_) {
        if (image) images.push_back(std::move(*image));
    }
    // The methods tell the censoring and the columns matched of the first image.
    const voikit::CleaningRecord* record = nullptr;
    for (const std::optional<SeriesFacts>& facts : series_) {
        if (facts) {
            record = &facts->record;
            break;
        }
    }
    const std::string path = voikit::sidecarPathFor(settings_.output);
    voikit::writeTextOutput(
        path,
        voikit::sidecarJson(contents(std::move(images), settings_.output, record)).dump(2) + "\n");
    log.tell("wrote " + path + ", what " + settings_.output + " holds and how it was made");
}

voikit::SidecarImage SidecarWriter::imageRecord(std::size_t n,
                                                const voikit::ImageExtraction& extraction,
                                                const std::string& output) const {
    voikit::SidecarImage image;
    image.image = settings_.images[n];
    image.output = output.empty() ? settings_.output : output;
    image.volumes = extraction.volumes;
    image.grid = extraction.grid;
    for (const auto& cells : extraction.cells->cells) {
        image.cells.push_back(static_cast<std::int64_t>(cells.size()));
    }
    if (const std::optional<SeriesFacts>& series = series_[n]) {
        const voikit::CleaningRecord& record = series->record;
        image.repetitionTime = record.repetitionTime;
        image.repetitionTimeSource = record.repetitionTimeSource;
        image.confounds = record.confounds;
        if (settings_.cleaning.cleans())
            image.cleaning = nlohmann::ordered_json(voikit::toJson(record));
        image.otherOutputs.assign(series->files.begin() + (series->files.empty() ? 0 : 1),
                                  series->files.end());
    }
    return image;
}

voikit::SidecarContents SidecarWriter::contents(std::vector<voikit::SidecarImage> images,
                                                const std::string& table,
                                                const voikit::CleaningRecord* record) const {
    voikit::SidecarContents c;
    c.table = table;
    c.kind = settings_.table == voikit::ExtractTable::kTimeSeries ? "timeseries" : "statistics";
    c.vois = vois_;
    const bool series = settings_.table == voikit::ExtractTable::kTimeSeries;
    if (series) {
        c.summary = voikit::summaryName(settings_.cleaning.summary);
        c.cleaningSettings = nlohmann::ordered_json(voikit::toJson(settings_.cleaning));
    }
    c.regions = source_.peaks ? "spheres in each image's own millimetres, around the peaks of " +
                                    voikit::asUtf8(source_.path)
                              : "the VOIs of " + voikit::asUtf8(source_.path) +
                                    " put on each image's grid by the rule of the label volume";
    c.inputSpace = source_.peaks ? std::string("as the table of peaks says, per VOI")
                                 : voikit::inputSpaceWords(source_.input);
    c.provenance.invocation = invocation();
    c.provenance.transform = source_.transform;
    c.provenance.inputSpace = source_.peaks ? "" : c.inputSpace;
    try {
        if (source_.peaks) {
            c.provenance.inputs.push_back(voikit::checksummedFile("table of peaks", source_.path));
        } else {
            c.provenance.inputs.push_back(voikit::sizedFile("VOI file", source_.path));
            if (source_.input) {
                c.provenance.inputs.push_back(voikit::checksummedFile(
                    "input-space record", voikit::inputSpaceRecordPath(source_.path)));
            }
        }
        for (const voikit::SidecarImage& image : images) {
            c.provenance.inputs.push_back(voikit::sizedFile("image", image.image));
        }
    } catch (const voikit::Error&) {
        // A file gone since it was read is left out of the record, not a reason to fail.
    }
    voikit::ExtractionChoices choices;
    choices.transform = source_.transform;
    if (source_.peaks) {
        choices.peakSpace =
            vois_.empty() || !vois_.front().space ? voikit::Space::kTal : *vois_.front().space;
        for (const voikit::SidecarVoi& voi : vois_) {
            if (voi.radius) choices.radii.push_back(*voi.radius);
            if (voi.space != choices.peakSpace) choices.mixedPeakSpaces = true;
        }
    } else {
        voikit::MethodsChoices file;
        file.transform = source_.transform;
        file.anatomy = false;
        file.input = source_.input;
        for (const voikit::SidecarVoi& voi : vois_) {
            if (voi.voxels) file.voxelCounts.push_back(*voi.voxels);
        }
        choices.voiFile = file;
    }
    for (const voikit::SidecarImage& image : images) {
        const std::string words = voikit::gridWords(image.grid);
        if (std::find(choices.grids.begin(), choices.grids.end(), words) == choices.grids.end()) {
            choices.grids.push_back(words);
            choices.gridSpaces.push_back(image.grid.space);
        }
    }
    if (!images.empty()) choices.cells = images.front().cells;
    if (series) {
        choices.summary = c.summary;
        choices.cleaning = voikit::cleaningSentences(settings_.cleaning, record);
        std::optional<double> tr;
        bool same = true;
        for (const voikit::SidecarImage& image : images) {
            if (!image.repetitionTime) continue;
            if (tr && *tr != *image.repetitionTime) same = false;
            tr = image.repetitionTime;
        }
        if (same) choices.repetitionTime = tr;
    }
    c.methods = voikit::extractionMethods(choices);
    c.images = std::move(images);
    return c;
}
