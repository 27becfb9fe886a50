// glomera-voi import: a coordinate table as pasted from a paper, made into the plug-in's list.
#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/option-values/option_values.h"
#include "host/host_operations.h"
#include "voikit/io/text_input.h"
#include "voikit/io/text_output.h"
#include "voikit/tables/table_import.h"

namespace {

struct ImportArguments {
    std::string table;
    std::string output;
    voikit::ImportSettings settings;
    bool allowDropped = false;
};

// Prints the account of every line on standard error and writes the list; exits 3 when lines
// were dropped (unless allowed) or no VOI was made.
int importTable(const ImportArguments& a) {
    voikit::ImportSettings settings = a.settings;
    // A list that the plug-in reads into its text box must fit there.
    settings.listLimit = glomera::host::kTextCapacity - 1;
    const voikit::ImportResult result =
        voikit::importTable(voikit::readTextInput(a.table), settings);
    for (const voikit::ImportedLine& line : result.lines) {
        std::fprintf(stderr, "line %d: %s\n", line.number, line.account.c_str());
    }
    std::fprintf(stderr, "%s: %s (%s)\n", kProgram, result.summary().c_str(),
                 result.encoding.c_str());
    voikit::writeTextOutput(a.output.empty() ? "-" : a.output, result.list);
    if (result.vois == 0 || (!result.complete() && !a.allowDropped)) return kExitIncomplete;
    return kExitSuccess;
}

}  // namespace

CommandRun cmd::declareImport(CLI::App& command) {
    command.description(
        "a coordinate table as pasted from a paper made into the plug-in's list: one line "
        "\"x y z radius name r g b\" per VOI, in TAL; every input line accounted for");
    const auto a = std::make_shared<ImportArguments>();
    using options::Wording;
    command.add_option("TABLE", a->table, "the table; '-' for standard input")->required();
    command.add_option("-o,--output", a->output, "the list file; default: standard output")
        ->type_name("LIST");
    options::addValue(command, "--space", a->settings.space, options::spaceKind(), Wording::kCli11,
                      "the space of the table's coordinates (default tal)");
    options::addValue(command, "--mni-to-tal", a->settings.transform, options::transformKind(),
                      Wording::kCli11,
                      "the transform for MNI coordinates: Lancaster's spm (default), fsl or "
                      "other, or brett");
    options::addValue(command, "--radius", a->settings.radius, options::radiusKind(),
                      Wording::kCli11, "radius for rows without one (default 6 mm)")
        ->type_name("R");
    options::addValue(command, "--color,--colour", a->settings.colour, options::colourKind(),
                      Wording::kCli11,
                      "colour for rows without one (default: a palette, one per VOI)")
        ->type_name("R,G,B");
    command.add_flag("--allow-dropped", a->allowDropped,
                     "exit 0 even when coordinate lines were dropped");
    return [a] { return importTable(*a); };
}
