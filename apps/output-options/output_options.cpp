#include "apps/output-options/output_options.h"

#include "apps/option-values/option_values.h"
#include "voikit/io/error.h"

CLI::Option* addAtlasSidesOption(CLI::App& command, voikit::AtlasSideRule& rule) {
    return options::addValue(command, "--atlas-sides", rule, options::atlasSideRuleKind(),
                             "what to do with an atlas whose labels mostly lie on the other side "
                             "of x = 0 from their names: check (default: refuse it) or ignore "
                             "(use it as it is, with a warning)");
}

void addPictureOptions(CLI::App& command, voikit::OutputRequest& request,
                       const std::string& group) {
    command.add_option("--svg", request.svg, "the same picture as SVG")
        ->type_name("PATH")
        ->group(group);
    command.add_option("--pdf", request.pdf, "the same picture as PDF")
        ->type_name("PATH")
        ->group(group);
    command
        .add_flag("--radiological", request.radiological,
                  "the subject's right on the left of the coronal and axial views, and of the "
                  "page until switched (default: neurological, right on the right)")
        ->group(group);
}

OutputOptions::OutputOptions(CLI::App& command, const std::string& group) {
    command
        .add_option("--nifti", request_.nifti,
                    "a NIfTI-1 label volume (.nii or .nii.gz), its label tables beside it")
        ->type_name("PATH")
        ->group(group);
    command
        .add_option("--grid", request_.grid,
                    "put the labels on this NIfTI image's grid instead of a 1 mm grid around "
                    "the VOIs")
        ->type_name("IMAGE")
        ->group(group);
    options::addValue(command, "--grid-space", request_.gridSpace, options::spaceKind(),
                      "the space of the --grid image's millimetres, where its header does not "
                      "say (its code is scanner, aligned or unknown): tal or mni")
        ->type_name("tal|mni")
        ->group(group);
    command
        .add_option("--png", request_.png,
                    "a picture: sagittal, coronal and axial projections over a glass brain, "
                    "each VOI numbered")
        ->type_name("PATH")
        ->group(group);
    addPictureOptions(command, request_, group);
    command
        .add_option("--report", request_.report,
                    "per VOI: name, colour, voxels, centre of mass, extent, where it lies; then "
                    "every pair of VOIs sharing voxels ('-': standard output)")
        ->type_name("PATH")
        ->group(group);
    command.add_option("--report-json", request_.reportJson, "the same as JSON")
        ->type_name("PATH")
        ->group(group);
    command
        .add_option("--html", request_.html,
                    "an interactive page that opens in any browser with no server or network: "
                    "the VOIs over the MNI template in a viewer, beside them their list with "
                    "centres in TAL and MNI and regions")
        ->type_name("PATH")
        ->group(group);
    command
        .add_option(
            "--atlas", atlases_,
            "look the VOIs up in this atlas for the reports and the page (repeatable): aal, "
            "brodmann, jhu, aicha, or an MNI label image IMAGE[:LABELS.txt]; default: "
            "the four named")
        ->type_name("NAME|IMAGE[:LABELS]")
        ->group(group);
    command
        .add_flag("--no-atlas", noAtlas_,
                  "leave out of the reports and the page where the VOIs lie")
        ->group(group);
    addAtlasSidesOption(command, request_.sideRule)->group(group);
    addBrainOption(command, request_.brain)->group(group);
}

CLI::Option* addBrainOption(CLI::App& command, std::string& brain) {
    return command
        .add_option("--brain", brain,
                    "the brain-extracted MNI template to check against, draw and show the "
                    "VOIs over (default: ch2bet of mricron-data)")
        ->type_name("IMAGE");
}

voikit::OutputRequest OutputOptions::request(voikit::MniToTal transform) const {
    if (!request_.grid.empty() && request_.nifti.empty()) {
        throw CLI::ValidationError("--grid goes with --nifti");
    }
    voikit::OutputRequest request = request_;
    if (!atlases_.empty()) request.atlases = atlases_;
    request.anatomy = !noAtlas_;
    request.transform = transform;
    try {
        voikit::checkOutputsDistinct(request);
    } catch (const voikit::Error& error) {
        throw CLI::ValidationError(error.what());
    }
    return request;
}
