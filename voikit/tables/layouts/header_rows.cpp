#include "voikit/tables/layouts/header_rows.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <set>

#include "voikit/io/utf8.h"
#include "voikit/io/word_list.h"
#include "voikit/tables/layouts/space_words.h"
#include "voikit/tables/text/cell_number.h"

namespace voikit {
namespace {

// Whether a row is split at the header's delimiter as the header is.
bool delimitedLike(const ColumnHeader& header, const std::string& line) {
    switch (header.delimiter) {
        case Delimiter::kTab:
            return line.find('\t') != std::string::npos;
        case Delimiter::kSemicolon:
            return line.find(';') != std::string::npos;
        case Delimiter::kComma:
            return line.find(',') != std::string::npos;
        case Delimiter::kBlanks:
            break;
    }
    return false;
}

// "BA, x, y, z, Z"
std::string labelsFrom(const ColumnHeader& header, int first) {
    std::string text;
    for (std::size_t i = static_cast<std::size_t>(first); i < header.labels.size(); ++i) {
        if (header.columns[i] == Column::kText) break;
        text += (text.empty() ? "" : ", ") + header.labels[i];
    }
    return text;
}

// The marks of the cells a row leaves empty, as written: "– – –".
std::string emptyMarks(const std::vector<Token>& tokens) {
    std::string marks;
    for (const Token& t : tokens) {
        if (emptyCellMark(t)) marks += (marks.empty() ? "" : " ") + t.text;
    }
    return marks;
}

std::string count(std::size_t n, const char* what) {
    return counted(static_cast<long long>(n), what);
}

}  // namespace

std::optional<NumberRun> coordinateRun(const std::vector<Token>& tokens) {
    for (std::size_t start = 0; start < tokens.size(); ++start) {
        std::size_t end = start;
        while (end < tokens.size() && tokens[end].number &&
               tokens[end].bracket == tokens[start].bracket) {
            ++end;
        }
        if (end - start >= 3) return NumberRun{start, end - start};
        start = std::max(start, end == start ? start : end - 1);
    }
    return std::nullopt;
}

std::string lookalikeSigns(const std::vector<Token>& tokens) {
    std::vector<Token> signedTokens = tokens;
    std::vector<std::size_t> odd;
    for (std::size_t i = 0; i < signedTokens.size(); ++i) {
        if (signLookalike(signedTokens[i]).empty()) continue;
        signedTokens[i].number = 0.0;
        odd.push_back(i);
    }
    const std::optional<NumberRun> run = coordinateRun(signedTokens);
    std::string written, character;
    for (std::size_t i : odd) {
        if (!run || i < run->start || i >= run->start + run->length) continue;
        written += (written.empty() ? "" : " ") + tokens[i].text;
        if (character.empty()) character = signLookalike(tokens[i]);
    }
    if (written.empty()) return std::string();
    std::size_t at = 0;
    const char32_t c = nextCodePoint(character, at);
    const std::string what = c >= 0xC0 && c <= 0x24F
                                 ? std::string("a letter")
                                 : fmt::format("the character U+{:04X}", static_cast<unsigned>(c));
    return what + " stands where a number's sign would: " + written +
           " (a PDF copy may have turned each minus sign into \"" + character +
           "\"); refused rather than read as a sign";
}

HeaderRows::HeaderRows(ColumnHeader header, const std::vector<std::string>& rows)
    : header_(std::move(header)) {
    // The numbers start after the last name column before the first x.
    const int firstX = std::min({header_.triples[0].x, header_.triples[0].y, header_.triples[0].z});
    for (int i = 0; i < firstX; ++i) {
        if (header_.columns[static_cast<std::size_t>(i)] == Column::kText) segment_.first = i + 1;
    }
    int lastCoordinate = 0;
    for (const Triple& t : header_.triples)
        lastCoordinate = std::max({lastCoordinate, t.x, t.y, t.z});
    int slot = 0;
    for (std::size_t i = static_cast<std::size_t>(segment_.first); i < header_.columns.size();
         ++i) {
        const Column kind = header_.columns[i];
        if (kind == Column::kText && static_cast<int>(i) > lastCoordinate) break;
        const int width = ColumnHeader::width(kind);
        if (static_cast<int>(i) < firstX) segment_.before += width;
        if (static_cast<int>(i) > lastCoordinate) segment_.after += width;
        slot += width;
    }
    segment_.slots = slot;
    // Rows split at blanks that all hold more numbers than the header names: the header
    // leaves its last columns unlabelled.
    std::set<std::size_t> lengths;
    int counted = 0;
    for (const std::string& row : rows) {
        if (delimitedLike(header_, row)) continue;
        Tokens tokens = tokenize(row);
        if (!tokens.ambiguity.empty()) continue;
        if (const auto run = coordinateRun(tokens.tokens)) {
            // A count whose thousands a blank parts is one number.
            lengths.insert(run->length - (blankThousands(tokens.tokens, *run) ? 1 : 0));
            ++counted;
        }
    }
    if (counted >= 2 && lengths.size() == 1 && header_.namedBefore.empty() &&
        static_cast<int>(*lengths.begin()) > segment_.slots) {
        unlabelled_ = static_cast<int>(*lengths.begin()) - segment_.slots;
        note_ = fmt::format(
            "every row holds {} where the header names {} ({}): the last {} the header leaves "
            "unlabelled",
            count(*lengths.begin(), "number"), segment_.slots, labelsFrom(header_, segment_.first),
            *unlabelled_ == 1 ? "is read as a column"
                              : fmt::format("{} are read as columns", *unlabelled_));
    }
    if (header_.side >= 0) {
        // Whether any row's x is negative decides what the side column means.
        deciding_ = true;
        bool negative = false, any = false;
        for (const std::string& row : rows) {
            for (const Peak& peak : read(row).peaks) {
                for (const Writing& writing : peak.writings) {
                    any = true;
                    negative = negative || writing.point[0] < 0;
                }
            }
        }
        deciding_ = false;
        unsignedX_ = any && !negative;
        if (unsignedX_) {
            note_ += std::string(note_.empty() ? "" : "; ") +
                     "no x is negative: the side column gives each peak's side (left makes x "
                     "negative)";
        }
    }
}

namespace {

enum class Side { kNone, kLeft, kRight };

Side sideOf(const std::string& cell) {
    std::string text = lowered(cell);
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    // English, and the German, Spanish and French words tables of those journals print.
    static const std::set<std::string> kLeft = {"l",         "left",      "lh",  "lt",    "links",
                                                "izquierdo", "izquierda", "izq", "gauche"};
    static const std::set<std::string> kRight = {"r",       "right",   "rh",  "rt",    "rechts",
                                                 "derecho", "derecha", "der", "droite"};
    if (kLeft.count(text) != 0) return Side::kLeft;
    if (kRight.count(text) != 0) return Side::kRight;
    return Side::kNone;
}

}  // namespace

void HeaderRows::applySideAndSpace(const std::string& side, const std::string& space,
                                   std::vector<std::optional<Writing>>& groups,
                                   std::vector<std::string>& refused, ReadLine& read) const {
    std::optional<Space> rowSpace;
    if (!space.empty()) {
        rowSpace = spaceWord(space);
        if (!rowSpace) rowSpace = mentionedSpace(space);
    }
    const Side rowSide = deciding_ ? Side::kNone : sideOf(side);
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (!groups[g]) continue;
        Writing& writing = *groups[g];
        if (!space.empty() && !header_.triples[g].space) {
            if (rowSpace) {
                writing.space = rowSpace;
            } else {
                refused[g] = "the space column holds \"" + space +
                             "\", which names no space this tool knows (MNI or Talairach)";
                groups[g].reset();
                continue;
            }
        }
        if (rowSide == Side::kNone) continue;
        const double x = writing.point[0];
        if (unsignedX_) {
            if (rowSide == Side::kLeft && x > 0) {
                writing.point[0] = -x;
                writing.text += " (x made negative: side " + side + ")";
            }
        } else if ((rowSide == Side::kLeft && x > 0) || (rowSide == Side::kRight && x < 0)) {
            read.note += std::string(read.note.empty() ? "" : "; ") +
                         "warning: the side column says " + side + ", but x is " +
                         fmt::format("{:g}", x) + ", on the " + (x > 0 ? "right" : "left") +
                         "; x taken as written";
        }
    }
}

