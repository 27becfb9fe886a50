#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <string>

#include "voikit/provenance/provenance.h"

// The subcommands of glomera-voi, one file each in this folder. Each declare function gives
// the CLI11 subcommand its description, arguments and options (typed and checked while
// parsing) and returns the work to run once the command line is taken: the work returns the
// exit status and throws voikit::Error when a file cannot be read or an output cannot be made.
using CommandRun = std::function<int()>;
using DeclareCommand = CommandRun (*)(CLI::App& command);

namespace cmd {
CommandRun declareImport(CLI::App& command);
CommandRun declareInfo(CLI::App& command);
CommandRun declareNifti(CLI::App& command);
CommandRun declarePng(CLI::App& command);
CommandRun declareReport(CLI::App& command);
CommandRun declareView(CLI::App& command);
CommandRun declareOutputs(CLI::App& command);
CommandRun declareExtract(CLI::App& command);
CommandRun declareWhere(CLI::App& command);
}  // namespace cmd

constexpr const char kProgram[] = "glomera-voi";

// Tells the user a line on `stream`, as "glomera-voi: line".
void say(std::FILE* stream, const std::string& line);

// How this process was run, for the provenance of what it writes: noted once by main, read by
// the commands that write files.
void noteInvocation(int argc, const char* const* argv);
const voikit::Invocation& invocation();
