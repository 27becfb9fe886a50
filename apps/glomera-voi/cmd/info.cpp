// glomera-voi info: what a .voi file holds, for a person to read.
#include <memory>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "voikit/io/text_output.h"
#include "voikit/outputs/voi_info.h"

CommandRun cmd::declareInfo(CLI::App& command) {
    command.description("the header, the VOIs and their voxel counts");
    const auto arguments = std::make_shared<VoiFileArguments>();
    addVoiFileArguments(command, *arguments);
    return [arguments] {
        voikit::writeTextOutput("-", voikit::voiInfo(arguments->voi, commandLog(*arguments)));
        return kExitSuccess;
    };
}