ReadLine HeaderRows::read(const std::string& line) const {
    return delimitedLike(header_, line) ? readCells(line) : readWords(line);
}

ReadLine HeaderRows::readCells(const std::string& line) const {
    const std::vector<Cell> spans = cellSpans(line, header_.delimiter);
    std::vector<std::string> cells;
    cells.reserve(spans.size());
    for (const Cell& cell : spans) cells.push_back(cell.text);
    const bool decimalComma = header_.delimiter != Delimiter::kComma;
    const auto cellAt = [&](int i) {
        return static_cast<std::size_t>(i) < cells.size() ? cells[static_cast<std::size_t>(i)]
                                                          : std::string();
    };
    // The tokens of column i, placed in the line.
    const auto tokensAt = [&](int i) {
        const auto at = static_cast<std::size_t>(i);
        return at < spans.size() ? shifted(tokenize(spans[at].text).tokens, spans[at].begin)
                                 : std::vector<Token>();
    };
    std::vector<Token> marked;
    // The number in column i, or why there is none.
    const auto numberAt = [&](int i, std::string& why) -> std::optional<Token> {
        const std::string cell = cellAt(i);
        const std::string column =
            fmt::format("column {} ({})", i + 1, header_.labels[static_cast<std::size_t>(i)]);
        if (cell.empty()) {
            why = column + " is empty";
            return std::nullopt;
        }
        // "46 mm": a coordinate with its unit after it.
        std::string digits = cell;
        if (digits.size() > 3 && lowered(digits.substr(digits.size() - 3)) == " mm") {
            digits.resize(digits.size() - 3);
        }
        const auto number = cellNumber(digits, decimalComma, true);
        if (!number) {
            why = column + " holds \"" + cell + "\", not a number";
            return std::nullopt;
        }
        const Cell& span = spans[static_cast<std::size_t>(i)];
        Token token{digits, number->value, number->mark, i, 0, span.begin, span.end};
        if (!token.mark.empty()) marked.push_back(token);
        return token;
    };
    ReadLine read;
    std::string name, why;
    Peak shared;
    std::array<double, 3> colour{};
    int colourParts = 0;
    for (std::size_t i = 0; i < header_.columns.size(); ++i) {
        const int at = static_cast<int>(i);
        const Column kind = header_.columns[i];
        const std::string cell = cellAt(at);
        if (kind == Column::kText && at != header_.space) {
            const std::vector<Token> words = tokensAt(at);
            const std::string part = joinedName(words.begin(), words.end());
            if (!part.empty()) name += (name.empty() ? "" : "_") + part;
            for (const Span& span : wordSpans(words.begin(), words.end()))
                shared.nameSpans.push_back(span);
        } else if (kind == Column::kRadius && !cell.empty()) {
            if (const auto value = numberAt(at, why)) {
                shared.radius = value->number;
                read.cells.push_back({CellRole::kRadius, {value->begin, value->end}});
            }
        } else if ((kind == Column::kRed || kind == Column::kGreen || kind == Column::kBlue) &&
                   !cell.empty()) {
            if (const auto value = numberAt(at, why)) {
                colour[static_cast<int>(kind) - static_cast<int>(Column::kRed)] = *value->number;
                ++colourParts;
            }
        } else if (kind == Column::kColour && !cell.empty()) {
            const std::vector<Token> parts = tokenize(cell).tokens;
            if (parts.size() == 3 && parts[0].number && parts[1].number && parts[2].number) {
                colour = {*parts[0].number, *parts[1].number, *parts[2].number};
                colourParts = 3;
            } else {
                why = fmt::format("column {} ({}) should hold three numbers", at + 1,
                                  header_.labels[i]);
            }
        }
        if (!why.empty()) return refusedLine(why);
    }
    if (colourParts == 3) shared.colour = colour;
    std::vector<std::optional<Writing>> groups;
    std::vector<std::string> refused;
    for (const Triple& triple : header_.triples) {
        std::string groupWhy;
        std::optional<Writing> writing;
        if (triple.x == triple.y) {
            const std::string cell = cellAt(triple.x);
            Tokens parts = tokenize(cell);
            parts.tokens = tokensAt(triple.x);
            // "x = −22, y = −4, z = −18", "46 mm": the axes' names and units are no numbers;
            // "Cluster 1/4 +44 -62 +30": words before the three numbers label them.
            parts.tokens.erase(std::remove_if(parts.tokens.begin(), parts.tokens.end(),
                                              [](const Token& t) {
                                                  const std::string w = lowered(t.text);
                                                  return !t.number &&
                                                         (w == "x" || w == "y" || w == "z" ||
                                                          w == "mm" || w == "=");
                                              }),
                               parts.tokens.end());
            if (parts.tokens.size() > 3 &&
                std::none_of(parts.tokens.begin(), parts.tokens.end() - 3,
                             [](const Token& t) { return t.number.has_value(); })) {
                parts.tokens.erase(parts.tokens.begin(), parts.tokens.end() - 3);
            }
            const bool three = parts.tokens.size() == 3 &&
                               std::all_of(parts.tokens.begin(), parts.tokens.end(),
                                           [](const Token& t) { return t.number.has_value(); });
            if (three) {
                writing =
                    writingOf(parts.tokens[0], parts.tokens[1], parts.tokens[2], triple.space);
                for (const Token& t : parts.tokens) {
                    if (!t.mark.empty()) marked.push_back(t);
                }
            } else if (!cell.empty()) {
                groupWhy = fmt::format("column {} ({}) holds \"{}\", not x, y and z", triple.x + 1,
                                       header_.labels[static_cast<std::size_t>(triple.x)], cell);
            }
        } else if (!cellAt(triple.x).empty() || !cellAt(triple.y).empty() ||
                   !cellAt(triple.z).empty()) {
            const auto x = numberAt(triple.x, groupWhy);
            const auto y = x ? numberAt(triple.y, groupWhy) : std::nullopt;
            const auto z = y ? numberAt(triple.z, groupWhy) : std::nullopt;
            if (z) writing = writingOf(*x, *y, *z, triple.space);
        }
        groups.push_back(writing);
        refused.push_back(groupWhy);
    }
    std::size_t beyond = 0;
    for (std::size_t i = header_.columns.size(); i < cells.size(); ++i)
        beyond += cells[i].empty() ? 0 : 1;
    read.note = marksNote(marked);
    const auto markCell = [&](int column, CellRole role) {
        const auto at = static_cast<std::size_t>(column);
        if (column >= 0 && at < spans.size() && !spans[at].text.empty())
            read.cells.push_back({role, {spans[at].begin, spans[at].end}});
    };
    // Every number in a column the header names stands where the header says.
    read.placed = 0;
    for (std::size_t i = 0; i < spans.size() && i < header_.columns.size(); ++i) {
        for (const Token& t : tokenize(spans[i].text).tokens) read.placed += t.number ? 1 : 0;
    }
    markCell(header_.side, CellRole::kSide);
    markCell(header_.space, CellRole::kSpace);
    for (std::size_t i = 0; i < header_.counts.size(); ++i) {
        if (header_.counts[i] && header_.columns[i] == Column::kOther)
            markCell(static_cast<int>(i), CellRole::kCount);
    }
    applySideAndSpace(header_.side >= 0 ? cellAt(header_.side) : std::string(),
                      header_.space >= 0 ? cellAt(header_.space) : std::string(), groups, refused,
                      read);
    if (beyond > 0) {
        read.note += (read.note.empty() ? "" : "; ") + count(beyond, "cell") +
                     " beyond the header's columns ignored";
    }
    shared.name = name;
    addPeaks(line, shared, groups, refused, read);
    return read;
}

