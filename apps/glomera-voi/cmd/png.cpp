// glomera-voi png: a picture of a .voi file's VOIs over a glass brain.
#include <memory>

#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "apps/output-options/output_options.h"

namespace {

struct PngArguments {
    VoiFileArguments file;
    voikit::OutputRequest request;
};

}  // namespace

CommandRun cmd::declarePng(CLI::App& command) {
    command.description(
        "sagittal, coronal and axial projections over a glass brain, each VOI numbered, with "
        "a legend");
    const auto a = std::make_shared<PngArguments>();
    addVoiFileArguments(command, a->file);
    command.add_option("OUT", a->request.png, "the picture, .png")->required();
    addPictureOptions(command, a->request);
    addTransformOption(command, a->request.transform);
    addBrainOption(command, a->request.brain);
    return [a] { return makeOutputs(a->file, a->request); };
}
