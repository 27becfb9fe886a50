#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

// The exit statuses of glomera-voi and HelmoraZT.exe: one number for each outcome, shared by
// both programs and by the paragraph of their --help that tells them.
enum ExitStatus : int {
    kExitSuccess = 0,
    kExitFailure = 1,     // the work could not be done; nothing was left half written
    kExitUsage = 2,       // the command line could not be taken
    kExitIncomplete = 3,  // a table or list lost coordinate lines or made no VOI or sphere,
                          // or a dry run found images it cannot read
};

// When a program exits with a status, in its own words: "on success", "when ...".
struct ExitStatusMeaning {
    ExitStatus status;
    const char* when;
};

// "Exit status: 0 on success; 1 when ...; ...." in lines of at most `width` characters.
std::string exitStatusHelp(std::initializer_list<ExitStatusMeaning> meanings,
                           std::size_t width = 92);
