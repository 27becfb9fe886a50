// glomera-voi import: a coordinate table as pasted from a paper or written by an analysis
// program, made into the plug-in's list (and, if asked, a GingerALE/Sleuth foci file).
#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/option-values/option_values.h"
#include "common/buffer_capacities.h"
#include "voikit/io/error.h"
#include "voikit/io/print.h"
#include "voikit/io/scratch_folder.h"
#include "voikit/io/text_input.h"
#include "voikit/io/text_output.h"
#include "voikit/outputs/list_voi_file.h"
#include "voikit/outputs/review_output.h"
#include "voikit/page/import_review.h"
#include "voikit/tables/foci_output.h"
#include "voikit/tables/table_import.h"

namespace {

struct ImportArguments {
    std::string table;
    std::string output;
    voikit::ImportSettings settings;
    std::string foci;
    std::optional<voikit::Space> fociSpace;
    std::optional<int> subjects;
    bool allowDropped = false;
    std::string review;
};

// The space the foci go in: the one asked for, else the one all peaks were written in,
// else TAL.
voikit::Space fociSpace(const std::optional<voikit::Space>& asked,
                        const voikit::ImportResult& result) {
    if (asked) return *asked;
    for (const voikit::AcceptedPeak& peak : result.peaks) {
        if (peak.written != result.peaks[0].written) return voikit::Space::kTal;
    }
    return result.peaks.empty() ? voikit::Space::kTal : result.peaks[0].written;
}

// The table's file name without folders and extension, to name an experiment it leaves
// unnamed.
std::string stem(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name == "-" || name.empty() ? "table" : name;
}

// The review page: the spheres drawn as the plug-in makes them, from a .voi file made for the
// page alone; the review without a viewer when there is no sphere.
void writeReview(const ImportArguments& a, const std::string& bytes,
                 const voikit::ImportResult& result, const voikit::ImportSettings& settings) {
    const voikit::ReviewContents review = voikit::reviewOfImport(result, bytes, a.table, settings);
    voikit::OutputRequest request;
    request.transform = settings.transform;
    request.invocation = invocation();
    voikit::Log log;
    log.note = [](const std::string& text) { say(stderr, text); };
    log.warning = log.note;
    const voikit::ScratchFolder scratch("glomera-review");
    const std::string spheres = scratch.path() + "/spheres.voi";
    bool drawn = false;
    if (result.vois > 0) {
        try {
            voikit::writeListVoiFile(result, spheres);
            drawn = true;
        } catch (const voikit::Error& error) {
            // The review is still worth having without its spheres.
            say(stderr, std::string("--review: the spheres could not be made (") + error.what() +
                            "); the page shows the review alone");
        }
    }
    voikit::writeReviewPage(a.review, review, drawn ? spheres : "", request, log);
}

// Prints the account of every line, the notes and the warnings on standard error and writes
// the list and the foci file; exits 2 when --space contradicts the table or the foci file
// lacks a number of subjects (nothing written), 3 when peaks were dropped (unless allowed)
// or no VOI was made.
int importTable(const ImportArguments& a) {
    voikit::ImportSettings settings = a.settings;
    // A list that the plug-in reads into its text box must fit there.
    settings.listLimit = glomera::kTextCapacity - 1;
    const std::string bytes = voikit::readTextInput(a.table);
    const voikit::ImportResult result = voikit::importTable(bytes, settings);
    if (!result.notText.empty()) throw voikit::Error(a.table + ": " + result.notText);
    if (!result.spaceConflict.empty())
        throw voikit::UsageError(a.table + ": " + result.spaceConflict);
    for (const voikit::ImportedLine& line : result.lines) {
        voikit::print(stderr, "line {}: {}\n", line.number, line.account);
    }
    for (const std::string& note : result.notes) say(stderr, "note: " + note);
    for (const std::string& warning : result.warnings) say(stderr, "warning: " + warning);
    say(stderr, result.choice);
    say(stderr, result.summary() + " (" + result.layout + ", " + result.encoding + ")");
    if (!result.unreadRows().empty()) say(stderr, "error: " + result.unreadRows());
    voikit::FociOutput foci;
    if (!a.foci.empty() && result.vois > 0) {
        foci = voikit::fociFile(result, fociSpace(a.fociSpace, result), settings.transform,
                                a.subjects, stem(a.table));
        if (!foci.refusal.empty())
            throw voikit::UsageError("--foci " + a.foci + ": " + foci.refusal);
    }
    voikit::writeTextOutput(a.output.empty() ? "-" : a.output, result.list);
    if (!foci.text.empty()) voikit::writeTextOutput(a.foci, foci.text);
    if (!a.review.empty()) writeReview(a, bytes, result, settings);
    if (result.vois == 0 || (!result.complete() && !a.allowDropped)) return kExitIncomplete;
    return kExitSuccess;
}

}  // namespace

CommandRun cmd::declareImport(CLI::App& command) {
    command.description(
        "a coordinate table as pasted from a paper or written by SPM, FSL, AFNI or GingerALE, "
        "made into the plug-in's list: one line \"x y z radius name r g b\" per peak, in TAL; "
        "every input line accounted for");
    const auto a = std::make_shared<ImportArguments>();
    command.add_option("TABLE", a->table, "the table; '-' for standard input")->required();
    command.add_option("-o,--output", a->output, "the list file; default: standard output")
        ->type_name("LIST");
    options::addValue(command, "--space", a->settings.space, options::spaceKind(),
                      "the space of the table's coordinates (default: the table's own, from a "
                      "\"// Reference=\" line, MNI/Talairach column headings or a caption that "
                      "says so, else tal); one that contradicts its line or headings is a usage "
                      "error");
    options::addValue(command, "--mni-to-tal", a->settings.transform, options::transformKind(),
                      "the transform for MNI coordinates: Lancaster's spm (default), fsl or "
                      "other, or brett");
    options::addValue(command, "--radius", a->settings.radius, options::radiusKind(),
                      options::radiusHelp("radius for rows"))
        ->type_name("R");
    options::addValue(command, "--color,--colour", a->settings.colour, options::colourKind(),
                      "colour for rows without one (default: a palette, one per VOI)")
        ->type_name("R,G,B");
    command
        .add_option("--foci", a->foci,
                    "also write the peaks that became VOIs as a GingerALE/Sleuth foci file")
        ->type_name("FOCI");
    options::addValue(command, "--foci-space", a->fociSpace, options::spaceKind(),
                      "the space of the foci file (default: the space the peaks were written "
                      "in, when they share one; else tal)");
    command
        .add_option("--subjects", a->subjects,
                    "the number of subjects of each experiment the table does not give "
                    "(GingerALE needs it)")
        ->type_name("N")
        ->check(CLI::Range(1, 1000000));
    command.add_flag("--allow-dropped", a->allowDropped, "exit 0 even when peaks were dropped");
    command
        .add_option("--review", a->review,
                    "also write one page that shows what was read: the table as pasted with "
                    "every cell taken marked by its role, each line's fate, the reading and the "
                    "space, and the spheres over the MNI template")
        ->type_name("PAGE.html");
    return [a] { return importTable(*a); };
}
