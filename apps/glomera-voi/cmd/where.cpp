// glomera-voi where: the region at each point in every atlas, and the nearest region where a
// point falls in none, as the field's whereami and atlasquery tell it.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/cmd/voi_file.h"
#include "apps/option-values/option_values.h"
#include "apps/output-options/output_options.h"
#include "voikit/anatomy/point_list.h"
#include "voikit/anatomy/point_lookup.h"
#include "voikit/io/error.h"
#include "voikit/io/text_input.h"
#include "voikit/io/text_output.h"
#include "voikit/io/word_list.h"
#include "voikit/outputs/where_report.h"
#include "voikit/tables/point_reading.h"

namespace {

struct WhereArguments {
    std::vector<voikit::NamedPoint> points;
    std::string pointsFile;
    std::string output;
    std::optional<voikit::Space> space;
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
    // Each point with the space it is in: the command line's in --space (else TAL), a
    // file's as the table importer reads it.
    std::vector<std::pair<voikit::NamedPoint, voikit::Space>> given;
    for (const voikit::NamedPoint& point : a.points)
        given.emplace_back(point, a.space.value_or(voikit::Space::kTal));
    if (!a.pointsFile.empty()) {
        const std::string source = a.pointsFile == "-" ? "standard input" : a.pointsFile;
        const voikit::PointReading read =
            voikit::readPoints(voikit::readTextInput(a.pointsFile), a.space);
        if (!read.error.empty()) throw voikit::UsageError(source + ": " + read.error);
        if (!read.refused.empty()) {
            throw voikit::Error(source + ": " + read.refused[0] + " (" +
                                std::to_string(read.refused.size()) +
                                " line(s) without a point that can be taken)");
        }
        if (!read.passedOver.empty()) {
            say(stderr,
                source + ": " +
                    voikit::counted(static_cast<long long>(read.passedOver.size()), "line") +
                    " with numbers but no point, passed over (" + read.passedOver[0] +
                    (read.passedOver.size() > 1 ? "; ..." : "") + ")");
        }
        if (!read.spaceNote.empty()) say(stderr, source + ": " + read.spaceNote);
        for (const voikit::ReadPoint& point : read.points) {
            given.emplace_back(voikit::NamedPoint{point.point, point.name,
                                                  source + " line " + std::to_string(point.line)},
                               point.space);
        }
    }
    if (given.empty()) throw voikit::UsageError("where: give a point X,Y,Z or --points FILE");
    for (const auto& point : given) voikit::checkWithinReach(point.first);
    voikit::AnatomySettings settings = a.settings;
    if (!a.atlases.empty()) settings.atlases = a.atlases;
    const voikit::PointLookup lookup(settings);
    for (const std::string& note : lookup.atlases().notes) say(stderr, note);
    std::vector<voikit::WherePoint> found;
    found.reserve(given.size());
    for (const auto& [point, space] : given) {
        found.push_back(
            {point, space, lookup.at(voikit::toTal(point.point, space, settings.transform))});
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
    options::addValue(command, "POINT", a->points, pointKind(),
                      "points, each three numbers joined by commas (or blanks, quoted)")
        ->type_name("X,Y,Z");
    command
        .add_option("--points", a->pointsFile,
                    "a file of points, read as import reads a table (one a line: x y z with a name "
                    "before or after them, or any table import reads); '-' for standard input")
        ->type_name("FILE");
    options::addValue(
        command, "--space", a->space, options::spaceKind(),
        "the space of the points (default: a points file's own, from a heading such as "
        "\"MNI x y z\" or a \"// Reference=\" line, else tal); one that "
        "contradicts the file's is a usage error");
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
