#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "voikit/outputs/outputs.h"

// What the subcommands that read a .voi file share.
struct VoiFileArguments {
    std::string voi;
    bool quiet = false;
};

// Declares the .voi file argument and --quiet.
void addVoiFileArguments(CLI::App& command, VoiFileArguments& arguments);

// Declares --mni-to-tal, the transform between TAL and MNI the outputs use.
void addTransformOption(CLI::App& command, voikit::MniToTal& transform);

// Where the toolbox tells what was written (unless quiet) and what the user should look at
// (always): standard error.
voikit::Log commandLog(const VoiFileArguments& arguments);

// Makes what `request` asks for of the file, telling commandLog, each output noting this
// command as what made it. Returns the exit status.
int makeOutputs(const VoiFileArguments& arguments, voikit::OutputRequest request);
