#include "headless-host/command_line.h"

#include <getopt.h>

#include <cstdio>
#include <cstdlib>

namespace headless {
namespace {

enum LongOnly {
    kColor = 256,
    kNoLoad,
    kSaveList,
    kSet,
    kRun,
    kOpenFile,
    kSaveFile,
    kYes,
    kNo,
    kPlugin,
    kHostVersion,
    kDocumentId,
    kDocumentType,
    kHeader,
    kPrint,
    kVoi,
    kNifti,
    kGrid,
    kPng,
    kReport,
    kReportJson,
};

const option kOptions[] = {
    {"sphere", required_argument, nullptr, 's'},
    {"list", required_argument, nullptr, 'l'},
    {"clean", required_argument, nullptr, 'c'},
    {"output", required_argument, nullptr, 'o'},
    {"name", required_argument, nullptr, 'n'},
    {"color", required_argument, nullptr, kColor},
    {"colour", required_argument, nullptr, kColor},
    {"no-load", no_argument, nullptr, kNoLoad},
    {"save-list", required_argument, nullptr, kSaveList},
    {"set", required_argument, nullptr, kSet},
    {"run", required_argument, nullptr, kRun},
    {"open-file", required_argument, nullptr, kOpenFile},
    {"save-file", required_argument, nullptr, kSaveFile},
    {"yes", no_argument, nullptr, kYes},
    {"no", no_argument, nullptr, kNo},
    {"plugin", required_argument, nullptr, kPlugin},
    {"host-version", required_argument, nullptr, kHostVersion},
    {"document-id", required_argument, nullptr, kDocumentId},
    {"document-type", required_argument, nullptr, kDocumentType},
    {"header", required_argument, nullptr, kHeader},
    {"print", required_argument, nullptr, kPrint},
    {"voi", required_argument, nullptr, kVoi},
    {"nifti", required_argument, nullptr, kNifti},
    {"grid", required_argument, nullptr, kGrid},
    {"png", required_argument, nullptr, kPng},
    {"report", required_argument, nullptr, kReport},
    {"report-json", required_argument, nullptr, kReportJson},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

bool parseInt(const char* text, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < -2147483648L || parsed > 2147483647L) return false;
    value = static_cast<int>(parsed);
    return true;
}

bool splitAssignment(const char* text, std::pair<std::string, std::string>& pair) {
    const std::string s(text);
    const std::size_t equals = s.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    pair = {s.substr(0, equals), s.substr(equals + 1)};
    return true;
}

}  // namespace

bool parseCommandLine(int argc, char** argv, Options& options, std::string& error) {
    optind = 1;
    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, ":s:l:c:o:n:qh", kOptions, nullptr)) != -1) {
        std::pair<std::string, std::string> pair;
        switch (option) {
            case 's':
                options.actions.push_back({Action::kSphere, optarg});
                break;
            case 'l':
                options.actions.push_back({Action::kList, optarg});
                break;
            case 'c':
                options.actions.push_back({Action::kClean, optarg});
                break;
            case kSaveList:
                options.actions.push_back({Action::kSaveList, optarg});
                break;
            case kRun:
                options.actions.push_back({Action::kCommand, optarg});
                break;
            case 'o':
                options.output = optarg;
                break;
            case 'n':
                options.name = optarg;
                break;
            case kColor:
                options.color = optarg;
                break;
            case kNoLoad:
                options.load = false;
                break;
            case kOpenFile:
                options.openFileAnswers.push_back(optarg);
                break;
            case kSaveFile:
                options.saveFileAnswers.push_back(optarg);
                break;
            case kYes:
                options.yes = true;
                break;
            case kNo:
                options.yes = false;
                break;
            case kPlugin:
                options.pluginPath = optarg;
                break;
            case kPrint:
                options.printParameters.push_back(optarg);
                break;
            case kVoi:
                options.voiFile = optarg;
                break;
            case kNifti:
                options.exports.nifti = optarg;
                break;
            case kGrid:
                options.exports.grid = optarg;
                break;
            case kPng:
                options.exports.png = optarg;
                break;
            case kReport:
                options.exports.report = optarg;
                break;
            case kReportJson:
                options.exports.reportJson = optarg;
                break;
            case 'q':
                options.quiet = true;
                break;
            case 'h':
                options.help = true;
                break;
            case kSet:
                if (!splitAssignment(optarg, pair)) {
                    error = std::string("--set wants NAME=VALUE, not \"") + optarg + "\"";
                    return false;
                }
                options.parameters.push_back(pair);
                break;
            case kHeader:
                if (!splitAssignment(optarg, pair)) {
                    error = std::string("--header wants FIELD=VALUE, not \"") + optarg + "\"";
                    return false;
                }
                options.headerFields.push_back(pair);
                break;
            case kHostVersion:
                if (std::sscanf(optarg, "%d.%d.%d", &options.version[0], &options.version[1],
                                &options.version[2]) != 3) {
                    error = std::string("--host-version wants MAJOR.MINOR.REVISION, not \"") +
                            optarg + "\"";
                    return false;
                }
                break;
            case kDocumentId:
            case kDocumentType:
                if (!parseInt(optarg,
                              option == kDocumentId ? options.documentId : options.documentType)) {
                    error = std::string("not an integer: \"") + optarg + "\"";
                    return false;
                }
                break;
            case ':':
                error = std::string("option ") + argv[optind - 1] + " needs a value";
                return false;
            default:
                error = std::string("unknown option ") + argv[optind - 1];
                return false;
        }
    }
    if (optind < argc) {
        error = std::string("unexpected argument \"") + argv[optind] + "\"";
        return false;
    }
    if (!options.exports.grid.empty() && options.exports.nifti.empty()) {
        error = "--grid goes with --nifti";
        return false;
    }
    if (!options.voiFile.empty() && !options.exports.any()) {
        error =
            "--voi wants something to make of the file: --nifti, --png, --report or "
            "--report-json";
        return false;
    }
    return true;
}

