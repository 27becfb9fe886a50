// glomera-voi outputs: every output asked for, from one reading of the .voi file.
#include <memory>
#include <optional>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "apps/output-options/output_options.h"
#include "voikit/io/error.h"

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
            throw voikit::UsageError(error.what());
        }
        if (!request.any()) {
            throw voikit::UsageError(
                "outputs: ask for at least one of --nifti, --png, --svg, --pdf, --report, "
                "--report-json, --html");
        }
        return makeOutputs(a->file, request);
    };
}
