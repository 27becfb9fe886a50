// glomera-voi where: the region at each point in every atlas, and the nearest region where a
// point falls in none, as the field's whereami and atlasquery tell it.
#include <memory>
#include <string>
#include <vector>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "apps/option-values/option_values.h"
#include "apps/output-options/output_options.h"
#include "voikit/anatomy/point_list.h"
#include "voikit/anatomy/point_lookup.h"
#include "voikit/io/text_input.h"
#include "voikit/io/text_output.h"
#include "voikit/outputs/where_report.h"

namespace {

struct WhereArguments {
    std::vector<voikit::NamedPoint> points;
    std::string pointsFile;
    std::string output;
    voikit::Space space = voikit::Space::kTal;
    voikit::AnatomySettings settings;
    std::vector<std::string> atlases;
    bool json = false;
};

// A point on the command line: three numbers, read while parsing.
const options::ValueKind<voikit::NamedPoint>& pointKind() {
    static const options::ValueKind<voikit::NamedPoint> kind{
        [](std::string_view text) -> std::optional<voikit::NamedPoint> {
            const std::optional<voikit::Point> point = voikit::parsePoint(text);
            if (!point) return std::nullopt;
            return voikit::NamedPoint{*point, "", std::string(text)};
        },
        "a point: three numbers, X,Y,Z", ""};
    return kind;
}

// Prints what lies at each point, or writes it to -o; the notes on the atlases go to
// standard error.
int where(const WhereArguments& a) {
    std::vector<voikit::NamedPoint> given = a.points;
    if (!a.pointsFile.empty()) {
        voikit::Log log;
        log.note = [](const std::string& line) { say(stderr, line); };
        for (voikit::NamedPoint& point :
             voikit::readPointList(voikit::readTextInput(a.pointsFile),
                                   a.pointsFile == "-" ? "standard input" : a.pointsFile, log)) {
            given.push_back(std::move(point));
        }
    }
    if (given.empty()) {
        say(stderr, "where: give a point X,Y,Z or --points FILE");
        return kExitUsage;
    }
    voikit::AnatomySettings settings = a.settings;
    if (!a.atlases.empty()) settings.atlases = a.atlases;
    const voikit::PointLookup lookup(settings);
    for (const std::string& note : lookup.atlases().notes) say(stderr, note);
    std::vector<voikit::WherePoint> found;
    found.reserve(given.size());
    for (const voikit::NamedPoint& point : given) {
        found.push_back(
            {point, a.space, lookup.at(voikit::toTal(point.point, a.space, settings.transform))});
    }
    voikit::writeTextOutput(
        a.output.empty() ? "-" : a.output,
        a.json ? voikit::whereJson(found, lookup) : voikit::whereText(found, lookup));
    return kExitSuccess;
}

}  // namespace

CommandRun cmd::declareWhere(CLI::App& command) {
    command.description(
        "the region at each point in every atlas, and the nearest region and its distance "
        "where a point falls in none");
    const auto a = std::make_shared<WhereArguments>();
    using options::Wording;
    options::addValue(command, "POINT", a->points, pointKind(), Wording::kCli11,
                      "points, each three numbers joined by commas (or blanks, quoted)")
        ->type_name("X,Y,Z");
    command
        .add_option("--points", a->pointsFile,
                    "a file of points, one a line: x y z, with a name before or after them; "
                    "'-' for standard input")
        ->type_name("FILE");
    options::addValue(command, "--space", a->space, options::spaceKind(), Wording::kCli11,
                      "the space of the points (default tal)");
    addTransformOption(command, a->settings.transform);
    command
        .add_option("--atlas", a->atlases,
                    "look the points up in this atlas (repeatable): aal, brodmann, jhu, aicha, or "
                    "any MNI label image with its label text, IMAGE[:LABELS.txt]; default: the "
                    "four named")
        ->type_name("NAME|IMAGE[:LABELS]");
    command
        .add_option("--brain", a->settings.brain,
                    "the brain-extracted MNI template to check against (default: ch2bet of "
                    "mricron-data)")
        ->type_name("IMAGE")
        ->check(CLI::ExistingFile);
    addAtlasSidesOption(command, a->settings.sideRule);
    command.add_option("-o,--output", a->output, "where to write it; default: standard output")
        ->type_name("PATH");
    command.add_flag("--json", a->json, "JSON for scripts instead of text");
    return [a] { return where(*a); };
}
