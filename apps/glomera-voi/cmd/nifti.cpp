// glomera-voi nifti: a .voi file as a NIfTI label volume with its label table.
#include <memory>

#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "apps/option-values/option_values.h"

namespace {

struct NiftiArguments {
    VoiFileArguments file;
    voikit::OutputRequest request;
};

}  // namespace

CommandRun cmd::declareNifti(CLI::App& command) {
    command.description(
        "a NIfTI-1 label volume (16-bit, 0 background, i for the i-th VOI) and its label table "
        "(.tsv) beside it");
    const auto a = std::make_shared<NiftiArguments>();
    addVoiFileArguments(command, a->file);
    command.add_option("OUT", a->request.nifti, "the volume, .nii or .nii.gz")->required();
    command
        .add_option("--grid", a->request.grid,
                    "put the labels on this NIfTI image's grid instead of a 1 mm grid around "
                    "the VOIs")
        ->type_name("IMAGE")
        ->check(CLI::ExistingFile);
    options::addValue(command, "--grid-space", a->request.gridSpace, options::spaceKind(),
                      options::Wording::kCli11,
                      "the space of the grid image's millimetres, where its header does not say "
                      "(its code is scanner, aligned or unknown): tal or mni")
        ->type_name("tal|mni");
    addTransformOption(command, a->request.transform);
    return [a] { return makeOutputs(a->file, a->request); };
}