namespace {

// Whether a token is a whole number of `digits` digits (1 to 3 when 0), without sign or mark.
bool digitGroup(const Token& token, std::size_t digits) {
    const std::string& text = token.text;
    const bool size = digits == 0 ? !text.empty() && text.size() <= 3 : text.size() == digits;
    return token.number && token.mark.empty() && size &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

// Whether a column's heading names a probability ("p", "pFWE", "p(unc)"), which no number of
// three digits can be.
bool probabilityColumn(const std::string& label) {
    const std::string l = lowered(label);
    if (l.empty() || l[0] != 'p') return false;
    if (l.size() == 1 || std::string("-_( ").find(l[1]) != std::string::npos) return true;
    for (const char* kind : {"fwe", "fdr", "unc", "corr", "val"}) {
        if (l.compare(1, std::string(kind).size(), kind) == 0) return true;
    }
    return false;
}

// Peaks whose x is written "±34", as journals write homologous peaks once: a peak on each
// side, x = 34 on the right (named _R) and x = -34 on the left (named _L).
void bothSides(ReadLine& read, const std::map<std::size_t, std::string>& plusMinusAt) {
    std::vector<Peak> peaks;
    for (const Peak& peak : read.peaks) {
        const auto signedX = [&](const Writing& w) { return plusMinusAt.count(w.spans[0].begin); };
        if (std::none_of(peak.writings.begin(), peak.writings.end(), signedX)) {
            peaks.push_back(peak);
            continue;
        }
        Peak right = peak, left = peak;
        for (std::size_t w = 0; w < peak.writings.size(); ++w) {
            if (!signedX(peak.writings[w])) continue;
            const double x = peak.writings[w].point[0];
            right.writings[w].text += fmt::format(" (x = {:g}: right)", x);
            left.writings[w].point[0] = -x;
            left.writings[w].text += fmt::format(" (x = {:g}: left)", -x);
        }
        right.name += (right.name.empty() ? "" : "_") + std::string("R");
        left.name += (left.name.empty() ? "" : "_") + std::string("L");
        peaks.push_back(right);
        peaks.push_back(left);
    }
    read.peaks = std::move(peaks);
}

}  // namespace

std::optional<std::size_t> HeaderRows::blankThousands(const std::vector<Token>& tokens,
                                                      const NumberRun& run) const {
    const int slots = segment_.slots;
    if (static_cast<int>(run.length) != slots + 1 || !header_.namedBefore.empty()) {
        return std::nullopt;
    }
    // The column of each place in a run that fits the header, -1 for the places of wider ones.
    std::vector<int> columnAt(static_cast<std::size_t>(slots), -1);
    for (std::size_t i = static_cast<std::size_t>(segment_.first); i < header_.columns.size();
         ++i) {
        const int index = runIndex(static_cast<int>(i), 0, slots);
        if (index >= 0 && ColumnHeader::width(header_.columns[i]) == 1)
            columnAt[static_cast<std::size_t>(index)] = static_cast<int>(i);
    }
    const auto countColumn = [&](int column) {
        if (column < 0 || header_.columns[static_cast<std::size_t>(column)] != Column::kOther)
            return false;
        return static_cast<bool>(header_.counts[static_cast<std::size_t>(column)]) ||
               lowered(header_.labels[static_cast<std::size_t>(column)]).rfind("vol", 0) == 0;
    };
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i + 1 < run.length; ++i) {
        if (!digitGroup(tokens[run.start + i], 0) || !digitGroup(tokens[run.start + i + 1], 3) ||
            !countColumn(columnAt[i])) {
            continue;
        }
        if (found) return std::nullopt;  // two pairs could be the count
        found = i;
    }
    if (!found) return std::nullopt;
    const auto before = static_cast<std::size_t>(segment_.before);
    if (*found < before) {
        // Read with its last number in an unlabelled column instead, the row would put the
        // three digits after the blank in x, or in a column of probabilities: neither holds
        // them. (Read with its first number the name's, it places x, y and z as the count does.)
        const int next = columnAt[*found + 1];
        if (*found + 1 != before &&
            !(next >= 0 && probabilityColumn(header_.labels[static_cast<std::size_t>(next)]))) {
            return std::nullopt;
        }
        return found;
    }
    // A count after z: the row's first number must be no name's, as a signed or decimal one,
    // or one right after the row's side, is not.
    const Token& first = tokens[run.start];
    const bool wholeFirst = first.text.find_first_not_of("0123456789") == std::string::npos;
    const bool afterSide =
        header_.side >= 0 && run.start > 0 && sideOf(tokens[run.start - 1].text) != Side::kNone;
    if (wholeFirst && !afterSide) return std::nullopt;
    return found;
}

