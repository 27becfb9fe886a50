#include "apps/glomera-voi/program.h"

#include <vector>

#include "apps/exit-codes/exit_codes.h"
#include "voikit/provenance/version.h"

namespace {

// A new subcommand is one file in cmd/ and one row here, with the examples its --help shows
// (the program's --help shows the first of each).
struct Command {
    const char* name;
    DeclareCommand declare;
    std::vector<const char*> examples;
};

const Command kCommands[] = {
    {"import",
     cmd::declareImport,
     {"import table.txt -o list.txt --space mni", "import table.txt -o - --radius 8"}},
    {"info", cmd::declareInfo, {"info spheres.voi"}},
    {"nifti",
     cmd::declareNifti,
     {"nifti spheres.voi spheres.nii.gz", "nifti spheres.voi on-t1.nii.gz --grid t1.nii.gz"}},
    {"png", cmd::declarePng, {"png spheres.voi spheres.png"}},
    {"report", cmd::declareReport, {"report spheres.voi - --json", "report --methods"}},
    {"view", cmd::declareView, {"view spheres.voi -o spheres.html"}},
    {"outputs",
     cmd::declareOutputs,
     {"outputs spheres.voi --nifti s.nii.gz --png s.png --report s.txt"}},
    {"extract",
     cmd::declareExtract,
     {"extract spheres.voi bold.nii.gz -o means.tsv",
      "extract --peaks table.txt --space mni bold.nii.gz --stats -o stats.tsv"}},
    {"where", cmd::declareWhere, {"where 21,-13,8 --space mni", "where --points peaks.txt"}},
};

std::string exampleLines(const std::vector<const char*>& examples) {
    std::string lines = "\n\nExamples:";
    for (const char* example : examples) lines += std::string("\n  $ ") + kProgram + " " + example;
    return lines;
}

std::string footer() {
    std::vector<const char*> examples;
    for (const Command& command : kCommands) examples.push_back(command.examples.front());
    return "\n" +
           exitStatusHelp({
               {kExitSuccess, "on success"},
               {kExitFailure,
                "when a file cannot be read or an output cannot be made (nothing is left half "
                "written)"},
               {kExitUsage, "on a usage error"},
               {kExitIncomplete,
                "when import dropped coordinate lines or made no VOI (0 with --allow-dropped as "
                "long as it made one), when a --peaks table made no sphere, or when extract "
                "--dry-run found an image it cannot read"},
           }) +
           exampleLines(examples);
}

}  // namespace

std::map<const CLI::App*, CommandRun> declareProgram(CLI::App& app) {
    app.name(kProgram);
    app.description(
        "Makes of .voi files what the rest of the field reads: summaries, NIfTI label volumes, "
        "pictures, reports and interactive pages; and makes coordinate lists of pasted tables.");
    std::string version = voikit::versionText(kProgram);
    version.pop_back();  // CLI11 ends it with its own newline
    app.set_version_flag("--version", version, "print the version and the commit, then exit");
    app.require_subcommand(1);
    std::map<const CLI::App*, CommandRun> work;
    for (const Command& command : kCommands) {
        CLI::App* subcommand = app.add_subcommand(command.name);
        work[subcommand] = command.declare(*subcommand);
        // Its own examples, unless the command's file gives them below its options; the exit
        // statuses are the program's, told once in its --help.
        std::string own = subcommand->get_footer();
        if (own.find("Examples:") == std::string::npos) own += exampleLines(command.examples);
        subcommand->footer(own + "\n\nExit status: see " + kProgram + " --help.");
    }
    // Set last, so that the subcommands do not take it over.
    app.footer(footer());
    return work;
}

std::string commandNames() {
    std::string names;
    for (const Command& command : kCommands) {
        names += (names.empty() ? "" : ", ") + std::string(command.name);
    }
    return names;
}
