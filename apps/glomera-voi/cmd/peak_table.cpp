#include "apps/glomera-voi/cmd/peak_table.h"

#include <cmath>

#include "apps/option-values/option_values.h"
#include "voikit/extract/peak_spheres.h"
#include "voikit/io/error.h"
#include "voikit/io/text_input.h"

void addPeakOptions(CLI::App& command, std::string& peaks, voikit::ImportSettings& settings,
                    const std::string& where) {
    CLI::Option* table =
        command
            .add_option("--peaks", peaks,
                        "instead of a .voi file, a table of peaks as pasted from a paper (as "
                        "import reads it): one sphere per peak, " +
                            where)
            ->type_name("TABLE");
    options::addValue(command, "--space", settings.space, options::spaceKind(),
                      "the space of the peaks' coordinates (default: the table's own, else tal)")
        ->needs(table);
    options::addValue(command, "--radius", settings.radius, options::radiusKind(),
                      options::radiusHelp("the spheres' radius in mm, for rows"))
        ->type_name("R")
        ->needs(table);
}

PeakTable readPeakTable(const std::string& path, const voikit::ImportSettings& settings,
                        const voikit::Log& log) {
    const voikit::ImportResult result = voikit::importTable(voikit::readTextInput(path), settings);
    if (!result.notText.empty()) throw voikit::Error(path + ": " + result.notText);
    if (!result.spaceConflict.empty()) throw voikit::Error(path + ": " + result.spaceConflict);
    for (const voikit::ImportedLine& line : result.lines) {
        const std::string text =
            path + " line " + std::to_string(line.number) + ": " + line.account;
        line.kind == voikit::ImportedLine::kDropped ? log.warn(text) : log.tell(text);
    }
    const std::string about = path + ": ";
    for (const std::string& note : result.notes) log.warn(about + note);
    for (const std::string& warning : result.warnings) log.warn(about + warning);
    log.tell(path + ": " + result.summary() + " (" + result.encoding + ")");
    PeakTable table;
    table.spheres = voikit::peakSpheres(result);
    for (const voikit::AcceptedPeak& peak : result.peaks) {
        const double radius = peak.values.radius;
        glomera::VoiInfo info;
        info.name = peak.name;
        info.color[0] = peak.values.r;
        info.color[1] = peak.values.g;
        info.color[2] = peak.values.b;
        // The sphere's volume in mm^3, as many voxels as a 1 mm lattice of it would hold.
        info.voxelCount =
            static_cast<std::int32_t>(std::lround(4.18879020478639 * radius * radius * radius));
        table.vois.push_back(info);
    }
    return table;
}
