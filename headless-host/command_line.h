#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "headless-host/voi_exports.h"

namespace headless {

// One step of the work asked for on the command line, run in the order given.
struct Action {
    enum Kind {
        kSphere,    // "Start" in dialog mode for one sphere
        kList,      // read a list file, then "Start" in text-box mode
        kClean,     // read a list file, "CleanUpText", print the cleaned list
        kSaveList,  // "SaveTextFile" of the text box to a file
        kCommand,   // any command, as given
    };
    Kind kind;
    std::string argument;
};

struct Options {
    std::string pluginPath;  // empty: Glomera.so beside the program
    std::vector<Action> actions;
    std::vector<std::pair<std::string, std::string>> parameters;  // --set, in order
    std::vector<std::string> openFileAnswers;
    std::vector<std::string> saveFileAnswers;
    std::vector<std::string> printParameters;
    std::string output;  // empty: named after the sphere or the list
    std::string name = "VOI_1";
    std::string color = "255,0,0";
    bool load = true;
    bool yes = false;
    bool quiet = false;
    bool help = false;
    int version[3] = {2, 2, 0};
    int documentId = 1;
    int documentType = 3;
    std::vector<std::pair<std::string, std::string>> headerFields;  // --header, in order
    std::string voiFile;  // --voi: an existing file to export; empty: the one a run wrote
    ExportOptions exports;
};

// Parses the arguments; on a usage error returns false with `error` set.
bool parseCommandLine(int argc, char** argv, Options& options, std::string& error);

void printUsage(const char* program);

}  // namespace headless
