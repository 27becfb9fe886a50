#include "plugin/glomera.h"

#include <cstring>
#include <new>

#include "common/classic_locale.h"
#include "common/format_line.h"
#include "host/host_operations.h"
#include "plugin/commands.h"
#include "plugin/dialog_parameters.h"

namespace {

using glomera::host::ztLogText;
using glomera::host::ztMessageBox;

struct CommandEntry {
    const char* name;
    bool (*run)();
};

// Compared in this order, whole and case-sensitively.
constexpr CommandEntry kCommands[] = {
    {"ReadTextFile", glomera::runReadTextFile},
    {"SaveTextFile", glomera::runSaveTextFile},
    {"CleanUpText", glomera::runCleanUpText},
    {"Start", glomera::runSphereVois},
};

// Tells the user that a command could not finish; a host that throws from its message box
// is not allowed to take the library down with it.
void reportAbandonedCommand(const char* reason) {
    try {
        ztMessageBox(reason);
    } catch (...) {
    }
}

bool dispatch() {
    char command[glomera::host::kCommandCapacity];
    glomera::readStringParameter(glomera::param::kCommand, command, sizeof command);
    for (const CommandEntry& entry : kCommands) {
        if (std::strcmp(command, entry.name) == 0) return entry.run();
    }
    ztLogText(glomera::formatLine("Plugin>  Received unknown command: \"%s\".", command).c_str());
    return true;
}

}  // namespace

// The constructor sets nothing else: the document identifier is marked "not started".
Glomera::Glomera() : currentDocumentId(-1) {}

// Called by the host when it is done with the plug-in. Writes the closing lines if the host
// can be reached; never throws.
Glomera::~Glomera() {
    try {
        ztLogText("Plugin>  Glomera Plugin finished!");
        ztLogText(" ");
    } catch (...) {
    }
}

bool Glomera::execute() {
    // A host that runs commands without a successful start-up gets nothing done: the host
    // table may be unbound, or the document not a VMR.
    if (currentDocumentId < 0) return false;
    try {
        glomera::ClassicLocaleScope classic;
        return dispatch();
    } catch (const std::bad_alloc&) {
        reportAbandonedCommand("Glomera ran out of memory; the command was not completed.");
    } catch (...) {
        reportAbandonedCommand("Glomera met an unexpected error; the command was not completed.");
    }
    return true;
}
