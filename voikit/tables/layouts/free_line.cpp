#include "voikit/tables/layouts/free_line.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "voikit/tables/layouts/header_rows.h"
#include "voikit/tables/layouts/space_words.h"

namespace voikit {
namespace {

// Words that stand between the name of a region and the rest of a sentence.
const std::set<std::string> kStopWords = {
    "a",        "an",    "the",        "in",          "on",      "at",        "and",
    "or",       "of",    "with",       "within",      "was",     "were",      "is",
    "are",      "found", "observed",   "located",     "showed",  "including", "as",
    "also",     "both",  "to",         "from",        "for",     "by",        "than",
    "peak",     "peaks", "activation", "activations", "further", "whereas",   "while",
    "but",      "into",  "along",      "near",        "between", "extending", "cluster",
    "clusters", "see",   "table",      "maximum",     "maxima",  "that",      "which",
    "where",    "there", "this",       "these",       "its",     "their"};
constexpr std::size_t kNameWords = 6;
// Words from which a line is a sentence rather than a row of a table.
constexpr std::size_t kSentenceWords = 8;

bool isWhole(const Token& token) {
    return token.number && std::floor(*token.number) == *token.number &&
           token.text.find_first_of(".eE") == std::string::npos;
}

// The plug-in's own list line: x y z radius name r g b.
std::optional<Peak> listLine(const std::vector<Token>& t) {
    if (t.size() != 8 || !t[0].number || !t[1].number || !t[2].number || !t[3].number ||
        !isWhole(t[5]) || !isWhole(t[6]) || !isWhole(t[7])) {
        return std::nullopt;
    }
    Peak peak;
    peak.writings.push_back(writingOf(t[0], t[1], t[2], std::nullopt));
    peak.radius = *t[3].number;
    peak.name = t[4].text;
    peak.colour = std::array<double, 3>{*t[5].number, *t[6].number, *t[7].number};
    return peak;
}

bool isNameWord(const Token& token) {
    return !token.number && token.bracket == 0 && isWord(token.text) &&
           kStopWords.count(lowered(token.text)) == 0;
}

// A sentence's words as a name, without the full stop or comma that ends the clause.
std::string clauseName(const std::vector<Token>& tokens, std::size_t from, std::size_t to) {
    std::string name = joinedName(tokens.begin() + static_cast<std::ptrdiff_t>(from),
                                  tokens.begin() + static_cast<std::ptrdiff_t>(to));
    while (!name.empty() && (name.back() == '.' || name.back() == ',')) name.pop_back();
    return name;
}

// A name from the words of a sentence before a peak: the words after the last that is not
// part of a region's name ("... peaks in the left inferior frontal gyrus").
std::string regionName(const std::vector<Token>& tokens, std::size_t from, std::size_t to) {
    std::size_t start = to;
    while (start > from && to - start < kNameWords && isNameWord(tokens[start - 1])) --start;
    return clauseName(tokens, start, to);
}

// A name from the words after a peak, when none stand before it ("at x = 50, y = 30, z = 2
// in the right IFG").
std::string nameAfter(const std::vector<Token>& tokens, std::size_t from) {
    std::size_t start = from;
    while (start < tokens.size() && !tokens[start].number && tokens[start].bracket == 0 &&
           !isNameWord(tokens[start])) {
        ++start;
    }
    std::size_t end = start;
    while (end < tokens.size() && end - start < kNameWords && isNameWord(tokens[end])) ++end;
    return clauseName(tokens, start, end);
}

// A space that labels the numbers from `at`: named among the three words right before them
// ("Peak MNI coordinate: -36 -90 0", "(MNI: -48, 28, 4)"), as a column heading names it.
std::optional<Space> labelledSpace(const std::vector<Token>& tokens, std::size_t at) {
    for (std::size_t i = at, words = 0; i > 0 && words < 3; ++words) {
        const Token& before = tokens[--i];
        if (before.number) break;
        if (const auto space = spaceWord(before.text)) return space;
    }
    return std::nullopt;
}

bool isAxisLabel(const Token& token, char axis) {
    return token.text.size() == 1 &&
           std::tolower(static_cast<unsigned char>(token.text[0])) == axis;
}

// Three numbers named by their axes from `i` on, before `end`: "x = -48, y = 28, z = 4"
// or "x, y, z = -48, 28, 4".
std::optional<std::array<std::size_t, 3>> namedTriple(const std::vector<Token>& t, std::size_t i,
                                                      std::size_t end) {
    const auto label = [&](std::size_t k, int axis) {
        return k < end && isAxisLabel(t[k], "xyz"[axis]);
    };
    const auto number = [&](std::size_t k) { return k < end && t[k].number.has_value(); };
    if (label(i, 0) && label(i + 1, 1) && label(i + 2, 2) && number(i + 3) && number(i + 4) &&
        number(i + 5)) {
        return std::array<std::size_t, 3>{i + 3, i + 4, i + 5};
    }
    if (label(i, 0) && number(i + 1) && label(i + 2, 1) && number(i + 3) && label(i + 4, 2) &&
        number(i + 5)) {
        return std::array<std::size_t, 3>{i + 1, i + 3, i + 5};
    }
    return std::nullopt;
}

// What a bracket group from `i` to `end` writes: a peak named by its axes, or a run of three
// numbers after any words ("(-48, 28, 4; Z = 5.1)", "(MNI: -48, 28, 4)"); a longer run
// cannot be told apart and is refused.
void bracketPeak(const std::vector<Token>& t, std::size_t i, std::size_t end, Peak& peak) {
    std::optional<std::array<std::size_t, 3>> at = namedTriple(t, i, end);
    // Axis names after other words in the bracket: "(peak at x = 40, y = 26, z = 2)",
    // "(BA 44; Talairach coordinates x = -50, y = 10, z = 18)".
    for (std::size_t k = i + 1; !at && k < end; ++k) at = namedTriple(t, k, end);
    if (!at) {
        std::size_t first = i;
        while (first < end && !t[first].number) ++first;
        std::size_t run = first;
        while (run < end && t[run].number) ++run;
        if (run - first > 3) {
            peak.refused =
                fmt::format("{} numbers in one bracket: which three are x, y and z cannot be told",
                            run - first);
            return;
        }
        if (run - first == 3) at = std::array<std::size_t, 3>{first, first + 1, first + 2};
    }
    if (at) {
        peak.writings.push_back(
            writingOf(t[(*at)[0]], t[(*at)[1]], t[(*at)[2]], labelledSpace(t, (*at)[0])));
    }
}

// Peaks written in brackets or with axis names, each named by the words before it; none
// when the line writes none so.
std::vector<Peak> sentencePeaks(const std::vector<Token>& tokens) {
    std::vector<Peak> peaks;
    std::size_t nameFrom = 0;
    for (std::size_t i = 0; i < tokens.size();) {
        std::size_t end = i + 1;
        Peak peak;
        if (tokens[i].bracket != 0) {
            while (end < tokens.size() && tokens[end].bracket == tokens[i].bracket) ++end;
            bracketPeak(tokens, i, end, peak);
        } else if (const auto at = namedTriple(tokens, i, tokens.size())) {
            end = (*at)[2] + 1;
            peak.writings.push_back(
                writingOf(tokens[(*at)[0]], tokens[(*at)[1]], tokens[(*at)[2]], std::nullopt));
        }
        if (!peak.writings.empty() || !peak.refused.empty()) {
            peak.name = regionName(tokens, nameFrom, i);
            if (peak.name.empty()) peak.name = nameAfter(tokens, end);
            peaks.push_back(peak);
            nameFrom = end;
        }
        i = end;
    }
    return peaks;
}

// A run of four or more numbers whose first could be part of the name before it or x: an
// unsigned whole number, and a fourth number that could as well be z (a whole number with a
// sign), as in "Cerebellum 6 -30 -60 -20".
bool firstMayBeNamesOwn(const std::vector<Token>& tokens, const NumberRun& run) {
    if (run.length < 4 || run.start == 0 || tokens[run.start - 1].number) return false;
    const Token& first = tokens[run.start];
    const Token& fourth = tokens[run.start + 3];
    const bool unsignedWhole = first.text.find_first_not_of("0123456789") == std::string::npos;
    return unsignedWhole && isWhole(fourth) && fourth.text[0] == '-';
}

// Runs of numbers: the peaks of a table row without a header.
ReadLine runPeaks(const std::string& line, const std::vector<Token>& given) {
    std::vector<Token> tokens = given;
    keepNamesNumbers(tokens);
    std::vector<NumberRun> runs;
    for (std::size_t from = 0; from < tokens.size();) {
        const std::vector<Token> rest(tokens.begin() + static_cast<std::ptrdiff_t>(from),
                                      tokens.end());
        const auto run = coordinateRun(rest);
        if (!run) break;
        runs.push_back({from + run->start, run->length});
        from += run->start + run->length;
    }
    if (runs.empty()) {
        if (coordinateCandidates(tokens) < 3) return noCoordinates(line);
        // A sentence whose numbers stand apart among its words ("the 24 participants tested
        // in session 1 and the 12 in session 2") writes no peak: set aside, not refused.
        std::size_t words = 0;
        for (const Token& token : tokens) words += !token.number && isWord(token.text) ? 1 : 0;
        if (words >= kSentenceWords) {
            ReadLine read;
            read.kind = ReadLine::kIgnored;
            read.account = "a sentence whose numbers stand apart, no three in a row";
            return read;
        }
        return refusedLine("no three numbers in a row");
    }
    const bool allThree =
        std::all_of(runs.begin(), runs.end(), [](const NumberRun& r) { return r.length == 3; });
    if (runs.size() > 1 && !allThree) {
        return refusedLine(fmt::format(
            "{} groups of numbers on one line, not all of three: which are x, y and z cannot be "
            "told",
            runs.size()));
    }
    if (runs.size() == 1 && firstMayBeNamesOwn(tokens, runs[0])) {
        return refusedLine(fmt::format(
            "{} numbers after \"{}\": the first may belong to the name or be x, and the last may "
            "be z; refused rather than guessed (a header row x y z says which)",
            runs[0].length, tokens[runs[0].start - 1].text));
    }
    ReadLine read;
    read.kind = ReadLine::kCoordinates;
    std::size_t nameFrom = 0;
    for (const NumberRun& run : runs) {
        Peak peak;
        const auto begin = tokens.begin();
        // A table row's words name its peak; a sentence's last words before it do.
        peak.name = run.start - nameFrom > kNameWords
                        ? regionName(tokens, nameFrom, run.start)
                        : joinedName(begin + static_cast<std::ptrdiff_t>(nameFrom),
                                     begin + static_cast<std::ptrdiff_t>(run.start));
        if (run.start - nameFrom <= kNameWords) {
            peak.nameSpans = wordSpans(begin + static_cast<std::ptrdiff_t>(nameFrom),
                                       begin + static_cast<std::ptrdiff_t>(run.start));
        }
        const std::size_t end = run.start + run.length;
        // A row that names itself after its numbers, as the plug-in's own lists do.
        for (std::size_t i = end; peak.name.empty() && runs.size() == 1 && i < tokens.size(); ++i) {
            if (!tokens[i].number && isWord(tokens[i].text)) {
                peak.name = tokens[i].text;
                peak.nameSpans = {{tokens[i].begin, tokens[i].end}};
            }
        }
        peak.writings.push_back(writingOf(tokens[run.start], tokens[run.start + 1],
                                          tokens[run.start + 2], labelledSpace(tokens, run.start)));
        read.peaks.push_back(peak);
        nameFrom = end;
    }
    return read;
}

}  // namespace

ReadLine readFreeLine(const std::string& line) {
    const Tokens tokens = tokenize(line);
    if (!tokens.ambiguity.empty()) return refusedLine(tokens.ambiguity);
    ReadLine read;
    if (const auto peak = listLine(tokens.tokens)) {
        read.kind = ReadLine::kCoordinates;
        read.peaks.push_back(*peak);
    } else if (std::vector<Peak> peaks = sentencePeaks(tokens.tokens); !peaks.empty()) {
        read.kind = ReadLine::kCoordinates;
        read.peaks = std::move(peaks);
    } else {
        read = runPeaks(line, tokens.tokens);
    }
    read.note = marksNote(tokens.tokens);
    read.mentioned = mentionedSpace(line);
    for (const Peak& peak : read.peaks) {
        for (const Writing& writing : peak.writings) {
            if (writing.space) read.mentioned.reset();  // the space it names labels the peak
        }
    }
    return read;
}

}  // namespace voikit
