#include "apps/helmora-zt/options.h"

#include <map>

#include "apps/exit-codes/exit_codes.h"
#include "apps/helmora-zt/host_values.h"
#include "apps/option-values/option_values.h"
#include "common/installed_files.h"
#include "glomera_versions.h"
#include "voikit/provenance/version.h"

namespace {

std::string footer() {
    return R"(
The plug-in's log goes to standard output; message boxes, questions and file dialogs are
shown on standard error, marked [message box], [yes/no], [file dialog].

)" +
           exitStatusHelp({
               {kExitSuccess, "on success"},
               {kExitFailure,
                "when the plug-in does not start, a command returns false, the plug-in shows a "
                "message box, a job writes no VOI file, a written file fails to load, or an output "
                "cannot be made"},
               {kExitUsage, "on a usage error or when the plug-in cannot be loaded"},
               {kExitIncomplete,
                "when a list or table lost lines with coordinates or made no VOI (not with "
                "--allow-dropped)"},
           }) +
           R"(

Examples:
  $ HelmoraZT.exe --sphere 12,-20.5,5,8 --name Amygdala_L --color 255,0,128 -o amygdala.voi
  $ HelmoraZT.exe --list examples/mni_table.txt --space mni -o spheres.voi
  $ HelmoraZT.exe --raw-list examples/coordinates.txt -o spheres.voi
  $ HelmoraZT.exe --quiet --clean examples/coordinates.txt --save-list cleaned.txt
  $ HelmoraZT.exe --set VOItext='10 10 10 5 A 255 0 0' --run CleanUpText --print VOItext
  $ HelmoraZT.exe --list examples/coordinates.txt -o s.voi --nifti s.nii.gz --png s.png --report -

Any existing .voi file: glomera-voi outputs FILE.voi --nifti ... --png ... --report ...,
or info|nifti|png|report|view FILE.voi (see glomera-voi --help).)";
}

}  // namespace

CommandLine::CommandLine()
    : app_(
          "A headless host for the Glomera plug-in: loads the plug-in, plays the host's part\n"
          "(dialog parameters, current VMR document, log, message boxes, file dialogs) and\n"
          "runs the plug-in's commands. Every .voi file the plug-in asks the host to load is\n"
          "read back and checked strictly against the file format.",
          kProgramFile) {
    app_.footer(footer());
    app_.get_formatter()->column_width(30);
    headless::Job& j = job;
    using options::addValue;

    const char* jobs = "Main jobs (run in the order given, all in one plug-in lifetime)";
    addValue(app_, "-s,--sphere", spheres_, sphereKind(),
             "one sphere VOI centred at TAL X,Y,Z with radius R mm (\"Start\" in dialog mode)")
        ->type_name("X,Y,Z,R")
        ->group(jobs);
    app_.add_option("-l,--list", lists_,
                    "import the coordinate table FILE as pasted from a paper and make one "
                    "sphere VOI per coordinate line (\"Start\" in text-box mode); every line is "
                    "accounted for on standard error")
        ->type_name("FILE")
        ->group(jobs);
    app_.add_option("--review", reviews_,
                    "write a page that shows what was read of the table of a --list: the table "
                    "as pasted with the cells taken marked, each line's fate, the reading, the "
                    "space and the spheres over the MNI template; repeatable, the n-th page "
                    "for the n-th --list")
        ->type_name("PAGE.html")
        ->group(jobs);
    app_.add_option("--raw-list", rawLists_,
                    "hand the list FILE to the plug-in untouched (\"ReadTextFile\", then "
                    "\"Start\"); the lines its clean-up drops are accounted for")
        ->type_name("FILE")
        ->group(jobs);
    app_.add_option("-c,--clean", cleans_,
                    "clean the coordinate list FILE and print the cleaned list "
                    "(\"ReadTextFile\", then \"CleanUpText\")")
        ->type_name("FILE")
        ->group(jobs);
    app_.add_option("--save-list", saveLists_, "save the text box to FILE (\"SaveTextFile\")")
        ->type_name("FILE")
        ->group(jobs);
    app_.add_option("--run", commands_, "send any command, e.g. --run Start")
        ->type_name("COMMAND")
        ->group(jobs);

    const char* voi = "VOI options";
    app_.add_option("-o,--output", j.output,
                    "the .voi file to write; \".voi\" is added unless PATH ends with it. "
                    "Default: NAME.voi for --sphere, the list's name with .voi for --list")
        ->type_name("PATH")
        ->group(voi);
    app_.add_option("-n,--name", j.name, "VOI name for --sphere (default VOI_1)")
        ->type_name("NAME")
        ->group(voi);
    addValue(app_, "--color,--colour", j.colour, options::colourKind(),
             "VOI colour for --sphere (default 255,0,0) and for table rows without one "
             "(default: a palette)")
        ->type_name("R,G,B")
        ->group(voi);
    addValue(app_, "--radius", j.radius, options::radiusKind(),
             options::radiusHelp("radius for table rows"))
        ->type_name("R")
        ->group(voi);
    addValue(app_, "--space", j.space, options::spaceKind(),
             "space of the coordinates of --sphere (default tal) and --list (default: the "
             "table's own, else tal): tal or mni; MNI coordinates are converted to TAL before "
             "the plug-in sees them")
        ->type_name("tal|mni")
        ->group(voi);
    addValue(app_, "--mni-to-tal", j.transform, options::transformKind(),
             "the MNI to TAL transform: Lancaster's spm (default), fsl or other, or brett")
        ->type_name("NAME")
        ->group(voi);
    app_.add_flag("--allow-dropped", j.allowDropped,
                  "exit 0 even when list lines with coordinates were dropped")
        ->group(voi);
    app_.add_flag_callback(
            "--no-load", [&j] { j.load = false; },
            "do not have the host load the written file (LoadInHL=0)")
        ->group(voi);

    const char* dialog = "Dialog and user";
    addValue(app_, "--set", j.parameters, assignmentKind("NAME=VALUE"),
             "set a dialog parameter (after the options above, so it wins)")
        ->type_name("NAME=VALUE")
        ->group(dialog);
    app_.add_option("--open-file", j.openFileAnswers,
                    "answer for the next open-file dialog (repeatable)")
        ->type_name("PATH")
        ->group(dialog);
    app_.add_option("--save-file", j.saveFileAnswers,
                    "answer for the next save-file dialog (repeatable); a dialog left without "
                    "an answer counts as cancelled")
        ->type_name("PATH")
        ->group(dialog);
    app_.add_flag("--yes,!--no", j.yes, "answer to the plug-in's yes/no question (default: no)")
        ->group(dialog);
    app_.add_option("--print", j.printParameters,
                    "print a dialog parameter after the commands (repeatable)")
        ->type_name("NAME")
        ->group(dialog);

    const char* host = "Host and document";
    app_.add_option("--plugin", pluginPath,
                    "plug-in to load (default: Glomera.so beside this program, else in " +
                        std::string(glomera::pluginFolderFromPrograms()) +
                        " from it, the plug-in folder of an installed prefix)")
        ->type_name("PATH")
        ->group(host);
    addValue(app_, "--host-version", j.hostVersion, versionKind(),
             "host version reported to the plug-in (default " GLOMERA_MINIMUM_HOST_VERSION ")")
        ->type_name("M.m.r")
        ->group(host);
    addValue(app_, "--document-id", j.documentId, wholeNumberKind(),
             "current document (default 1; negative: none)")
        ->type_name("N")
        ->group(host);
    addValue(app_, "--document-type", j.documentType, wholeNumberKind(),
             "its type (default 3, a VMR)")
        ->type_name("N")
        ->group(host);
    app_.add_option(
            "--header",
            [&j](const CLI::results_t& assignments) {
                for (const std::string& assignment : assignments) {
                    setHeaderField(assignment, j.header);
                }
                return true;
            },
            "VMR header field: reference-space (1 = TAL, default), resolution, "
            "resolution-x|y|z (default 1), offset, offset-x|y|z (default 0), framing-cube "
            "(default 256), lr-convention (default 1)")
        ->type_name("FIELD=VALUE")
        ->expected(CLI::detail::expected_max_vector_size)
        ->group(host);

    const char* after = "Outputs of the file the jobs wrote";
    outputOptions_.emplace(app_, after);

    app_.add_flag("-q,--quiet", j.quiet,
                  "do not print the plug-in's log, the metadata or the file dialogs' answers")
        ->group("Output");
    app_.add_flag("--version", "print the version and the commit, then exit")->group("Output");
}

