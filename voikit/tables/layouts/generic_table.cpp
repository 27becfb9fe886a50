#include "voikit/tables/layouts/generic_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <regex>
#include <set>

#include "voikit/tables/layouts/column_header.h"
#include "voikit/tables/layouts/free_line.h"
#include "voikit/tables/layouts/header_rows.h"
#include "voikit/tables/layouts/space_words.h"
#include "voikit/tables/text/cells.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {
namespace {

bool isText(const std::string& line) { return !emptyOrComment(line); }

// The line above a header that may head its groups: the one right above, or, when both are
// split at tabs, past the lines markup left empty (LaTeX's \cmidrule; an HTML row's other
// lines and its <tr> tags, where the rows are pretty-printed one cell a line).
std::size_t aboveOf(const std::vector<std::string>& lines, std::size_t i) {
    constexpr std::size_t kMostEmpty = 16;
    if (i > 0 && isText(lines[i - 1])) return i - 1;
    if (lines[i].find('\t') == std::string::npos) return i;
    std::size_t above = i;
    while (above > 0 && i - above <= kMostEmpty && lines[above - 1].empty()) --above;
    if (above > 0 && above < i && lines[above - 1].find('\t') != std::string::npos) {
        return above - 1;
    }
    return i;
}

// The words of a header, or of the heading line above it, that give its coordinates as voxel
// indices rather than millimetres ("x (vox)", "Voxel coordinates"); "" when none do.
std::string voxelHeading(const std::string& line) {
    static const std::regex kVoxels(
        R"(\b[xyz]\s*[\(\[]\s*vox(?:els?)?\s*[\)\]]|\bvox(?:el)?\s+(?:coordinates?|coords?|indices|index|space)\b|\(\s*i\s*,\s*j\s*,\s*k\s*\))",
        std::regex::icase | std::regex::optimize);
    // "Peak voxel coordinates (MNI)" are the millimetres of the peak's voxel.
    static const std::regex kMillimetres(
        R"(\bpeak\s+vox|vox\w*\s+coord\w*\s*[\(\[]\s*(?:mni|tal|mm))",
        std::regex::icase | std::regex::optimize);
    std::smatch match;
    if (!std::regex_search(line, match, kVoxels)) return "";
    const std::string words = match[0].str();
    const bool axisUnit = std::regex_search(words, std::regex(R"(^[xyz])", std::regex::icase));
    return axisUnit || !std::regex_search(line, kMillimetres) ? words : std::string();
}

// A line of numbers alone right under a line that names only a statistic ("t-value",
// "Z score", "% signal change"): that statistic's values.
bool underStatistic(const std::string& above, const std::string& line) {
    static const std::set<std::string> kStatistics = {
        "t",       "t-value",         "t value", "t-values", "z",          "z-score",
        "z score", "z-value",         "p",       "p-value",  "f",          "r",
        "beta",    "% signal change", "psc",     "t-score",  "colour bar", "color bar"};
    std::string name = lowered(above);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == ':'))
        name.pop_back();
    if (kStatistics.count(name) == 0) return false;
    const Tokens tokens = tokenize(line);
    return !tokens.tokens.empty() &&
           std::all_of(tokens.tokens.begin(), tokens.tokens.end(),
                       [](const Token& t) { return t.number.has_value(); });
}

// The header a line is, with the line above it when that may head its groups.
std::optional<ColumnHeader> headerAt(const std::vector<std::string>& lines, std::size_t i) {
    const std::size_t above = aboveOf(lines, i);
    return readColumnHeader(lines[i], above != i ? &lines[above] : nullptr);
}

void stateSpaces(const ColumnHeader& header, int line, TableReading& reading) {
    std::vector<Space> spaces;
    for (const Triple& triple : header.triples) {
        if (!triple.space) continue;
        for (Space known : spaces) {
            // Groups in different spaces give no one space to the table.
            if (known != *triple.space) return;
        }
        spaces.push_back(*triple.space);
    }
    for (const Triple& triple : header.triples) {
        if (!triple.space) continue;
        reading.spaces.push_back(
            {*triple.space, line, "the column heading \"" + triple.spaceHeading + "\""});
        return;
    }
}

