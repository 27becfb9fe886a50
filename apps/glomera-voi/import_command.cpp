#include "apps/glomera-voi/import_command.h"

#include <cstdio>

#include "common/strict_number.h"
#include "host/host_operations.h"
#include "voikit/io/error.h"
#include "voikit/io/text_input.h"
#include "voikit/io/text_output.h"
#include "voikit/tables/table_import.h"

namespace {

constexpr int kExitDropped = 3;

// CLI11 checks from the strict number rules: an empty string when the text is taken.
std::string radiusCheck(const std::string& text) {
    const auto value = glomera::parseFiniteNumber(text);
    return value && *value > 0 ? "" : "wants a radius in mm above 0, not \"" + text + "\"";
}

std::string colourCheck(const std::string& text) {
    return glomera::parseRgb(text)
               ? ""
               : "wants R,G,B: three whole numbers from 0 to 255, not \"" + text + "\"";
}

}  // namespace

ImportCommand::ImportCommand(CLI::App& app)
    : command_(app.add_subcommand(
          "import",
          "a coordinate table as pasted from a paper made into the plug-in's list: one line "
          "\"x y z radius name r g b\" per VOI, in TAL; every input line accounted for")) {
    command_->add_option("TABLE", table_, "the table; '-' for standard input")->required();
    command_->add_option("-o,--output", output_, "the list file; default: standard output")
        ->type_name("LIST");
    command_->add_option("--space", space_, "the space of the table's coordinates (default tal)")
        ->check(CLI::IsMember({"tal", "mni"}));
    command_
        ->add_option("--mni-to-tal", transform_,
                     "the transform for MNI coordinates: Lancaster's spm (default), fsl or "
                     "other, or brett")
        ->check(CLI::IsMember({"spm", "fsl", "other", "brett"}));
    command_->add_option("--radius", radius_, "radius for rows without one (default 6 mm)")
        ->type_name("R")
        ->check(radiusCheck);
    command_
        ->add_option("--color,--colour", colour_,
                     "colour for rows without one (default: a palette, one per VOI)")
        ->type_name("R,G,B")
        ->check(colourCheck);
    command_->add_flag("--allow-dropped", allowDropped_,
                       "exit 0 even when coordinate lines were dropped");
}

int ImportCommand::run() const {
    voikit::ImportSettings settings;
    settings.space = *voikit::spaceNamed(space_);
    settings.transform = *voikit::transformNamed(transform_);
    if (!radius_.empty()) settings.radius = glomera::parseFiniteNumber(radius_);
    if (!colour_.empty()) settings.colour = glomera::parseRgb(colour_);
    // A list that the plug-in reads into its text box must fit there.
    settings.listLimit = glomera::host::kTextCapacity - 1;

    const voikit::ImportResult result =
        voikit::importTable(voikit::readTextInput(table_), settings);
    for (const voikit::ImportedLine& line : result.lines) {
        std::fprintf(stderr, "line %d: %s\n", line.number, line.account.c_str());
    }
    std::fprintf(stderr, "glomera-voi: %s (%s)\n", result.summary().c_str(),
                 result.encoding.c_str());
    voikit::writeTextOutput(output_.empty() ? "-" : output_, result.list);
    if (result.vois == 0 || (!result.complete() && !allowDropped_)) return kExitDropped;
    return 0;
}