void printUsage(const char* program) {
    std::printf(
        "Usage: %s [OPTION]...\n"
        "\n"
        "A headless host for the Glomera plug-in: loads the plug-in, plays the host's part\n"
        "(dialog parameters, current VMR document, log, message boxes, file dialogs) and\n"
        "runs the plug-in's commands. Every .voi file the plug-in asks the host to load is\n"
        "read back and checked strictly against the file format.\n"
        "\n"
        "Main jobs (run in the order given, all in one plug-in lifetime):\n"
        "  -s, --sphere X,Y,Z,R     one sphere VOI centred at TAL X,Y,Z with radius R mm\n"
        "                           (\"Start\" in dialog mode)\n"
        "  -l, --list FILE          one sphere VOI per valid line of the coordinate list FILE\n"
        "                           (\"ReadTextFile\", then \"Start\" in text-box mode)\n"
        "  -c, --clean FILE         clean the coordinate list FILE and print the cleaned list\n"
        "                           (\"ReadTextFile\", then \"CleanUpText\")\n"
        "      --save-list FILE     save the text box to FILE (\"SaveTextFile\")\n"
        "      --run COMMAND        send any command, e.g. --run Start or --run CleanUpText\n"
        "\n"
        "VOI options:\n"
        "  -o, --output PATH        the .voi file to write; \".voi\" is added unless PATH ends\n"
        "                           with it. Default: NAME.voi for --sphere, the list's name\n"
        "                           with .voi for --list\n"
        "  -n, --name NAME          VOI name for --sphere (default VOI_1)\n"
        "      --color R,G,B        VOI colour for --sphere (default 255,0,0)\n"
        "      --no-load            do not have the host load the written file (LoadInHL=0)\n"
        "\n"
        "Dialog and user:\n"
        "      --set NAME=VALUE     set a dialog parameter (after the options above, so it\n"
        "                           wins); e.g. --set Radius=7.5 --set listVOIinfoFrom=1\n"
        "      --open-file PATH     answer for the next open-file dialog (repeatable)\n"
        "      --save-file PATH     answer for the next save-file dialog (repeatable);\n"
        "                           a dialog left without an answer counts as cancelled\n"
        "      --yes, --no          answer to the plug-in's yes/no question (default: no)\n"
        "      --print NAME         print a dialog parameter after the commands (repeatable)\n"
        "\n"
        "Host and document:\n"
        "      --plugin PATH        plug-in to load (default: Glomera.so beside this program)\n"
        "      --host-version M.m.r host version reported to the plug-in (default 2.2.0)\n"
        "      --document-id N      current document (default 1; negative: none)\n"
        "      --document-type N    its type (default 3, a VMR)\n"
        "      --header FIELD=VALUE VMR header field: reference-space (1 = TAL, default),\n"
        "                           resolution, resolution-x|y|z (default 1), offset,\n"
        "                           offset-x|y|z (default 0), framing-cube (default 256),\n"
        "                           lr-convention (default 1)\n"
        "\n"
        "VOI files beyond the host (of --voi FILE, else of the file the jobs wrote):\n"
        "      --voi FILE           an existing .voi file; alone with the options below it\n"
        "                           runs no plug-in\n"
        "      --nifti PATH         a NIfTI-1 label volume (.nii or .nii.gz): 16-bit, 0 for\n"
        "                           background, i for the i-th VOI, the TAL transform in\n"
        "                           qform and sform; the label table goes beside it as .tsv.\n"
        "                           Where VOIs overlap the later one wins, and it is said\n"
        "      --grid IMAGE         put the labels on this NIfTI image's grid (its sform,\n"
        "                           else its qform) instead of a 1 mm grid around the VOIs;\n"
        "                           voxels outside it are counted and reported\n"
        "      --png PATH           a picture: projections from the left, the front and\n"
        "                           above, the accepted box, mm axes and a legend\n"
        "      --report PATH        per VOI: name, colour, voxels, centre of mass, extent;\n"
        "                           then every pair of VOIs sharing voxels ('-': stdout)\n"
        "      --report-json PATH   the same as JSON\n"
        "\n"
        "Output:\n"
        "  -q, --quiet              do not print the plug-in's log, the metadata or the\n"
        "                           file dialogs' answers\n"
        "  -h, --help               show this help\n"
        "\n"
        "The plug-in's log goes to standard output; message boxes, questions and file\n"
        "dialogs are shown on standard error, marked [message box], [yes/no], [file dialog].\n"
        "\n"
        "Exit status: 0 on success; 1 when the plug-in does not start, a command returns\n"
        "false, the plug-in shows a message box, a job writes no VOI file, or a written file\n"
        "fails to load; 2 on a usage error or when the plug-in cannot be loaded.\n"
        "\n"
        "Examples:\n"
        "  %s --sphere 12,-20.5,5,8 --name Amygdala_L --color 255,0,128 -o amygdala.voi\n"
        "  %s --list examples/coordinates.txt -o spheres.voi\n"
        "  %s --quiet --clean examples/coordinates.txt --save-list cleaned.txt\n"
        "  %s --set VOItext='10 10 10 5 A 255 0 0' --run CleanUpText --print VOItext\n"
        "  %s --list examples/coordinates.txt -o s.voi --nifti s.nii.gz --png s.png --report -\n"
        "  %s --voi s.voi --nifti on-t1.nii.gz --grid t1.nii.gz\n",
        program, program, program, program, program, program, program);
}

}  // namespace headless
