#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <stdexcept>
#include <string>

#include "glomera_versions.h"
#include "host/vmr_main_header.h"
#include "voikit/io/error.h"

namespace headless {

// The name the host goes by in what it tells the user.
constexpr const char kHostName[] = "HelmoraZT";

// Something a user asked for that the host stand-in cannot do as asked (exit status 2).
using UsageError = voikit::UsageError;

// Everything the host keeps for the plug-in: the dialog parameters, the current document
// and its VMR header, the answers a user would give, and what happened along the way.
// The exported entry points read and write it; one session per process.
struct HostSession {
    // The VMR header fields the host fills in; the rest of the 368 bytes stay zero.
    struct VmrHeader {
        std::int32_t referenceSpace = glomera::host::VmrMainHeader::kReferenceSpaceTal;
        float resolution[3] = {1.0f, 1.0f, 1.0f};
        std::int32_t offset[3] = {0, 0, 0};
        std::int32_t framingCubeDim = 256;
        std::int32_t leftRightConvention = 1;

        // The 368-byte record with these fields at their offsets.
        void fill(glomera::host::VmrMainHeader& record) const;
    };

    int version[3] = {GLOMERA_MINIMUM_HOST_MAJOR, GLOMERA_MINIMUM_HOST_MINOR,
                      GLOMERA_MINIMUM_HOST_REVISION};
    int documentId = 1;
    int documentType = 3;  // VMR
    VmrHeader header;
    std::map<std::string, std::string> parameters;
    int yesNoAnswer = 0;
    std::deque<std::string> openFileAnswers;
    std::deque<std::string> saveFileAnswers;

    // Where the plug-in's log and the host's messages go; null to drop them.
    std::FILE* log = stdout;
    std::FILE* messages = stderr;
    std::FILE* dialogs = stderr;  // the file dialogs' answers

    // What the plug-in did, for the caller to check.
    int logTabShows = 0;
    int messageBoxes = 0;
    int loads = 0;
    int failedLoads = 0;
    std::string lastLoadError;
    std::deque<std::string> logLines;  // kept only when keepLog is set
    std::deque<std::string> messageBoxTexts;
    bool keepLog = false;

    // The value as the host hands it to the plug-in, cut to the plug-in's buffer size for
    // that parameter.
    std::string parameter(const std::string& name) const;
    int intParameter(const std::string& name) const;
    float floatParameter(const std::string& name) const;

    void logLine(const char* text);
    void messageBox(const char* text);
    int askYesNo(const char* question);
    // The next answer for a file dialog, or "" (cancelled) when there is none.
    std::string nextAnswer(std::deque<std::string>& answers, const char* title);
    // Checks and reports a .voi file the plug-in asks the host to load.
    void loadVois(const char* path);

  private:
    // The parameter read as a number the way the dialog would; 0 when it is none.
    template <typename Number>
    Number numberParameter(const std::string& name) const;
};

HostSession& session();

// Capacity of the plug-in's buffer for a parameter, terminator included.
std::size_t parameterCapacity(const std::string& name);

}  // namespace headless
