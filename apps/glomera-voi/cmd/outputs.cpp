// glomera-voi outputs: every output asked for, from one reading of the .voi file.
#include <memory>
#include <optional>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "apps/output-options/output_options.h"

namespace {

struct OutputsArguments {
    VoiFileArguments file;
    voikit::MniToTal transform = voikit::MniToTal::kSpm;
    std::optional<OutputOptions> outputs;  // declared on the command once it exists
};

}  // namespace

CommandRun cmd::declareOutputs(CLI::App& command) {
    command.description(
        "every output asked for (label volume, picture, reports, page) from one reading of the "
        "file");
    const auto a = std::make_shared<OutputsArguments>();
    addVoiFileArguments(command, a->file);
    addTransformOption(command, a->transform);
    a->outputs.emplace(command, "Outputs");
    return [a]() -> int {
        voikit::OutputRequest request;
        try {
            request = a->outputs->request(a->transform);
        } catch (const CLI::ValidationError& error) {
            say(stderr, error.what());
            return kExitUsage;
        }
        if (!request.any()) {
            say(stderr,
                "outputs: ask for at least one of --nifti, --png, --svg, --pdf, --report, "
                "--report-json, --html");
            return kExitUsage;
        }
        return makeOutputs(a->file, request);
    };
}
