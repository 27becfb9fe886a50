// HelmoraZT.exe: a headless host that loads the Glomera plug-in and runs its commands.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "headless-host/command_line.h"
#include "headless-host/host_session.h"
#include "headless-host/plugin_library.h"
#include "headless-host/voi_exports.h"

namespace {

using headless::Action;
using headless::Options;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return ".";
    path[length] = '\0';
    std::string folder(path);
    return folder.substr(0, folder.rfind('/'));
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The "FileName" parameter for an output path: the plug-in adds ".voi" itself.
std::string fileNameFor(const std::string& output) {
    return endsWith(output, ".voi") ? output.substr(0, output.size() - 4) : output;
}

// A list file's path without its extension, for the default output name.
std::string withoutExtension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

// Splits "a,b,c" into exactly `count` parts; false when there are more or fewer.
bool splitCommas(const std::string& text, std::size_t count, std::vector<std::string>& parts) {
    parts.clear();
    std::size_t begin = 0;
    for (std::size_t comma; (comma = text.find(',', begin)) != std::string::npos;) {
        parts.push_back(text.substr(begin, comma - begin));
        begin = comma + 1;
    }
    parts.push_back(text.substr(begin));
    return parts.size() == count;
}

bool applyHeaderField(const std::string& field, const std::string& value,
                      headless::HostSession::VmrHeader& header, std::string& error) {
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0') {
        error = "--header " + field + " wants a number, not \"" + value + "\"";
        return false;
    }
    const auto whole = static_cast<std::int32_t>(number);
    const char* axes = "xyz";
    if (field == "reference-space") {
        header.referenceSpace = whole;
    } else if (field == "framing-cube") {
        header.framingCubeDim = whole;
    } else if (field == "lr-convention") {
        header.leftRightConvention = whole;
    } else if (field == "resolution" || field == "offset") {
        for (int i = 0; i < 3; ++i) {
            if (field == "resolution")
                header.resolution[i] = static_cast<float>(number);
            else
                header.offset[i] = whole;
        }
    } else if ((field.rfind("resolution-", 0) == 0 || field.rfind("offset-", 0) == 0) &&
               field.size() > 2 && std::strchr(axes, field.back()) != nullptr &&
               field[field.size() - 2] == '-') {
        const int axis = static_cast<int>(std::strchr(axes, field.back()) - axes);
        if (field[0] == 'r')
            header.resolution[axis] = static_cast<float>(number);
        else
            header.offset[axis] = whole;
    } else {
        error = "unknown --header field \"" + field + "\"";
        return false;
    }
    return true;
}

// Which file a path names at a moment, to tell a newly written file from an old one.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity& other) const {
        return exists == other.exists && device == other.device && inode == other.inode;
    }
};

FileIdentity identify(const std::string& path) {
    struct stat status {};
    FileIdentity identity;
    if (::stat(path.c_str(), &status) == 0) identity = {true, status.st_dev, status.st_ino};
    return identity;
}

class Run {
  public:
    Run(const Options& options, HLZTPluginInterface& plugin)
        : options_(options), plugin_(plugin), session_(headless::session()) {}

    // Runs every action; true when all of them went well.
    bool all() {
        bool ok = true;
        for (const Action& action : options_.actions) ok = one(action) && ok;
        for (const std::string& name : options_.printParameters) {
            std::printf("%s\n", session_.parameters[name].c_str());
        }
        return ok && session_.messageBoxes == 0 && session_.failedLoads == 0;
    }

  private:
    bool command(const std::string& name) {
        session_.parameters["Command"] = name;
        if (plugin_.execute()) return true;
        std::fprintf(stderr, "HelmoraZT: command \"%s\" returned false\n", name.c_str());
        return false;
    }

    // Reads a list file through the plug-in into the text box, as the dialog does with
    // the text that "ReadTextFile" hands over.
    bool readList(const std::string& path) {
        // A file dialog offers only files that exist; so does the command line.
        if (access(path.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "HelmoraZT: cannot read %s: %s\n", path.c_str(),
                         std::strerror(errno));
            return false;
        }
        session_.openFileAnswers.push_front(path);
        if (!command("ReadTextFile")) return false;
        session_.parameters["VOItext"] = session_.parameters["AllText"];
        return true;
    }

    bool start(bool fromList, const std::string& defaultOutput) {
        if (options_.output.empty()) session_.parameters["FileName"] = fileNameFor(defaultOutput);
        session_.parameters["listVOIinfoFrom"] = fromList ? "1" : "0";
        const int loadsBefore = session_.loads;
        const std::string target = session_.parameter("FileName") + ".voi";
        const FileIdentity before = identify(target);
        if (!command("Start")) return false;
        // The plug-in replaces its file by renaming a new one over it: a new identity.
        const FileIdentity after = identify(target);
        if (after.exists && !(after == before)) lastVoiFile_ = target;
        if (session_.intParameter("LoadInHL") == 1 && session_.loads == loadsBefore) {
            std::fprintf(stderr, "HelmoraZT: the plug-in wrote no VOI file\n");
            return false;
        }
        return true;
    }

