// glomera-voi report: per VOI what it holds and where it lies, as text or JSON.
#include <memory>
#include <string>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "apps/output-options/output_options.h"
#include "voikit/io/error.h"
#include "voikit/io/text_output.h"
#include "voikit/provenance/methods.h"

namespace {

struct ReportArguments {
    VoiFileArguments file;
    voikit::OutputRequest request;
    std::string output;
    bool json = false;
    bool noAtlas = false;
    bool methods = false;
};

}  // namespace

CommandRun cmd::declareReport(CLI::App& command) {
    command.description(
        "per VOI: name, colour, voxels, centre of mass, extent; then every pair of VOIs that "
        "share voxels, where they lie, and what made the report; with --methods alone, a "
        "paragraph for a paper's methods section with its references");
    const auto a = std::make_shared<ReportArguments>();
    addVoiFileArguments(command, a->file);
    command.get_option("FILE.voi")->required(false);
    command.add_option("OUT", a->output, "where to write it; '-' (default) for standard output");
    command.add_flag("--json", a->json, "JSON for scripts instead of text");
    command
        .add_option("--atlas", a->request.atlases,
                    "look the VOIs up in this atlas (repeatable): aal, brodmann, jhu, aicha, or "
                    "any MNI label image with its label text, IMAGE[:LABELS.txt]; default: the "
                    "four named")
        ->type_name("NAME|IMAGE[:LABELS]");
    command.add_flag("--no-atlas", a->noAtlas, "leave out where the VOIs lie");
    command.add_flag("--methods", a->methods,
                     "end with a paragraph for a paper's methods section saying how the report "
                     "was made, with the references to cite; without FILE.voi, print just that");
    addTransformOption(command, a->request.transform);
    addBrainOption(command, a->request.brain);
    addAtlasSidesOption(command, a->request.sideRule);
    return [a]() -> int {
        voikit::OutputRequest request = a->request;
        request.anatomy = !a->noAtlas;
        request.methods = a->methods;
        if (a->file.voi.empty()) {
            if (!a->methods) {
                throw voikit::UsageError(
                    "report: FILE.voi is required (or --methods alone, for the methods "
                    "paragraph)");
            }
            const voikit::Methods methods = voikit::methodsOf(request);
            voikit::writeTextOutput("-", a->json ? voikit::methodsJson(methods).dump(2) + "\n"
                                                 : voikit::methodsText(methods));
            return kExitSuccess;
        }
        (a->json ? request.reportJson : request.report) = a->output.empty() ? "-" : a->output;
        return makeOutputs(a->file, request);
    };
}