// A line of three or more cells split at tabs, semicolons or commas, all of them words: the
// names of a table's columns, none of them x, y or z.
bool namesOtherColumns(const std::string& line) {
    const Delimiter delimiter = delimiterOf(line);
    if (delimiter == Delimiter::kBlanks) return false;
    int named = 0;
    for (const std::string& cell : splitCells(line, delimiter)) {
        for (const Token& token : tokenize(cell).tokens) {
            if (token.number && token.bracket == 0) return false;
        }
        named += cell.empty() ? 0 : 1;
    }
    return named >= 3;
}

// Words that say a line's numbers may be coordinates or a region's name, so that the line
// is no list of other columns' names.
const std::set<std::string> kNotOtherColumns = {
    "x",         "y",           "z",         "xyz",       "coordinates", "coordinate",  "coords",
    "peak",      "peaks",       "maxima",    "maximum",   "foci",        "focus",       "mm",
    "location",  "locations",   "seed",      "seeds",     "activation",  "activations", "gyrus",
    "cortex",    "lobule",      "lobe",      "sulcus",    "nucleus",     "area",        "left",
    "right",     "l",           "r",         "bilateral", "pars",        "insula",      "frontal",
    "temporal",  "parietal",    "occipital", "cingulate", "cerebellum",  "thalamus",    "amygdala",
    "precuneus", "hippocampus", "putamen",   "caudate"};

// How many headings a line split at blanks names over columns of numbers other than x, y and
// z ("Patients Controls p": 3; "ROI Run 1 Run 2 Run 3": 4, a number after a word being part of
// its heading); 0 when it is no such line.
int otherHeadings(const std::string& line) {
    if (delimiterOf(line) != Delimiter::kBlanks) return 0;
    const Tokens tokens = tokenize(line);
    if (!tokens.ambiguity.empty() || readsAsSentence(tokens)) return 0;
    int headings = 0;
    for (std::size_t i = 0; i < tokens.tokens.size(); ++i) {
        const Token& token = tokens.tokens[i];
        if (token.bracket != 0) continue;  // "(years)" describes the heading before it
        if (token.number) {
            // Only a small whole number right after a word of letters: "Run 1", "Session 2".
            const bool counted = token.text.size() <= 2 &&
                                 token.text.find_first_not_of("0123456789") == std::string::npos;
            const Token* before = i > 0 ? &tokens.tokens[i - 1] : nullptr;
            const bool afterWord =
                before && !before->number && before->bracket == 0 &&
                std::isalpha(static_cast<unsigned char>(before->text.back())) != 0;
            if (!counted || !afterWord) return 0;
            continue;
        }
        if (!isWord(token.text)) continue;
        // Each part of a word joined by hyphens ("Peak-level").
        const std::string word = lowered(token.text);
        for (std::size_t start = 0, end = 0; start <= word.size(); start = end + 1) {
            end = std::min(word.find('-', start), word.size());
            const std::string part = word.substr(start, end - start);
            if (spaceWord(part) || kNotOtherColumns.count(part) != 0) return 0;
        }
        ++headings;
    }
    return headings;
}

// A line of column names split at blanks, none of them x, y or z, right above rows of
// numbers that stand one under each name (the first name may head the rows' names), as a
// table of group means or of signal changes per run is copied from a PDF.
bool namesOtherColumnsAtBlanks(const std::vector<std::string>& lines, std::size_t i) {
    const int headings = otherHeadings(lines[i]);
    if (headings < 2) return false;
    int rows = 0;
    bool negative = false, fraction = false;
    for (std::size_t k = i + 1; k < lines.size() && rows < 2; ++k) {
        if (!isText(lines[k])) return false;
        if (delimiterOf(lines[k]) != Delimiter::kBlanks) return false;
        const Tokens row = tokenize(lines[k]);
        const auto run = coordinateRun(row.tokens);
        if (!row.ambiguity.empty() || !run) return false;
        const int numbers = static_cast<int>(run->length);
        if (headings != numbers && headings != numbers + 1) return false;
        for (std::size_t t = run->start; t < run->start + run->length; ++t) {
            negative = negative || *row.tokens[t].number < 0;
            fraction = fraction || row.tokens[t].text.find('.') != std::string::npos;
        }
        ++rows;
    }
    // Whole numbers, some of them negative, are written as coordinates are: a title of a few
    // words above them ("Main effect conflict") is no list of other columns.
    return rows == 2 && (fraction || !negative);
}

}  // namespace

