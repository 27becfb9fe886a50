#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "apps/output-options/output_options.h"
#include "headless/job.h"
#include "voikit/outputs/outputs.h"

// The program's file name, as its help, version and results name it.
constexpr const char kProgramFile[] = "HelmoraZT.exe";

// The command line of HelmoraZT.exe: every option declared once, with its help.
class CommandLine {
  public:
    CommandLine();

    // Parses the arguments, each value typed as it is read. False when help or the version was
    // asked for and printed; throws headless::UsageError for anything it cannot take.
    bool parse(int argc, char** argv);

    headless::Job job;
    std::string pluginPath;  // empty: Glomera.so where an installed or built host finds it
    voikit::OutputRequest outputs;

  private:
    // The actions in the order given on the command line.
    void collectActions();

    CLI::App app_;
    std::vector<headless::SphereFields> spheres_;
    std::vector<std::string> lists_, rawLists_, cleans_, saveLists_, commands_;
    std::optional<OutputOptions> outputOptions_;  // declared among the others, for the help
};
