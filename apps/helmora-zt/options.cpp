#include "apps/helmora-zt/options.h"

#include <map>

namespace {

constexpr const char* kFooter = R"(
The plug-in's log goes to standard output; message boxes, questions and file dialogs are
shown on standard error, marked [message box], [yes/no], [file dialog].

Exit status: 0 on success; 1 when the plug-in does not start, a command returns false, the
plug-in shows a message box, a job writes no VOI file, a written file fails to load, or an
output cannot be made; 2 on a usage error or when the plug-in cannot be loaded; 3 when a list
or table lost lines with coordinates or made no VOI (not with --allow-dropped).

Examples:
  HelmoraZT.exe --sphere 12,-20.5,5,8 --name Amygdala_L --color 255,0,128 -o amygdala.voi
  HelmoraZT.exe --list examples/mni_table.txt --space mni -o spheres.voi
  HelmoraZT.exe --raw-list examples/coordinates.txt -o spheres.voi
  HelmoraZT.exe --quiet --clean examples/coordinates.txt --save-list cleaned.txt
  HelmoraZT.exe --set VOItext='10 10 10 5 A 255 0 0' --run CleanUpText --print VOItext
  HelmoraZT.exe --list examples/coordinates.txt -o s.voi --nifti s.nii.gz --png s.png --report -

Any existing .voi file: glomera-voi info|nifti|png|report FILE.voi (see glomera-voi --help).)";

headless::UsageError refusal(const std::string& option, const std::string& form,
                             const std::string& text) {
    return headless::UsageError(option + " wants " + form + ", not \"" + text + "\"");
}

// "NAME=VALUE" texts as pairs, in order.
std::vector<std::pair<std::string, std::string>> assignments(
    const std::string& option, const std::string& form, const std::vector<std::string>& texts) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& text : texts) {
        const std::size_t equals = text.find('=');
        if (equals == std::string::npos || equals == 0) {
            throw refusal(option, form, text);
        }
        pairs.emplace_back(text.substr(0, equals), text.substr(equals + 1));
    }
    return pairs;
}

}  // namespace

CommandLine::CommandLine()
    : app_(
          "A headless host for the Glomera plug-in: loads the plug-in, plays the host's part\n"
          "(dialog parameters, current VMR document, log, message boxes, file dialogs) and\n"
          "runs the plug-in's commands. Every .voi file the plug-in asks the host to load is\n"
          "read back and checked strictly against the file format.",
          "HelmoraZT.exe") {
    app_.footer(kFooter);
    app_.get_formatter()->column_width(30);
    headless::Job& j = job;

    const char* jobs = "Main jobs (run in the order given, all in one plug-in lifetime)";
    app_.add_option("-s,--sphere", spheres_,
                    "one sphere VOI centred at TAL X,Y,Z with radius R mm (\"Start\" in dialog "
                    "mode)")
        ->type_name("X,Y,Z,R")
        ->group(jobs);
    app_.add_option("-l,--list", lists_,
                    "import the coordinate table FILE as pasted from a paper and make one "
                    "sphere VOI per coordinate line (\"Start\" in text-box mode); every line is "
                    "accounted for on standard error")
        ->type_name("FILE")
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
    app_.add_option("--color,--colour", j.color,
                    "VOI colour for --sphere (default 255,0,0) and for table rows without one "
                    "(default: a palette)")
        ->type_name("R,G,B")
        ->group(voi);
    app_.add_option("--radius", j.radius, "radius for table rows without one (default 6 mm)")
        ->type_name("R")
        ->group(voi);
    app_.add_option("--space", j.space,
                    "space of the coordinates of --sphere and --list: tal (default) or mni; "
                    "MNI coordinates are converted to TAL before the plug-in sees them")
        ->type_name("tal|mni")
        ->group(voi);
    app_.add_option("--mni-to-tal", j.transform,
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
    app_.add_option("--set", setValues_,
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
                    "plug-in to load (default: Glomera.so beside this program)")
        ->type_name("PATH")
        ->group(host);
    app_.add_option("--host-version", j.hostVersion,
                    "host version reported to the plug-in (default 2.2.0)")
        ->type_name("M.m.r")
        ->group(host);
    app_.add_option("--document-id", j.documentId, "current document (default 1; negative: none)")
        ->type_name("N")
        ->group(host);
    app_.add_option("--document-type", j.documentType, "its type (default 3, a VMR)")
        ->type_name("N")
        ->group(host);
    app_.add_option("--header", headerValues_,
                    "VMR header field: reference-space (1 = TAL, default), resolution, "
                    "resolution-x|y|z (default 1), offset, offset-x|y|z (default 0), "
                    "framing-cube (default 256), lr-convention (default 1)")
        ->type_name("FIELD=VALUE")
        ->group(host);

    const char* after = "Outputs of the file the jobs wrote";
    outputOptions_.emplace(app_, after);
    // Outputs of an existing file are the toolbox's work now.
    app_.add_option("--voi", removedVoi_)->group("");

    app_.add_flag("-q,--quiet", j.quiet,
                  "do not print the plug-in's log, the metadata or the file dialogs' answers")
        ->group("Output");
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
    if (!removedVoi_.empty()) {
        throw headless::UsageError(
            "--voi is gone: make the NIfTI, picture or report of an existing file with "
            "'glomera-voi nifti|png|report " +
            removedVoi_ + " ...'");
    }
    try {
        const auto transform = voikit::transformNamed(job.transform);
        outputs = outputOptions_->request(transform ? *transform : voikit::MniToTal::kSpm);
    } catch (const CLI::ValidationError& error) {
        throw headless::UsageError(error.what());
    }
    job.parameters = assignments("--set", "NAME=VALUE", setValues_);
    job.headerFields = assignments("--header", "FIELD=VALUE", headerValues_);
    collectActions();
    return true;
}

void CommandLine::collectActions() {
    using headless::Action;
    const std::map<const CLI::Option*, std::pair<Action::Kind, std::vector<std::string>*>> kinds = {
        {app_.get_option("--sphere"), {Action::kSphere, &spheres_}},
        {app_.get_option("--list"), {Action::kList, &lists_}},
        {app_.get_option("--raw-list"), {Action::kRawList, &rawLists_}},
        {app_.get_option("--clean"), {Action::kClean, &cleans_}},
        {app_.get_option("--save-list"), {Action::kSaveList, &saveLists_}},
        {app_.get_option("--run"), {Action::kCommand, &commands_}},
    };
    std::map<const CLI::Option*, std::size_t> used;
    for (const CLI::Option* option : app_.parse_order()) {
        const auto found = kinds.find(option);
        if (found == kinds.end()) continue;
        const auto& [kind, values] = found->second;
        job.actions.push_back({kind, values->at(used[option]++)});
    }
}
