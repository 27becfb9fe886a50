#include "apps/glomera-voi/cmd/voi_file.h"

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/option-values/option_values.h"

void addVoiFileArguments(CLI::App& command, VoiFileArguments& arguments) {
    command.add_option("FILE.voi", arguments.voi, "the .voi file")
        ->required()
        ->check(CLI::ExistingFile);
    command.add_flag("-q,--quiet", arguments.quiet, "do not say what was written");
}

void addTransformOption(CLI::App& command, voikit::MniToTal& transform) {
    options::addValue(command, "--mni-to-tal", transform, options::transformKind(),
                      "the transform between TAL and MNI (for the atlases, the template and MNI "
                      "grids): Lancaster's spm (default), fsl or other, or brett");
}

voikit::Log commandLog(const VoiFileArguments& arguments) {
    voikit::Log log;
    if (!arguments.quiet) log.note = [](const std::string& text) { say(stderr, text); };
    log.warning = [](const std::string& text) { say(stderr, text); };
    return log;
}

int makeOutputs(const VoiFileArguments& arguments, voikit::OutputRequest request) {
    request.invocation = invocation();
    voikit::makeOutputs(arguments.voi, request, commandLog(arguments));
    return kExitSuccess;
}
