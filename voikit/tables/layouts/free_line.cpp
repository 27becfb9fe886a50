#include "voikit/tables/layouts/free_line.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <set>

#include "voikit/tables/layouts/header_rows.h"
#include "voikit/tables/layouts/space_words.h"
#include "voikit/tables/text/cell_number.h"

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
    // "x = -48, y = 28, z = 4", perhaps with the unit after each value ("x = 4 mm, ...").
    std::array<std::size_t, 3> at{};
    std::size_t k = i;
    for (int axis = 0; axis < 3; ++axis) {
        if (!label(k, axis) || !number(k + 1)) return std::nullopt;
        at[static_cast<std::size_t>(axis)] = k + 1;
        k += 2;
        if (axis < 2 && k < end && lowered(t[k].text) == "mm") ++k;
    }
    return at;
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

constexpr const char* kPlusMinus = "\u00B1";

// A bracket's peak whose x is written "±34" ("(±34, 22, -2)": a peak on each side): the
// peak on the right and the one on the left, or the peak refused when the sign stands
// before y or z.
void bracketPeaks(const std::vector<Token>& tokens, std::size_t i, std::size_t end,
                  std::vector<Peak>& found) {
    std::vector<Token> signedTokens = tokens;
    std::size_t at = end;
    for (std::size_t k = i; k < end && at == end; ++k) {
        if (const auto value = plusMinus(tokens[k])) {
            at = k;
            signedTokens[k].number = value;
            signedTokens[k].text = tokens[k].text.substr(std::string(kPlusMinus).size());
        }
    }
    Peak peak;
    bracketPeak(signedTokens, i, end, peak);
    if (at == end || peak.writings.empty()) {
        if (!peak.writings.empty() || !peak.refused.empty()) found.push_back(peak);
        return;
    }
    const Writing& writing = peak.writings[0];
    if (writing.spans[0].begin != tokens[at].begin) {
        if (writing.spans[1].begin == tokens[at].begin ||
            writing.spans[2].begin == tokens[at].begin) {
            peak.writings.clear();
            peak.refused = "\"" + tokens[at].text +
                           "\" stands before y or z: which peaks it writes cannot be told";
            found.push_back(peak);
        }
        return;
    }
    // x = +v on the right, x = -v on the left, each a peak of its own.
    Peak right = peak, left = peak;
    right.writings[0].text = tokens[at].text + writing.text.substr(signedTokens[at].text.size()) +
                             " (x = " + signedTokens[at].text + ": right)";
    left.writings[0].point[0] = -writing.point[0];
    left.writings[0].text = tokens[at].text + writing.text.substr(signedTokens[at].text.size()) +
                            " (x = -" + signedTokens[at].text + ": left)";
    right.name = "R";
    left.name = "L";
    found.push_back(right);
    found.push_back(left);
}

// Peaks written in brackets or with axis names, each named by the words before it; none
// when the line writes none so.
// `brackets`: the bracket groups that wrote a peak or were refused as one.
std::vector<Peak> sentencePeaks(const std::vector<Token>& tokens, std::set<int>& brackets) {
    std::vector<Peak> peaks;
    std::size_t nameFrom = 0;
    for (std::size_t i = 0; i < tokens.size();) {
        std::size_t end = i + 1;
        std::vector<Peak> found;
        if (tokens[i].bracket != 0) {
            while (end < tokens.size() && tokens[end].bracket == tokens[i].bracket) ++end;
            bracketPeaks(tokens, i, end, found);
        } else if (const auto at = namedTriple(tokens, i, tokens.size())) {
            end = (*at)[2] + 1;
            if (end < tokens.size() && lowered(tokens[end].text) == "mm") ++end;
            Peak peak;
            peak.writings.push_back(
                writingOf(tokens[(*at)[0]], tokens[(*at)[1]], tokens[(*at)[2]], std::nullopt));
            found.push_back(peak);
        }
        if (!found.empty()) {
            if (tokens[i].bracket != 0) brackets.insert(tokens[i].bracket);
            std::string name = regionName(tokens, nameFrom, i);
            if (name.empty()) name = nameAfter(tokens, end);
            for (Peak& peak : found) {
                // A side from a plus-minus sign follows the region's name.
                peak.name = peak.name.empty() ? name
                            : name.empty()    ? peak.name
                                              : name + "_" + peak.name;
                peaks.push_back(peak);
            }
            nameFrom = end;
        }
        i = end;
    }
    return peaks;
}

