#include "headless/job.h"

#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/ends_with.h"
#include "coordlist/clean_up_account.h"
#include "host/host_operations.h"
#include "plugin/dialog_parameters.h"
#include "voikit/io/error.h"
#include "voikit/io/print.h"
#include "voikit/io/sha256.h"
#include "voikit/io/text_input.h"
#include "voikit/outputs/list_voi_file.h"
#include "voikit/provenance/provenance.h"
#include "voikit/provenance/version.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/tables/table_import.h"

namespace headless {
namespace {

namespace param = glomera::param;

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

// A list file's path without its extension, for the default output name.
std::string withoutExtension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

constexpr std::array<int, 3> kDefaultSphereColour = {255, 0, 0};

}  // namespace

std::string fileNameFor(const std::string& output) {
    return glomera::endsWith(output, ".voi") ? output.substr(0, output.size() - 4) : output;
}

void configureSession(const Job& job, HostSession& session) {
    for (int i = 0; i < 3; ++i) session.version[i] = job.hostVersion[i];
    session.documentId = job.documentId;
    session.documentType = job.documentType;
    session.header = job.header;
    session.yesNoAnswer = job.yes ? 1 : 0;
    session.openFileAnswers.assign(job.openFileAnswers.begin(), job.openFileAnswers.end());
    session.saveFileAnswers.assign(job.saveFileAnswers.begin(), job.saveFileAnswers.end());
    if (job.quiet) {
        session.log = nullptr;
        session.dialogs = nullptr;
    }
    const std::array<int, 3> rgb = job.colour.value_or(kDefaultSphereColour);
    auto& p = session.parameters;
    p[param::kVoiName] = job.name;
    p[param::kRed] = std::to_string(rgb[0]);
    p[param::kGreen] = std::to_string(rgb[1]);
    p[param::kBlue] = std::to_string(rgb[2]);
    p[param::kLoadInHost] = job.load ? "1" : "0";
    p[param::kListSource] = "0";
    if (!job.output.empty()) p[param::kFileName] = fileNameFor(job.output);
    for (const auto& [name, value] : job.parameters) p[name] = value;
}

bool JobRunner::runAll() {
    bool ok = true;
    for (const Action& action : job_.actions) ok = run(action) && ok;
    for (const std::string& name : job_.printParameters) {
        voikit::print(stdout, "{}\n", session_.parameters[name]);
    }
    return ok && session_.messageBoxes == 0 && session_.failedLoads == 0;
}

void JobRunner::complain(const std::string& message) const {
    if (session_.messages) voikit::print(session_.messages, "{}: {}\n", kHostName, message);
}

bool JobRunner::command(const std::string& name) {
    session_.parameters[param::kCommand] = name;
    if (plugin_.execute()) return true;
    complain("command \"" + name + "\" returned false");
    return false;
}

// Reads a list file through the plug-in into the text box, as the dialog does with the
// text that "ReadTextFile" hands over.
bool JobRunner::readList(const std::string& path) {
    // A file dialog offers only files that exist; so does the command line.
    if (access(path.c_str(), R_OK) != 0) {
        complain("cannot read " + path + ": " + std::strerror(errno));
        return false;
    }
    session_.openFileAnswers.push_front(path);
    if (!command("ReadTextFile")) return false;
    session_.parameters[param::kVoiText] = session_.parameters[param::kAllText];
    return true;
}

void JobRunner::account(const std::string& path, int number, const std::string& text) const {
    if (job_.quiet && text.rfind("dropped", 0) != 0) return;
    if (session_.messages) {
        voikit::print(session_.messages, "{} line {}: {}\n", path, number, text);
    }
}

void JobRunner::settle(const std::string& path, const std::string& summary, bool complete) {
    complain(path + ": " + summary);
    if (!complete && !job_.allowDropped) incomplete_ = true;
}

// Imports a table as people paste it and hands the plug-in the list it makes, accounting for
// every line.
bool JobRunner::importTable(const Action& action) {
    const std::string& path = action.argument;
    std::string bytes;
    try {
        bytes = voikit::readTextInput(path);
    } catch (const voikit::Error& error) {
        complain(error.what());
        return false;
    }
    voikit::ImportSettings settings;
    settings.space = job_.space;
    settings.transform = job_.transform;
    settings.radius = job_.radius;
    settings.colour = job_.colour;
    settings.listLimit = glomera::host::kTextCapacity - 1;
    const voikit::ImportResult result = voikit::importTable(bytes, settings);
    if (!result.notText.empty()) {
        complain(path + ": " + result.notText);
        return false;
    }
    if (!result.spaceConflict.empty()) throw UsageError(path + ": " + result.spaceConflict);
    for (const voikit::ImportedLine& line : result.lines) account(path, line.number, line.account);
    for (const std::string& note : result.notes) complain(path + ": note: " += note);
    for (const std::string& warning : result.warnings) complain(path + ": warning: " += warning);
    settle(path, result.summary() + " (" + result.layout + ", " + result.encoding + ")",
           result.complete());
    if (result.vois == 0) {
        incomplete_ = true;
        if (onImported && !action.review.empty()) {
            onImported({path, bytes, settings, result, "", action.review});
        }
        return true;
    }
    session_.parameters[param::kVoiText] = result.list;
    voikit::InputSpaceRecord input = voikit::listInputSpace(
        result, job_.transform,
        voikit::InputFile{"source table", path, bytes.size(), voikit::sha256Of(bytes)});
    // The file this table's spheres went to, whatever an earlier job wrote.
    const std::string earlier = lastVoiFile_;
    lastVoiFile_.clear();
    const bool started = start(true, withoutExtension(path) + ".voi", std::move(input));
    const std::string written = lastVoiFile_;
    if (written.empty()) lastVoiFile_ = earlier;
    if (onImported && !action.review.empty()) {
        onImported({path, bytes, settings, result, written, action.review});
    }
    return started;
}

bool JobRunner::start(bool fromList, const std::string& defaultOutput,
                      voikit::InputSpaceRecord input) {
    if (job_.output.empty()) session_.parameters[param::kFileName] = fileNameFor(defaultOutput);
    session_.parameters[param::kListSource] = fromList ? "1" : "0";
    const int loadsBefore = session_.loads;
    const std::string target = session_.parameter(param::kFileName) + ".voi";
    const FileIdentity before = identify(target);
    if (!command("Start")) return false;
    // The plug-in replaces its file by renaming a new one over it: a new identity.
    const FileIdentity after = identify(target);
    if (after.exists && !(after == before)) {
        lastVoiFile_ = target;
        // The .voi file cannot say what its coordinates were given in: the record beside it
        // does, for the reports' methods and for extraction.
        input.writtenBy = std::string(kHostName) + " (Glomera " + voikit::glomeraVersion() + ")";
        try {
            voikit::writeInputSpaceRecord(target, std::move(input));
        } catch (const std::exception& error) {
            complain(std::string("the input-space record beside ") + target +
                     " could not be written: " + error.what());
            return false;
        }
    }
    if (session_.intParameter(param::kLoadInHost) == 1 && session_.loads == loadsBefore) {
        complain("the plug-in wrote no VOI file");
        return false;
    }
    return true;
}

bool JobRunner::run(const Action& action) {
    switch (action.kind) {
        case Action::kSphere: {
            // The dialog holds the fields as typed; MNI ones are turned into TAL first.
            std::array<std::string, 4> fields = action.sphere.text;
            if (job_.space == voikit::Space::kMni) {
                const std::array<double, 4>& mni = action.sphere.value;
                const voikit::Point tal =
                    voikit::mniToTal({mni[0], mni[1], mni[2]}, job_.transform);
                if (session_.log) {
                    voikit::print(session_.log,
                                  "{}: MNI {} {} {} is TAL {:.1f} {:.1f} {:.1f} ({})\n", kHostName,
                                  fields[0], fields[1], fields[2], tal[0], tal[1], tal[2],
                                  voikit::transformName(job_.transform));
                }
                // Nine digits: as near as the plug-in's 32-bit fields hold.
                for (int i = 0; i < 3; ++i) fields[i] = fmt::format("{:.9g}", tal[i]);
            }
            const char* names[] = {param::kCentreX, param::kCentreY, param::kCentreZ,
                                   param::kRadius};
            for (int i = 0; i < 4; ++i) session_.parameters[names[i]] = fields[i];
            voikit::InputSpaceRecord input;
            input.transform = job_.transform;
            const std::array<double, 4>& given = action.sphere.value;
            const voikit::Space space = job_.space.value_or(voikit::Space::kTal);
            const voikit::Point written = {given[0], given[1], given[2]};
            input.spheres.push_back({job_.name, space, written,
                                     voikit::toTal(written, space, job_.transform), given[3]});
            return start(false, job_.name + ".voi", std::move(input));
        }
        case Action::kList:
            return importTable(action);
        case Action::kRawList: {
            if (!readList(action.argument)) return false;
            // The plug-in cleans the list as it starts; the same rules tell which lines go.
            const glomera::CleanUpAccount cleanUp =
                glomera::accountForCleanUp(session_.parameters[param::kVoiText]);
            for (const auto& line : cleanUp.lines) {
                account(action.argument, line.number, line.account);
            }
            settle(action.argument,
                   fmt::format("{} VOIs from {} lines; {} of {} coordinate lines dropped",
                               cleanUp.kept, cleanUp.lines.size(), cleanUp.dropped,
                               cleanUp.kept + cleanUp.dropped),
                   cleanUp.dropped == 0 && cleanUp.kept > 0);
            if (cleanUp.kept == 0) incomplete_ = true;
            // A list holds TAL coordinates by its format; the spheres are its own lines.
            voikit::InputSpaceRecord input;
            input.source = voikit::checksummedFile("source list", action.argument);
            return start(true, withoutExtension(action.argument) + ".voi", std::move(input));
        }
        case Action::kClean:
            if (!readList(action.argument) || !command("CleanUpText")) return false;
            voikit::print(stdout, "{}\n", session_.parameters[param::kVoiText]);
            return true;
        case Action::kSaveList:
            session_.saveFileAnswers.push_front(action.argument);
            return command("SaveTextFile");
        case Action::kCommand:
            return command(action.argument);
    }
    return false;
}

}  // namespace headless