    bool one(const Action& action) {
        switch (action.kind) {
            case Action::kSphere: {
                std::vector<std::string> parts;
                if (!splitCommas(action.argument, 4, parts)) {
                    std::fprintf(stderr, "HelmoraZT: --sphere wants X,Y,Z,R, not \"%s\"\n",
                                 action.argument.c_str());
                    return false;
                }
                const char* names[] = {"tX", "tY", "tZ", "Radius"};
                for (int i = 0; i < 4; ++i) session_.parameters[names[i]] = parts[i];
                return start(false, options_.name + ".voi");
            }
            case Action::kList:
                return readList(action.argument) &&
                       start(true, withoutExtension(action.argument) + ".voi");
            case Action::kClean:
                if (!readList(action.argument) || !command("CleanUpText")) return false;
                std::printf("%s\n", session_.parameters["VOItext"].c_str());
                return true;
            case Action::kSaveList:
                session_.saveFileAnswers.push_front(action.argument);
                return command("SaveTextFile");
            case Action::kCommand:
                return command(action.argument);
        }
        return false;
    }

  public:
    // The .voi file the last job wrote, if any.
    const std::string& lastVoiFile() const { return lastVoiFile_; }

  private:
    const Options& options_;
    HLZTPluginInterface& plugin_;
    headless::HostSession& session_;
    std::string lastVoiFile_;
};

// Makes what was asked of a .voi file; true when there was nothing to do.
bool exportVoi(const Options& options, const std::string& voiFile) {
    if (!options.exports.any()) return true;
    if (voiFile.empty()) {
        std::fprintf(stderr, "HelmoraZT: no .voi file to make --nifti, --png or --report of\n");
        return false;
    }
    std::string error;
    if (!headless::exportVoiFile(voiFile, options.exports, options.quiet ? nullptr : stdout,
                                 error)) {
        std::fprintf(stderr, "HelmoraZT: %s\n", error.c_str());
        return false;
    }
    return true;
}

// Sets up the session from the options: the document, the answers and the parameters.
bool configure(const Options& options, headless::HostSession& session, std::string& error) {
    std::memcpy(session.version, options.version, sizeof session.version);
    session.documentId = options.documentId;
    session.documentType = options.documentType;
    session.yesNoAnswer = options.yes ? 1 : 0;
    session.openFileAnswers.assign(options.openFileAnswers.begin(), options.openFileAnswers.end());
    session.saveFileAnswers.assign(options.saveFileAnswers.begin(), options.saveFileAnswers.end());
    if (options.quiet) {
        session.log = nullptr;
        session.dialogs = nullptr;
    }
    for (const auto& [field, value] : options.headerFields) {
        if (!applyHeaderField(field, value, session.header, error)) return false;
    }

    std::vector<std::string> rgb;
    if (!splitCommas(options.color, 3, rgb)) {
        error = "--color wants R,G,B, not \"" + options.color + "\"";
        return false;
    }
    auto& p = session.parameters;
    p["Name_of_VOI"] = options.name;
    p["cR"] = rgb[0];
    p["cG"] = rgb[1];
    p["cB"] = rgb[2];
    p["LoadInHL"] = options.load ? "1" : "0";
    p["listVOIinfoFrom"] = "0";
    if (!options.output.empty()) p["FileName"] = fileNameFor(options.output);
    for (const auto& [name, value] : options.parameters) p[name] = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!headless::parseCommandLine(argc, argv, options, error)) {
        std::fprintf(stderr, "HelmoraZT: %s\nTry '%s --help' for more information.\n",
                     error.c_str(), argv[0]);
        return kExitUsage;
    }
    if (options.help) {
        headless::printUsage(argv[0]);
        return 0;
    }
    // Work on an existing file alone needs no plug-in.
    if (!options.voiFile.empty() && options.actions.empty()) {
        return exportVoi(options, options.voiFile) ? 0 : kExitFailure;
    }
    headless::HostSession& session = headless::session();
    if (!configure(options, session, error)) {
        std::fprintf(stderr, "HelmoraZT: %s\n", error.c_str());
        return kExitUsage;
    }

    const std::string pluginPath =
        options.pluginPath.empty() ? programFolder() + "/Glomera.so" : options.pluginPath;
    headless::PluginLibrary library;
    if (!library.load(pluginPath, error)) {
        std::fprintf(stderr, "HelmoraZT: %s\n", error.c_str());
        return kExitUsage;
    }
    if (!options.quiet) {
        std::printf("HelmoraZT: plug-in %s %s, \"%s\", by %s (script %s, help %s)\n",
                    library.name().c_str(), library.version().c_str(),
                    library.description().c_str(), library.author().c_str(),
                    library.guiScript().c_str(), library.helpFile().c_str());
    }
    std::unique_ptr<HLZTPluginInterface> plugin(library.create());
    if (!plugin) {
        std::fprintf(stderr, "HelmoraZT: the plug-in created no object\n");
        return kExitFailure;
    }
    if (!plugin->initPlugin()) {
        std::fprintf(stderr, "HelmoraZT: the plug-in did not start\n");
        return kExitFailure;
    }
    Run run(options, *plugin);
    bool ok = run.all();
    plugin.reset();
    ok = exportVoi(options, options.voiFile.empty() ? run.lastVoiFile() : options.voiFile) && ok;
    return ok ? 0 : kExitFailure;
}
