// glomera-voi report: per VOI what it holds and where it lies, as text or JSON.
#include <memory>
#include <string>

#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"

namespace {

struct ReportArguments {
    VoiFileArguments file;
    voikit::OutputRequest request;
    std::string output;
    bool json = false;
    bool noAtlas = false;
};

}  // namespace

CommandRun cmd::declareReport(CLI::App& command) {
    command.description(
        "per VOI: name, colour, voxels, centre of mass, extent; then every pair of VOIs that "
        "share voxels");
    const auto a = std::make_shared<ReportArguments>();
    addVoiFileArguments(command, a->file);
    command.add_option("OUT", a->output, "where to write it; '-' (default) for standard output");
    command.add_flag("--json", a->json, "JSON for scripts instead of text");
    command
        .add_option("--atlas", a->request.atlases,
                    "look the VOIs up in this atlas (repeatable): aal, brodmann, jhu, aicha, or "
                    "any MNI label image with its label text, IMAGE[:LABELS.txt]; default: the "
                    "four named")
        ->type_name("NAME|IMAGE[:LABELS]");
    command.add_flag("--no-atlas", a->noAtlas, "leave out where the VOIs lie");
    addTransformOption(command, a->request.transform);
    addBrainOption(command, a->request.brain);
    return [a] {
        voikit::OutputRequest request = a->request;
        (a->json ? request.reportJson : request.report) = a->output.empty() ? "-" : a->output;
        request.anatomy = !a->noAtlas;
        return makeOutputs(a->file, request);
    };
}
