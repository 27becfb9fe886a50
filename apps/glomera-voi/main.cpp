// glomera-voi: what to do with .voi files outside the host, one subcommand each. A new
// subcommand is one file in cmd/ and one row in kCommands.
#include <CLI/CLI.hpp>
#include <map>
#include <new>
#include <string>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"

namespace {

struct Command {
    const char* name;
    DeclareCommand declare;
};

constexpr Command kCommands[] = {
    {"import", cmd::declareImport},   {"info", cmd::declareInfo},
    {"nifti", cmd::declareNifti},     {"png", cmd::declarePng},
    {"report", cmd::declareReport},   {"outputs", cmd::declareOutputs},
    {"extract", cmd::declareExtract},
};

constexpr const char* kExamples = R"(

Examples:
  glomera-voi import table.txt -o list.txt --space mni
  glomera-voi info spheres.voi
  glomera-voi nifti spheres.voi spheres.nii.gz
  glomera-voi nifti spheres.voi on-t1.nii.gz --grid t1.nii.gz
  glomera-voi png spheres.voi spheres.png
  glomera-voi report spheres.voi - --json
  glomera-voi outputs spheres.voi --nifti s.nii.gz --png s.png --report s.txt
  glomera-voi extract spheres.voi bold.nii.gz -o means.tsv)";

std::string footer() {
    return "\n" +
           exitStatusHelp({
               {kExitSuccess, "on success"},
               {kExitFailure,
                "when a file cannot be read or an output cannot be made (nothing is left half "
                "written)"},
               {kExitUsage, "on a usage error"},
               {kExitIncomplete,
                "when import dropped coordinate lines or made no VOI (0 with --allow-dropped as "
                "long as it made one)"},
           }) +
           kExamples;
}

// "import, info, ..." for a user who named no command there is.
std::string commandNames() {
    std::string names;
    for (const Command& command : kCommands) {
        names += (names.empty() ? "" : ", ") + std::string(command.name);
    }
    return names;
}

int run(int argc, char** argv) {
    CLI::App app(
        "Makes of .voi files what the rest of the field reads: summaries, NIfTI label volumes, "
        "pictures and reports; and makes coordinate lists of pasted tables.",
        kProgram);
    app.footer(footer());
    app.require_subcommand(1);
    std::map<const CLI::App*, CommandRun> work;
    for (const Command& command : kCommands) {
        CLI::App* subcommand = app.add_subcommand(command.name);
        work[subcommand] = command.declare(*subcommand);
    }

    const std::string first = argc > 1 ? argv[1] : "-";
    if (first[0] != '-' &&
        app.get_subcommands([&](CLI::App* c) { return c->check_name(first); }).empty()) {
        say(stderr,
            "no command \"" + first + "\"; the commands are " + commandNames() + " (see --help)");
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kExitSuccess : kExitUsage;
    }
    return work.at(app.get_subcommands().at(0))();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        say(stderr, "not enough memory to go on; nothing was left half written");
        return kExitFailure;
    } catch (const std::exception& error) {
        say(stderr, error.what());
        return kExitFailure;
    } catch (...) {
        say(stderr,
            "an unexpected error of no known kind stopped the work; nothing was left half "
            "written");
        return kExitFailure;
    }
}
