#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "voikit/outputs/outputs.h"

// The options that ask for outputs of a .voi file (label volume, picture, reports, page),
// declared once for every program that makes them.
class OutputOptions {
  public:
    // Declares --nifti, --grid, --grid-space, --png, --svg, --pdf, --radiological, --report,
    // --report-json, --html, --atlas, --no-atlas, --atlas-sides and --brain on `command`,
    // under `group`.
    OutputOptions(CLI::App& command, const std::string& group);

    // What the parsed options ask for, with the transform between TAL and MNI. Throws
    // CLI::ValidationError for options that do not go together.
    voikit::OutputRequest request(voikit::MniToTal transform) const;

  private:
    voikit::OutputRequest request_;
    std::vector<std::string> atlases_;
    bool noAtlas_ = false;
};

// Declares the picture's --svg, --pdf and --radiological on `command`, under `group`, into
// `request`: for every command that draws the picture.
void addPictureOptions(CLI::App& command, voikit::OutputRequest& request,
                       const std::string& group = "Options");

// Declares --brain, the template the picture, the reports and the page check against and
// draw, into `brain`.
CLI::Option* addBrainOption(CLI::App& command, std::string& brain);

// Declares --atlas-sides check|ignore on `command`, into `rule`: for every command that
// reads atlases.
CLI::Option* addAtlasSidesOption(CLI::App& command, voikit::AtlasSideRule& rule);