// Numbers of a line that may write a peak but that no peak read from it took: three or more
// standing together (in one bracket, or apart only by axis names and "mm"), none of them a
// statistic's value. Empty when there are none.
std::vector<std::size_t> unreadTriples(const std::vector<Token>& tokens,
                                       const std::vector<Peak>& peaks,
                                       const std::set<int>& brackets) {
    std::set<std::size_t> used;
    for (const Peak& peak : peaks) {
        for (const Writing& writing : peak.writings) {
            for (const Span& span : writing.spans) used.insert(span.begin);
        }
    }
    const auto axisName = [](const Token& t) {
        return !t.number && t.text.size() == 1 && std::strchr("xyzXYZ", t.text[0]) != nullptr;
    };
    const auto namesValue = [&](const Token& word) {
        if (word.number || axisName(word)) return false;
        const std::string w = lowered(word.text);
        return (w.size() == 1 && std::isalpha(static_cast<unsigned char>(w[0])) != 0) ||
               w == "df" || w == "<" || w == ">" || w == "\u2264" || w == "\u2265";
    };
    // A statistic's value: after its name ("t = 5.02"), or in brackets right after it
    // ("F(1, 38)").
    const auto statistic = [&](std::size_t k) {
        if (k > 0 && namesValue(tokens[k - 1])) return true;
        std::size_t first = k;
        while (first > 0 && tokens[k].bracket != 0 &&
               tokens[first - 1].bracket == tokens[k].bracket)
            --first;
        return first != k && first > 0 && tokens[first - 1].bracket == 0 &&
               namesValue(tokens[first - 1]);
    };
    std::vector<std::size_t> group, unread;
    int bracket = -1;
    const auto close = [&]() {
        if (group.size() >= 3) unread.insert(unread.end(), group.begin(), group.end());
        group.clear();
    };
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        const Token& t = tokens[k];
        if (t.bracket != bracket) close();
        bracket = t.bracket;
        const bool candidate = (t.number || plusMinus(t)) && used.count(t.begin) == 0 &&
                               brackets.count(t.bracket) == 0;
        if (candidate && !statistic(k)) {
            group.push_back(k);
        } else if (!(axisName(t) || lowered(t.text) == "mm")) {
            close();
        }
    }
    close();
    return unread;
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
    // "qto_xyz:1", "dim:3": a whole number glued to a label by a colon is the label's.
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const Token& label = tokens[i - 1];
        Token& token = tokens[i];
        const std::string word = lowered(label.text);
        const bool glued =
            label.end < line.size() && line[label.end] == ':' && token.begin == label.end + 1;
        if (glued && token.number && !label.number && isWord(label.text) && word != "x" &&
            word != "y" && word != "z" && !spaceWord(word) &&
            token.text.find_first_not_of("0123456789") == std::string::npos) {
            token.number.reset();
        }
    }
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
    // "    -2     0     0    92": a row of a printed matrix, numbers alone with two zeros
    // among the first three.
    const bool wordless = std::none_of(tokens.begin(), tokens.end(),
                                       [](const Token& t) { return !t.number && isWord(t.text); });
    if (runs.size() == 1 && runs[0].length >= 4 && wordless) {
        int zeros = 0;
        for (std::size_t k = 0; k < 3; ++k) zeros += *tokens[runs[0].start + k].number == 0 ? 1 : 0;
        if (zeros >= 2) {
            return refusedLine(fmt::format(
                "{} numbers alone, two of the first three zero, as a printed matrix's rows are; "
                "refused rather than read as x, y and z",
                runs[0].length));
        }
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
    if (const std::string why = lookalikeSigns(tokens.tokens); !why.empty())
        return refusedLine(why);
    ReadLine read;
    std::set<int> brackets;
    if (const auto peak = listLine(tokens.tokens)) {
        read.kind = ReadLine::kCoordinates;
        read.peaks.push_back(*peak);
    } else if (std::vector<Peak> peaks = sentencePeaks(tokens.tokens, brackets); !peaks.empty()) {
        read.kind = ReadLine::kCoordinates;
        // Numbers that may write a further peak in a notation not read here are said so.
        const std::vector<std::size_t> unread = unreadTriples(tokens.tokens, peaks, brackets);
        read.peaks = std::move(peaks);
        if (!unread.empty()) {
            std::string numbers;
            for (std::size_t k : unread)
                numbers += (numbers.empty() ? "" : " ") + tokens.tokens[k].text;
            Peak rest;
            rest.refused = fmt::format(
                "{} numbers ({}) that may write a peak stand in no notation read here; refused "
                "rather than guessed",
                unread.size(), numbers);
            read.peaks.push_back(rest);
        }
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