TableReading readGenericTable(const std::vector<std::string>& lines) {
    TableReading reading;
    reading.layout = "table";
    std::vector<std::optional<ColumnHeader>> headers(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (isText(lines[i])) headers[i] = headerAt(lines, i);
    }
    std::unique_ptr<HeaderRows> rows;
    std::string voxels;        // the header's words that make its x, y and z voxel indices
    std::string otherColumns;  // the last line of column names without x, y or z
    std::string region;        // the name of the last named row under the header
    int further = 0;           // the rows after it with empty name cells
    int otherColumnsLine = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (auto plain = emptyOrComment(line)) {
            reading.lines.push_back(*plain);
            continue;
        }
        if (headers[i]) {
            std::vector<std::string> under;
            for (std::size_t k = i + 1; k < lines.size() && !headers[k]; ++k) {
                if (isText(lines[k])) under.push_back(lines[k]);
            }
            rows = std::make_unique<HeaderRows>(*headers[i], under);
            ReadLine read;
            read.kind = ReadLine::kHeader;
            read.account = "header: " + describeHeader(rows->header());
            if (!rows->note().empty()) read.account += "; " + rows->note();
            const int number = static_cast<int>(i) + 1;
            const std::size_t above = aboveOf(lines, i);
            voxels = voxelHeading(lines[i]);
            if (voxels.empty() && above != i) voxels = voxelHeading(lines[above]);
            // Beside a group in millimetres, the voxels' group is left out as no peak's.
            if (headers[i]->triples.size() > 1) voxels.clear();
            if (!voxels.empty()) {
                read.account += "; \"" + voxels + "\": its x, y and z are voxel indices";
            }
            reading.lines.push_back(read);
            if (headers[i]->groupLine) {
                reading.lines[above].kind = ReadLine::kHeader;
                reading.lines[above].account = "header: headings over the columns below";
                reading.lines[above].peaks.clear();
                reading.lines[above].mentioned.reset();
            }
            stateSpaces(*headers[i], headers[i]->groupLine ? static_cast<int>(above) + 1 : number,
                        reading);
            continue;
        }
        if (!rows && (namesOtherColumns(line) || namesOtherColumnsAtBlanks(lines, i))) {
            // Rows under column names without x, y and z are no peaks: they are refused, not
            // read as numbers in a row.
            otherColumns = line;
            otherColumnsLine = static_cast<int>(i) + 1;
            ReadLine names = noCoordinates(line, "column names without x, y or z");
            if (coordinateCandidates(tokenize(line).tokens) >= 3) {
                // "Run 1 Run 2 Run 3": numbers that number the columns, set aside by name.
                names.kind = ReadLine::kIgnored;
                names.account = "column names without x, y or z; their numbers number the columns";
            }
            reading.lines.push_back(names);
            continue;
        }
        const bool underOthers = !rows && !otherColumns.empty() &&
                                 delimiterOf(line) == delimiterOf(otherColumns) &&
                                 coordinateCandidates(tokenize(line).tokens) >= 3;
        if (underOthers) {
            reading.lines.push_back(refusedLine(fmt::format(
                "a row under line {}, whose column names (\"{}\") hold no x, y or z: no peak",
                otherColumnsLine, otherColumns)));
            continue;
        }
        if (!rows && i > 0 && underStatistic(lines[i - 1], line)) {
            // "t-value" over "3.1 5.5 8.0", as a figure's colour bar pastes.
            reading.lines.push_back(noCoordinates(
                line, "values under the heading \"" + lines[i - 1] + "\", not x, y and z"));
            reading.lines.back().kind = ReadLine::kIgnored;
            continue;
        }
        ReadLine read = rows ? rows->read(line) : readFreeLine(line);
        if (rows && !voxels.empty() && !read.peaks.empty()) {
            // Indices place no sphere without the image they index.
            read = refusedLine("the header gives x, y and z as voxel indices (\"" + voxels +
                               "\"), not millimetres: no sphere can be placed from them");
        }
        // A row whose name cells are empty, merged into the row above as spreadsheets and
        // journals print sub-peaks, is a further peak of that row's region.
        const bool merged = rows && line.find_first_not_of(" \t") != 0 && line[0] == '\t';
        for (Peak& peak : read.peaks) {
            if (!peak.name.empty()) {
                region = peak.name;
                further = 0;
            } else if (merged && !region.empty()) {
                peak.name = fmt::format("{}_sub{}", region, ++further);
            }
        }
        if (!rows) region.clear();
        reading.lines.push_back(read);
    }
    return reading;
}

}  // namespace voikit