bool HeaderRows::wholeBeforeX() const {
    const Triple& first = header_.triples[0];
    const int firstX = std::min({first.x, first.y, first.z});
    for (int i = segment_.first; i < firstX; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (header_.columns[at] == Column::kText) continue;
        const std::string label = lowered(header_.labels[at]);
        const bool whole = header_.counts[at] || label == "ba" || label == "brodmann" ||
                           label == "cluster" || label == "#" || label == "no.";
        if (!whole) return false;
    }
    return true;
}

int HeaderRows::runIndex(int column, int base, int length) const {
    int slot = 0;
    for (int i = segment_.first; i < column; ++i) {
        slot += ColumnHeader::width(header_.columns[static_cast<std::size_t>(i)]);
    }
    const int index = slot + base;
    return index >= 0 && index < length ? index : -1;
}

ReadLine HeaderRows::readWords(const std::string& text) const {
    Tokens line = tokenize(text);
    const std::string ambiguity = line.ambiguity;
    // Digits grouped by commas ("1,126") are a count's thousands where they stand in a count
    // column; that is checked once the row's numbers are placed.
    const bool countColumns =
        std::find(header_.counts.begin(), header_.counts.end(), true) != header_.counts.end();
    if (!ambiguity.empty() && countColumns) line = tokenize(text, true);
    if (!line.ambiguity.empty()) return refusedLine(line.ambiguity);
    if (const std::string why = lookalikeSigns(line.tokens); !why.empty()) return refusedLine(why);
    // "±34" writes a peak on each side (see bothSides); its number stands in its place.
    std::map<std::size_t, std::string> plusMinusAt;  // where each such number begins: as written
    for (Token& t : line.tokens) {
        if (const auto value = plusMinus(t)) {
            t.number = value;
            plusMinusAt[t.begin] = t.text;
        }
    }
    // A number more than the header's columns hold, after a word that takes one ("Area 44"),
    // is the name's.
    if (const auto whole = coordinateRun(line.tokens);
        whole && static_cast<int>(whole->length) > segment_.slots &&
        unlabelled_ != static_cast<int>(whole->length) - segment_.slots) {
        keepNamesNumbers(line.tokens);
    }
    // A count whose thousands a blank parts ("1 842") is one number.
    std::string blankNote;
    if (const auto whole = coordinateRun(line.tokens)) {
        if (const auto pair = blankThousands(line.tokens, *whole)) {
            const std::size_t at = whole->start + *pair;
            Token& count = line.tokens[at];
            const Token& rest = line.tokens[at + 1];
            count.text += " " + rest.text;
            count.number = *count.number * 1000 + *rest.number;
            count.end = rest.end;
            line.tokens.erase(line.tokens.begin() + static_cast<std::ptrdiff_t>(at) + 1);
            blankNote = fmt::format(
                "\"{}\" read as {:g} in a count column, its blank a thousands "
                "separator",
                count.text, *count.number);
        }
    }
    const std::vector<Token>& tokens = line.tokens;
    const std::optional<NumberRun> run = coordinateRun(tokens);
    if (!run) {
        // "Insula L – – – n.s.": a region the table lists without a peak.
        if (std::count_if(tokens.begin(), tokens.end(), emptyCellMark) >= 3 &&
            coordinateCandidates(tokens) < 3) {
            return refusedLine("its cells are marked empty (" + emptyMarks(tokens) +
                               "): the table gives no peak here");
        }
        if (coordinateCandidates(tokens) < 3) return noCoordinates(text);
        return refusedLine("no three numbers in a row");
    }
    Peak shared;
    Span sideSpan;
    // Numbers before the names stand in columns before the name columns (a cluster number).
    std::size_t nameFrom = 0;
    if (!header_.columns.empty() && header_.columns[0] != Column::kText) {
        while (nameFrom < run->start && tokens[nameFrom].number) ++nameFrom;
    }
    // Cells the author marked empty ("–", "n/a") among or beside the numbers keep their places:
    // the numbers and marks after the name, [from, to), fill the header's columns in order.
    // Marks first that the columns do not ask for are a name column's ("—" for a midline side).
    const int slots = segment_.slots;
    std::size_t from = run->start;
    std::size_t to = run->start + run->length;
    const auto numberOrMark = [&](std::size_t i) {
        return tokens[i].number.has_value() || emptyCellMark(tokens[i]);
    };
    while (from > nameFrom && numberOrMark(from - 1)) --from;
    while (to < tokens.size() && numberOrMark(to)) ++to;
    const bool marked =
        std::any_of(tokens.begin() + static_cast<std::ptrdiff_t>(from),
                    tokens.begin() + static_cast<std::ptrdiff_t>(to), emptyCellMark);
    if (marked) {
        while (to - from > static_cast<std::size_t>(slots) && emptyCellMark(tokens[from])) ++from;
    } else {
        from = run->start;
    }
    // The side and space columns stand among the words before the numbers.
    std::string sideWord, spaceText;
    std::vector<Token> nameWords;
    ReadLine read;
    for (std::size_t i = nameFrom; i < from; ++i) {
        const Token& t = tokens[i];
        if (header_.space >= 0 && !t.number && spaceWord(t.text)) {
            spaceText = t.text;
            read.cells.push_back({CellRole::kSpace, {t.begin, t.end}});
            continue;
        }
        if (header_.side >= 0 && !t.number && sideOf(t.text) != Side::kNone) {
            sideWord = t.text;
            sideSpan = {t.begin, t.end};
        }
        nameWords.push_back(t);
    }
    if (!sideSpan.empty()) read.cells.push_back({CellRole::kSide, sideSpan});
    shared.name = joinedName(nameWords.begin(), nameWords.end());
    shared.nameSpans = wordSpans(nameWords.begin(), nameWords.end());
    // A row that names itself after its numbers, as the plug-in's own lists do.
    for (std::size_t i = run->start + run->length; shared.name.empty() && i < tokens.size(); ++i) {
        if (!tokens[i].number && isWord(tokens[i].text)) {
            shared.name = tokens[i].text;
            shared.nameSpans = {{tokens[i].begin, tokens[i].end}};
        }
    }
    const int length = static_cast<int>(run->length);
    const std::string names = fmt::format("{} ({})", slots, labelsFrom(header_, segment_.first));
    int base = 0;  // where the header's first number column stands in the run
    // Numbers before x that a name or a count column could hold: unsigned whole numbers.
    const auto countsUpTo = [&](int end) {
        for (int i = 0; i < end; ++i) {
            const Token& t = tokens[run->start + static_cast<std::size_t>(i)];
            const std::string digits = t.text.substr(0, t.text.size() - t.mark.size());
            if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
        }
        return true;
    };
    if (marked) {
        if (to - from != static_cast<std::size_t>(slots)) {
            return refusedLine(count(run->length, "number") + " and cells marked empty (" +
                               emptyMarks(tokens) + ") where the header names " + names +
                               ": which columns are empty cannot be told; refused rather than "
                               "shifted");
        }
        base = -static_cast<int>(run->start - from);
        for (const Triple& triple : header_.triples) {
            const std::pair<int, const char*> axes[] = {
                {triple.x, "x"}, {triple.y, "y"}, {triple.z, "z"}};
            for (const auto& [column, axis] : axes) {
                if (runIndex(column, base, length) >= 0) continue;
                return refusedLine(std::string("its cell under ") + axis + " is marked empty (" +
                                   emptyMarks(tokens) + "): the table gives no peak here");
            }
        }
    }
    std::string unlabelledNote;
    if (length > slots && !header_.namedBefore.empty()) {
        return refusedLine(count(run->length, "number") + " where the header names " + names +
                           ", and the line above names columns before the coordinates (" +
                           header_.namedBefore +
                           "): which of them are x, y and z cannot be told; refused rather "
                           "than shifted");
    }
    if (length > slots && unlabelled_ != length - slots) {
        // Extra numbers first could belong to the name ("Area 44"), unless no name holds them.
        if (countsUpTo(length - slots)) {
            return refusedLine(count(run->length, "number") + " where the header names " + names +
                               ": the first may belong to the name, or the last stand in a "
                               "column the header does not label; refused rather than shifted");
        }
        unlabelledNote = "the last " +
                         count(run->length - static_cast<std::size_t>(slots), "number") +
                         " read as a column the header does not label";
    }
    if (length < slots && !marked) {
        // Empty cells at the end (read from the left) or before x (read from the right).
        bool fromLeft = length >= slots - segment_.after;
        const bool fromRight = slots - length <= segment_.before;
        // From the left, the row's first numbers fill the columns before x, which hold counts.
        // A decimal first cannot stand in a count (k, BA) before x: that cell is the empty
        // one. Where a column before x may hold decimals ("Area (mm²)", T), it may not be.
        if (fromLeft && fromRight && !countsUpTo(segment_.before) && wholeBeforeX()) {
            fromLeft = false;
        }
        if (fromLeft && fromRight) {
            return refusedLine(count(run->length, "number") + " where the header names " + names +
                               ": a cell before x or after z is empty, and which one cannot be "
                               "told; refused rather than shifted");
        }
        if (!fromLeft && !fromRight) {
            return refusedLine("only " + count(run->length, "number") + " where the header names " +
                               names);
        }
        if (fromRight) base = length - slots;
        // A number missing within x, y and z would slide the next column's value into z:
        // a decimal after whole x and y ("−6 −62 4.05 98" under "x y z Z k") is a statistic.
        for (const Triple& triple : header_.triples) {
            if (fromRight || triple.x == triple.y) continue;
            const int x = runIndex(triple.x, base, length);
            const int y = runIndex(triple.y, base, length);
            const int z = runIndex(triple.z, base, length);
            if (x < 0 || y < 0 || z < 0) continue;
            const auto whole = [&](int i) {
                const Token& t = tokens[run->start + static_cast<std::size_t>(i)];
                return t.text.find_first_of(".,eE") == std::string::npos;
            };
            if (whole(x) && whole(y) && !whole(z)) {
                return refusedLine(count(run->length, "number") + " where the header names " +
                                   names + ": z would be " +
                                   tokens[run->start + static_cast<std::size_t>(z)].text +
                                   ", a decimal after whole x and y, as if a coordinate were "
                                   "missing; refused rather than shifted");
            }
        }
    }
    const auto at = [&](int index) { return tokens[run->start + static_cast<std::size_t>(index)]; };
    std::string thousandsNote;
    if (!ambiguity.empty()) {
        // Grouped digits read as thousands must all stand in count columns.
        std::set<std::size_t> inCounts;
        for (std::size_t i = static_cast<std::size_t>(segment_.first); i < header_.columns.size();
             ++i) {
            const int index = runIndex(static_cast<int>(i), base, length);
            if (header_.counts[i] && index >= 0)
                inCounts.insert(run->start + static_cast<std::size_t>(index));
        }
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (!tokens[i].number || !groupedThousands(tokens[i].text)) continue;
            if (inCounts.count(i) == 0) return refusedLine(ambiguity);
            thousandsNote += fmt::format("{}\"{}\" read as {:g}", thousandsNote.empty() ? "" : ", ",
                                         tokens[i].text, *tokens[i].number);
        }
        thousandsNote += " in a count column, its commas thousands separators";
    }
    Span radiusSpan;
    for (std::size_t i = static_cast<std::size_t>(segment_.first); i < header_.columns.size();
         ++i) {
        const int index = runIndex(static_cast<int>(i), base, length);
        if (index < 0) continue;
        if (header_.columns[i] == Column::kRadius) {
            shared.radius = *at(index).number;
            radiusSpan = {at(index).begin, at(index).end};
        }
        if (header_.columns[i] == Column::kColour && index + 2 < length) {
            shared.colour = std::array<double, 3>{*at(index).number, *at(index + 1).number,
                                                  *at(index + 2).number};
        }
    }
    std::vector<std::optional<Writing>> groups;
    std::vector<std::string> refused;
    for (const Triple& triple : header_.triples) {
        const int x = runIndex(triple.x, base, length);
        const int y = triple.x == triple.y ? x + 1 : runIndex(triple.y, base, length);
        const int z = triple.x == triple.z ? x + 2 : runIndex(triple.z, base, length);
        if (x >= 0 && y >= 0 && z >= 0 && y < length && z < length) {
            groups.push_back(writingOf(at(x), at(y), at(z), triple.space));
            refused.emplace_back();
        } else {
            groups.emplace_back();
            refused.push_back("the row's numbers end before this group's x, y and z");
        }
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (!groups[g]) continue;
        const std::array<Span, 3>& spans = groups[g]->spans;
        for (const std::size_t axis : {1U, 2U}) {
            const auto sign = plusMinusAt.find(spans[axis].begin);
            if (sign == plusMinusAt.end()) continue;
            refused[g] = "\"" + sign->second +
                         "\" stands before y or z: which peaks it writes cannot be told";
            groups[g].reset();
            break;
        }
        if (groups[g] && !sideWord.empty() && plusMinusAt.count(spans[0].begin) != 0) {
            refused[g] = "\"" + plusMinusAt[spans[0].begin] +
                         "\" writes a peak on each side, but the side column says " + sideWord +
                         ": which it is cannot be told";
            groups[g].reset();
        }
    }
    if (!radiusSpan.empty()) read.cells.push_back({CellRole::kRadius, radiusSpan});
    read.placed = static_cast<int>(run->length) + (blankNote.empty() ? 0 : 1) -
                  static_cast<int>(plusMinusAt.size());
    read.note = marksNote(tokens);
    if (!thousandsNote.empty()) read.note += (read.note.empty() ? "" : "; ") + thousandsNote;
    if (!blankNote.empty()) read.note += (read.note.empty() ? "" : "; ") + blankNote;
    applySideAndSpace(sideWord, spaceText, groups, refused, read);
    if (!unlabelledNote.empty()) read.note += (read.note.empty() ? "" : "; ") + unlabelledNote;
    addPeaks(text, shared, groups, refused, read);
    if (!plusMinusAt.empty()) bothSides(read, plusMinusAt);
    return read;
}

