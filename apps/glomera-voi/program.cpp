#include "apps/glomera-voi/program.h"

#include "apps/exit-codes/exit_codes.h"
#include "voikit/provenance/version.h"

namespace {

// A new subcommand is one file in cmd/ and one row here.
struct Command {
    const char* name;
    DeclareCommand declare;
};

constexpr Command kCommands[] = {
    {"import", cmd::declareImport},   {"info", cmd::declareInfo},
    {"nifti", cmd::declareNifti},     {"png", cmd::declarePng},
    {"report", cmd::declareReport},   {"view", cmd::declareView},
    {"outputs", cmd::declareOutputs}, {"extract", cmd::declareExtract},
    {"where", cmd::declareWhere},
};

constexpr const char* kExamples = R"(

Examples:
  $ glomera-voi import table.txt -o list.txt --space mni
  $ glomera-voi info spheres.voi
  $ glomera-voi nifti spheres.voi spheres.nii.gz
  $ glomera-voi nifti spheres.voi on-t1.nii.gz --grid t1.nii.gz
  $ glomera-voi png spheres.voi spheres.png
  $ glomera-voi report spheres.voi - --json
  $ glomera-voi report --methods
  $ glomera-voi view spheres.voi -o spheres.html
  $ glomera-voi outputs spheres.voi --nifti s.nii.gz --png s.png --report s.txt
  $ glomera-voi extract spheres.voi bold.nii.gz -o means.tsv
  $ glomera-voi where 21,-13,8 --space mni)";

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

}  // namespace

std::map<const CLI::App*, CommandRun> declareProgram(CLI::App& app) {
    app.name(kProgram);
    app.description(
        "Makes of .voi files what the rest of the field reads: summaries, NIfTI label volumes, "
        "pictures, reports and interactive pages; and makes coordinate lists of pasted tables.");
    app.footer(footer());
    std::string version = voikit::versionText(kProgram);
    version.pop_back();  // CLI11 ends it with its own newline
    app.set_version_flag("--version", version, "print the version and the commit, then exit");
    app.require_subcommand(1);
    std::map<const CLI::App*, CommandRun> work;
    for (const Command& command : kCommands) {
        CLI::App* subcommand = app.add_subcommand(command.name);
        work[subcommand] = command.declare(*subcommand);
    }
    return work;
}

std::string commandNames() {
    std::string names;
    for (const Command& command : kCommands) {
        names += (names.empty() ? "" : ", ") + std::string(command.name);
    }
    return names;
}
