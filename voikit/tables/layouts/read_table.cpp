#include "voikit/tables/layouts/read_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "voikit/tables/layouts/afni_clust.h"
#include "voikit/tables/layouts/foci_file.h"
#include "voikit/tables/layouts/fsl_cluster.h"
#include "voikit/tables/layouts/generic_table.h"
#include "voikit/tables/layouts/nimare_dataset.h"
#include "voikit/tables/layouts/spm_table.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {
namespace {

// Beyond these (millimetres from the origin, on any axis, in MNI or TAL) no brain reaches:
// a number there is a count, a statistic or a voxel index taken for a coordinate.
constexpr double kNoBrainBeyond = 110.0;

bool inSomeBrain(const Point& point) {
    return std::fabs(point[0]) <= kNoBrainBeyond && std::fabs(point[1]) <= 1.3 * kNoBrainBeyond &&
           std::fabs(point[2]) <= kNoBrainBeyond;
}

// Whether the reading gave the line a fate by its layout's rules: peaks, a refusal with its
// reason, or set aside.
bool explains(const ReadLine& read) {
    return read.kind == ReadLine::kIgnored ||
           (read.kind == ReadLine::kCoordinates && !read.peaks.empty());
}

// How many of the line's numbers the reading placed in columns. A refusal accounts for all
// of them: the layout says what it expected there and why the row does not give it.
int placed(const ReadLine& read, int numbers) {
    if (read.placed >= 0) return read.placed;
    const bool refused = std::all_of(read.peaks.begin(), read.peaks.end(),
                                     [](const Peak& peak) { return peak.writings.empty(); });
    if (refused) return numbers;
    int count = static_cast<int>(read.cells.size());
    for (const Peak& peak : read.peaks) count += 3 * static_cast<int>(peak.writings.size());
    return count;
}

// Whether `a` explains the rows better than `b`, by the rule of readTable.
bool better(const ReadingScore& a, const ReadingScore& b) {
    if (a.explained != b.explained) return a.explained > b.explained;
    if (a.unexplainedNumbers != b.unexplainedNumbers)
        return a.unexplainedNumbers < b.unexplainedNumbers;
    return a.contradictions < b.contradictions;
}

std::string figures(const ReadingScore& s) {
    return fmt::format("{} of {} rows of numbers, {} numbers unexplained, {} contradictions",
                       s.explained, s.rows, s.unexplainedNumbers, s.contradictions);
}

// Why the winner won over the best of the rest, in words.
std::string why(const Proposal& winner, const Proposal* runnerUp) {
    std::string text = "read as " + winner.reader + ": " + figures(winner.score);
    if (!runnerUp) return text + "; no other layout proposed a reading";
    const ReadingScore& a = winner.score;
    const ReadingScore& b = runnerUp->score;
    const char* decided = a.explained != b.explained ? "explains more rows of numbers"
                          : a.unexplainedNumbers != b.unexplainedNumbers
                              ? "leaves fewer numbers unexplained"
                          : a.contradictions != b.contradictions ? "has fewer contradictions"
                                                                 : "comes first on a tie";
    return text +
           fmt::format("; {} than the reading as {} ({})", decided, runnerUp->reader, figures(b));
}

}  // namespace

int numbersOnLine(const std::string& line) {
    const Tokens tokens = tokenize(line);
    int count = 0;
    if (tokens.ambiguity.empty()) {
        for (const Token& token : tokens.tokens) count += token.number ? 1 : 0;
        return count;
    }
    // Numbers that cannot be read apart still count, as runs of digits.
    bool inDigits = false;
    for (char c : line) {
        const bool digit = c >= '0' && c <= '9';
        count += digit && !inDigits ? 1 : 0;
        inDigits = digit;
    }
    return count;
}

ReadingScore scoreReading(const std::vector<std::string>& lines, const TableReading& reading) {
    ReadingScore score;
    for (std::size_t i = 0; i < lines.size() && i < reading.lines.size(); ++i) {
        const ReadLine& read = reading.lines[i];
        for (const Peak& peak : read.peaks) {
            for (const Writing& writing : peak.writings)
                score.contradictions += inSomeBrain(writing.point) ? 0 : 1;
        }
        const int numbers = numbersOnLine(lines[i]);
        if (numbers < 3) continue;
        ++score.rows;
        if (explains(read)) {
            ++score.explained;
            if (read.kind == ReadLine::kCoordinates)
                score.unexplainedNumbers += std::max(0, numbers - placed(read, numbers));
        } else {
            score.unexplainedNumbers += numbers;
        }
        if (read.note.find("warning:") != std::string::npos) ++score.contradictions;
    }
    return score;
}

TableReading readTable(const std::vector<std::string>& lines, std::vector<Proposal>* proposals) {
    std::vector<Proposal> all;
    const auto propose = [&](TableReading reading) {
        ReadingScore score = scoreReading(lines, reading);
        std::string reader = reading.layout;
        all.push_back({std::move(reader), std::move(reading), score});
    };
    // Readers of programs' own layouts propose where the file has their marks; a mark alone
    // decides nothing, the rows do.
    if (isFociFile(lines)) propose(readFociFile(lines));
    if (isAfniClustTable(lines)) propose(readAfniClustTable(lines));
    if (isFslClusterTable(lines)) propose(readFslClusterTable(lines));
    if (isSpmTable(lines)) propose(readSpmTable(lines));
    if (auto nimare = readNimareDataset(lines)) propose(std::move(*nimare));
    propose(readGenericTable(lines));
    std::size_t best = 0;
    for (std::size_t i = 1; i < all.size(); ++i) {
        if (better(all[i].score, all[best].score)) best = i;
    }
    const Proposal* runnerUp = nullptr;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (i != best && (!runnerUp || better(all[i].score, runnerUp->score))) runnerUp = &all[i];
    }
    TableReading chosen = all[best].reading;
    chosen.choice = why(all[best], runnerUp);
    if (proposals) *proposals = std::move(all);
    return chosen;
}

}  // namespace voikit