void HeaderRows::addPeaks(const std::string& line, const Peak& shared,
                          const std::vector<std::optional<Writing>>& groups,
                          const std::vector<std::string>& refused, ReadLine& read) const {
    // Groups the headings call no peak (a centre of gravity) are left out while a peak
    // group stands beside them.
    std::vector<std::size_t> taken;
    for (std::size_t g = 0; g < header_.triples.size(); ++g) {
        if (header_.triples[g].peak) taken.push_back(g);
    }
    if (taken.empty()) {
        for (std::size_t g = 0; g < header_.triples.size(); ++g) taken.push_back(g);
    }
    // Groups in different spaces write one peak twice; other groups are peaks of their own.
    std::set<Space> spaces;
    for (std::size_t g : taken) {
        if (header_.triples[g].space) spaces.insert(*header_.triples[g].space);
    }
    const bool oneInSeveralSpaces = taken.size() > 1 && spaces.size() == taken.size();
    read.kind = ReadLine::kCoordinates;
    if (oneInSeveralSpaces) {
        Peak peak = shared;
        for (std::size_t g : taken) {
            if (!refused[g].empty() && peak.refused.empty()) peak.refused = refused[g];
            if (groups[g]) peak.writings.push_back(*groups[g]);
        }
        if (!peak.refused.empty()) peak.writings.clear();
        if (!peak.writings.empty() || !peak.refused.empty()) read.peaks.push_back(peak);
    } else {
        for (std::size_t g : taken) {
            if (!groups[g] && refused[g].empty()) continue;
            Peak peak = shared;
            if (taken.size() > 1) {
                const std::string& label = header_.triples[g].label;
                peak.name += (peak.name.empty() ? "" : "_") +
                             (label.empty() ? std::to_string(g + 1) : label);
            }
            if (groups[g]) {
                peak.writings.push_back(*groups[g]);
            } else {
                peak.refused = refused[g];
            }
            read.peaks.push_back(peak);
        }
    }
    if (read.peaks.empty()) {
        const std::string note = read.note;
        read = noCoordinates(line);
        read.note = note;
    }
}

}  // namespace voikit
