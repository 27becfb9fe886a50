#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "voi/voi_reader.h"
#include "voikit/extract/sphere_regions.h"
#include "voikit/io/log.h"
#include "voikit/tables/table_import.h"

// The spheres of a table of peaks, for the commands that make them in an image's own space.
struct PeakTable {
    std::vector<voikit::Sphere> spheres;  // each centre in the space the table wrote it in
    std::vector<glomera::VoiInfo> vois;   // name and colour; voxels: the sphere's mm^3
};

// The options of the commands that make spheres of a table of peaks: --peaks TABLE (its help
// ends with `where`, where the spheres are made), and --space and --radius, which need it.
void addPeakOptions(CLI::App& command, std::string& peaks, voikit::ImportSettings& settings,
                    const std::string& where);

// Reads a table of peaks by import's rules, telling each line's fate to `log` (dropped lines,
// notes and warnings as warnings). Throws voikit::Error when it is no table or names another
// space than --space.
PeakTable readPeakTable(const std::string& path, const voikit::ImportSettings& settings,
                        const voikit::Log& log);