bool CommandLine::parse(int argc, char** argv) {
    try {
        app_.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app_.help().c_str(), stdout);
        return false;
    } catch (const CLI::ParseError& error) {
        throw headless::UsageError(error.what());
    }
    if (app_.count("--version") > 0) {
        std::fputs(voikit::versionText(kProgramFile).c_str(), stdout);
        return false;
    }
    try {
        outputs = outputOptions_->request(job.transform);
    } catch (const CLI::ValidationError& error) {
        throw headless::UsageError(error.what());
    }
    collectActions();
    return true;
}

void CommandLine::collectActions() {
    using headless::Action;
    const CLI::Option* sphere = app_.get_option("--sphere");
    const std::map<const CLI::Option*, std::pair<Action::Kind, std::vector<std::string>*>> kinds = {
        {app_.get_option("--list"), {Action::kList, &lists_}},
        {app_.get_option("--raw-list"), {Action::kRawList, &rawLists_}},
        {app_.get_option("--clean"), {Action::kClean, &cleans_}},
        {app_.get_option("--save-list"), {Action::kSaveList, &saveLists_}},
        {app_.get_option("--run"), {Action::kCommand, &commands_}},
    };
    std::map<const CLI::Option*, std::size_t> used;
    for (const CLI::Option* option : app_.parse_order()) {
        if (option == sphere) {
            job.actions.push_back({Action::kSphere, "", spheres_.at(used[option]++), {}});
            continue;
        }
        const auto found = kinds.find(option);
        if (found == kinds.end()) continue;
        const auto& [kind, values] = found->second;
        job.actions.push_back({kind, values->at(used[option]++), {}, {}});
    }
    // Each review page goes with a --list, in the order both are given.
    std::size_t page = 0;
    for (headless::Action& action : job.actions) {
        if (action.kind == Action::kList && page < reviews_.size())
            action.review = reviews_[page++];
    }
    if (page < reviews_.size()) {
        throw headless::UsageError(
            "--review shows what was read of a --list: " + std::to_string(reviews_.size()) +
            " pages asked for " + std::to_string(lists_.size()) +
            (lists_.size() == 1 ? " list" : " lists"));
    }
}
