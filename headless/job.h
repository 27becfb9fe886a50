#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "headless/host_session.h"
#include "headless/plugin_library.h"
#include "voikit/provenance/input_space.h"
#include "voikit/space/coordinate_space.h"
#include "voikit/tables/table_import.h"

namespace headless {

// A sphere as given on the command line: its four fields as typed, which the dialog holds,
// and what they are.
struct SphereFields {
    std::array<std::string, 4> text;  // X, Y, Z, R
    std::array<double, 4> value;
};

// One step of the work asked for, run in the order given.
struct Action {
    enum Kind {
        kSphere,    // "Start" in dialog mode for one sphere at "X,Y,Z,R"
        kList,      // import a coordinate table, then "Start" in text-box mode
        kRawList,   // read a list file as it is, then "Start" in text-box mode
        kClean,     // read a list file, "CleanUpText", print the cleaned list
        kSaveList,  // "SaveTextFile" of the text box to a file
        kCommand,   // any command, as given
    };
    Kind kind;
    std::string argument;  // the file or the command; empty for a sphere
    SphereFields sphere;   // for kSphere
    std::string review;    // for kList: the review page asked of the table; empty for none
};

// A table a kList action imported, for what is made of it besides the VOIs: its review page.
struct ImportedTable {
    const std::string& path;
    const std::string& bytes;
    const voikit::ImportSettings& settings;
    const voikit::ImportResult& result;
    std::string voiFile;  // the .voi file its spheres went to; empty when none was written
    const std::string& review;
};

// Everything a host stand-in run is asked to do: the plug-in's work and the host's part.
struct Job {
    std::vector<Action> actions;
    std::vector<std::pair<std::string, std::string>> parameters;  // NAME=VALUE, set last
    std::vector<std::string> openFileAnswers;
    std::vector<std::string> saveFileAnswers;
    std::vector<std::string> printParameters;
    std::string output;  // empty: named after the sphere or the list
    std::string name = "VOI_1";
    std::optional<std::array<int, 3>> colour;  // none: 255,0,0 for a sphere, a palette for a table
    std::optional<double> radius;  // for table rows without one; none: the importer's default
    // Of --sphere and table coordinates; none: TAL for --sphere, the table's own for --list.
    std::optional<voikit::Space> space;
    voikit::MniToTal transform = voikit::MniToTal::kSpm;
    bool allowDropped = false;  // dropped list lines do not make the run incomplete
    bool load = true;
    bool yes = false;
    bool quiet = false;
    std::array<int, 3> hostVersion = {GLOMERA_MINIMUM_HOST_MAJOR, GLOMERA_MINIMUM_HOST_MINOR,
                                      GLOMERA_MINIMUM_HOST_REVISION};
    std::int32_t documentId = 1;
    std::int32_t documentType = 3;  // a VMR
    HostSession::VmrHeader header;
};

// Sets up the session from the job: the document, the answers and the dialog parameters.
void configureSession(const Job& job, HostSession& session);

// Runs a job's actions in one plug-in lifetime.
class JobRunner {
  public:
    JobRunner(const Job& job, HLZTPluginInterface& plugin, HostSession& session)
        : job_(job), plugin_(plugin), session_(session) {}

    // Runs every action, then prints the asked parameters; true when all went well and the
    // plug-in showed no message box and every load succeeded.
    bool runAll();

    // The .voi file the last job wrote, if any.
    const std::string& lastVoiFile() const { return lastVoiFile_; }

    // A list or table lost coordinate lines, or made no VOI.
    bool incomplete() const { return incomplete_; }

    // Called after each table whose action asks for a review page, once its VOIs are written
    // (or it made none), before the next action runs.
    std::function<void(const ImportedTable&)> onImported;

  private:
    bool command(const std::string& name);
    bool readList(const std::string& path);
    bool importTable(const Action& action);
    // One line of a list's account; with --quiet only the lines that were dropped.
    void account(const std::string& path, int number, const std::string& text) const;
    void settle(const std::string& path, const std::string& summary, bool complete);
    // Starts the plug-in's run; a .voi file it writes gets `input` beside it as its record.
    bool start(bool fromList, const std::string& defaultOutput, voikit::InputSpaceRecord input);
    bool run(const Action& action);
    void complain(const std::string& message) const;

    const Job& job_;
    HLZTPluginInterface& plugin_;
    HostSession& session_;
    std::string lastVoiFile_;
    bool incomplete_ = false;
};

// The "FileName" parameter for an output path: the plug-in adds ".voi" itself.
std::string fileNameFor(const std::string& output);

}  // namespace headless
