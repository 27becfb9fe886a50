#include "voikit/tables/layouts/foci_file.h"

#include <fmt/format.h>

#include <algorithm>

#include "common/strict_number.h"
#include "voikit/tables/layouts/space_words.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {
namespace {

// "// Key=value": the value when the comment sets that key.
std::optional<std::string> setting(const std::string& line, const char* key) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, 2, "//") != 0) return std::nullopt;
    const std::size_t equals = line.find('=', first);
    if (equals == std::string::npos) return std::nullopt;
    std::string name = line.substr(first + 2, equals - first - 2);
    name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
    if (lowered(name) != key) return std::nullopt;
    const std::string value = line.substr(equals + 1);
    const std::size_t from = value.find_first_not_of(" \t");
    if (from == std::string::npos) return std::string();
    return value.substr(from, value.find_last_not_of(" \t") + 1 - from);
}

std::string commentText(const std::string& line) {
    const std::size_t from = line.find_first_not_of("/ \t");
    return from == std::string::npos ? std::string() : line.substr(from);
}

}  // namespace

bool isFociFile(const std::vector<std::string>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return setting(line, "reference") || setting(line, "subjects");
    });
}

TableReading readFociFile(const std::vector<std::string>& lines) {
    TableReading reading;
    reading.layout = "GingerALE foci file";
    reading.experiments.clear();
    std::optional<Space> space;
    bool inExperiment = false;
    std::vector<int> fociOf;
    const auto experiment = [&]() -> Experiment& {
        if (!inExperiment) {
            reading.experiments.emplace_back();
            fociOf.push_back(0);
            inExperiment = true;
        }
        return reading.experiments.back();
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        ReadLine read;
        if (const auto reference = setting(line, "reference")) {
            space = spaceWord(*reference);
            if (!space) space = mentionedSpace(*reference);
            read.kind = ReadLine::kComment;
            if (space) {
                read.account =
                    std::string("reference: ") + spaceName(*space) + " for the foci below";
                reading.spaces.push_back(
                    {*space, static_cast<int>(i) + 1, "// Reference=" + *reference});
            } else {
                read.account = "reference \"" + *reference +
                               "\" names no space this tool knows (MNI or Talairach)";
            }
        } else if (const auto subjects = setting(line, "subjects")) {
            read.kind = ReadLine::kComment;
            // After foci, a new experiment begins even without a blank line.
            if (inExperiment && fociOf.back() > 0) inExperiment = false;
            const auto number = glomera::parseWholeNumber(*subjects, 1, 1000000);
            if (number) {
                experiment().subjects = static_cast<int>(*number);
                read.account = "subjects: " + *subjects;
            } else {
                read.account = "subjects \"" + *subjects + "\" is no number of subjects";
            }
        } else if (auto plain = emptyOrComment(line)) {
            read = *plain;
            const bool named = read.kind == ReadLine::kComment && !commentText(line).empty();
            // A blank line ends an experiment; so does a name after its foci.
            if (read.kind == ReadLine::kEmpty || (named && inExperiment && fociOf.back() > 0)) {
                inExperiment = false;
            }
            if (named && experiment().name.empty()) {
                experiment().name = commentText(line);
                read.account =
                    fmt::format("experiment {}: {}", reading.experiments.size(), experiment().name);
                read.mentioned.reset();
            }
        } else {
            const Tokens tokens = tokenize(line);
            const std::vector<Token>& t = tokens.tokens;
            Experiment& current = experiment();
            read.kind = ReadLine::kCoordinates;
            Peak peak;
            peak.experiment = static_cast<int>(reading.experiments.size()) - 1;
            const int focus = ++fociOf.back();
            const std::vector<Token> words = tokenize(current.name).tokens;
            const std::string title = joinedName(words.begin(), words.end());
            peak.name = title.empty() ? fmt::format("experiment{}_{}", peak.experiment + 1, focus)
                                      : fmt::format("{}_{}", title, focus);
            const bool three = t.size() == 3 && t[0].number && t[1].number && t[2].number;
            if (!tokens.ambiguity.empty()) {
                peak.refused = tokens.ambiguity;
            } else if (three) {
                peak.writings.push_back(writingOf(t[0], t[1], t[2], space));
                read.placed = 3;
            } else {
                peak.refused = "a focus line holds x, y and z and nothing else";
            }
            read.peaks.push_back(peak);
            read.note = marksNote(t);
        }
        reading.lines.push_back(read);
    }
    if (reading.experiments.empty()) reading.experiments.emplace_back();
    return reading;
}

}  // namespace voikit
