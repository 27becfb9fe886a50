// glomera-voi view: a .voi file made into one interactive HTML page that opens from disk.
#include <memory>
#include <string>

#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "apps/output-options/output_options.h"
#include "common/ends_with.h"

namespace {

struct ViewArguments {
    VoiFileArguments file;
    voikit::OutputRequest request;
    bool noAtlas = false;
};

// spheres.voi -> spheres.html, beside it.
std::string pageBeside(const std::string& voi) {
    const std::string base = glomera::endsWith(voi, ".voi") ? voi.substr(0, voi.size() - 4) : voi;
    return base + ".html";
}

}  // namespace

CommandRun cmd::declareView(CLI::App& command) {
    command.description(
        "one interactive HTML page that opens in any browser, from disk, with no server or "
        "network: the VOIs over the MNI template in a viewer, beside them their list with "
        "centres in TAL and MNI and regions; click a VOI to go to it");
    const auto a = std::make_shared<ViewArguments>();
    addVoiFileArguments(command, a->file);
    command.add_option("-o,--output", a->request.html, "the page; default: FILE.html beside it")
        ->type_name("PAGE.html");
    command.add_flag("--radiological", a->request.radiological,
                     "start with the subject's right on the left (the page has a switch)");
    command
        .add_option("--atlas", a->request.atlases,
                    "look the VOIs and the crosshair up in this atlas (repeatable): aal, "
                    "brodmann, jhu, aicha, or an MNI label image IMAGE[:LABELS.txt]; default: "
                    "the four named")
        ->type_name("NAME|IMAGE[:LABELS]");
    command.add_flag("--no-atlas", a->noAtlas, "leave out where the VOIs lie");
    addTransformOption(command, a->request.transform);
    addBrainOption(command, a->request.brain);
    return [a] {
        voikit::OutputRequest request = a->request;
        if (request.html.empty()) request.html = pageBeside(a->file.voi);
        request.anatomy = !a->noAtlas;
        return makeOutputs(a->file, request);
    };
}
