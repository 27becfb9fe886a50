#include "voikit/tables/layouts/column_header.h"

#include <algorithm>
#include <array>
#include <map>
#include <regex>
#include <set>
#include <utility>

#include "voikit/tables/layouts/space_words.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {
namespace {

const std::set<std::string> kTextWords = {
    "name",      "label",      "labels",       "region",       "regions",
    "area",      "areas",      "structure",    "location",     "roi",
    "anatomy",   "anatomical", "description",  "hemisphere",   "hemi",
    "side",      "h",          "l/r",          "lobe",         "gyrus",
    "brain",     "laterality", "localization", "localisation", "site",
    "lat",       "lat.",       "hem",          "hem.",         "seite",
    "lado",      "hemisferio", "côté",         "hémisphère",   "región",
    "seed",      "seeds",      "node",         "nodes",        "network",
    "component", "région",     "regionen"};
const std::set<std::string> kFillerWords = {
    "koordinaten", "coordenadas", "coordonnées",  "coordinates", "coordinate", "coords",
    "coord",       "peak",        "peaks",        "mm",          "of",         "in",
    "space",       "stereotaxic", "stereotactic", "(mm)",        "locations"};
// Words that may stand beside a space in a heading over columns ("MNI coordinates (mm)").
const std::set<std::string> kHeadingFiller = {
    "coordinates", "coordinate",  "coords",       "coord", "mm",
    "(mm)",        "stereotaxic", "stereotactic", "peak",  "koordinaten",
    "coordenadas", "coordonnées", "space",        "raum"};
// Words that head a group of columns without naming its space.
const std::set<std::string> kGroupWords = {"left", "right", "l", "r", "lh", "rh", "bilateral"};
// Words that name statistics and other columns: what a heading line may hold besides.
const std::set<std::string> kHeadingWords = {
    "t",      "z",     "k",     "ke",        "p",     "ba",       "voxels", "cluster",  "size",
    "extent", "score", "value", "statistic", "stat",  "df",       "f",      "brodmann", "volume",
    "mm3",    "-",     "/",     "and",       "group", "contrast", "maxima", "local"};
// Two words that name one column.
const std::set<std::pair<std::string, std::string>> kPhrases = {
    {"cluster", "size"}, {"cluster", "extent"}, {"cluster", "index"}, {"t", "value"},
    {"z", "value"},      {"z", "score"},        {"p", "value"},       {"brodmann", "area"},
    {"no.", "voxels"},   {"number", "voxels"},  {"peak", "z"},        {"peak", "t"}};

enum class Axis { kNone, kX, kY, kZ, kXyz };

// Words that head a column of sides (L, R), and one of spaces (MNI, TAL) row by row.
const std::set<std::string> kSideWords = {"hemisphere",  "hemi",  "side",      "h",    "l/r",
                                          "laterality",  "lat",   "lat.",      "l-r",  "r/l",
                                          "hemispheres", "sides", "hem",       "hem.", "seite",
                                          "lado",        "côté",  "hemisferio"};
const std::set<std::string> kSpaceColumnWords = {"space", "template", "reference", "atlas"};

bool saysCount(const std::vector<std::string>& words) {
    return std::any_of(words.begin(), words.end(), [](const std::string& w) {
        return w == "k" || w == "ke" || w == "voxels" || w == "extent" || w == "size";
    });
}

bool headsSides(const std::vector<std::string>& words) {
    return words.size() == 1 && kSideWords.count(words[0]) != 0;
}

bool headsSpaces(const std::vector<std::string>& words) {
    return !words.empty() && words.size() <= 2 && kSpaceColumnWords.count(words.back()) != 0;
}

// Words that say a group of x, y and z is no peak but a cluster's centre or extent.
// A subject's own space ("Surface RAS (tkr)", "scanner RAS", "native") is no template's either:
// its numbers are no peak's in MNI or Talairach.
const std::set<std::string> kNotPeakWords = {
    "cog",     "centroid", "centre",    "center", "gravity", "mass",  "com",   "extent",
    "centres", "centers",  "centroids", "cm",     "tkr",     "tkras", "tkreg", "surface",
    "scanner", "native",   "subject",   "voxel",  "voxels)", "vox",   "(vox)", "(tkr)"};

bool saysNotPeak(const std::vector<std::string>& words) {
    return std::any_of(words.begin(), words.end(),
                       [](const std::string& w) { return kNotPeakWords.count(w) != 0; });
}

// The words of a cell or line, lower-cased and cut at underscores too ("x_mni").
std::vector<std::string> wordsOf(const std::vector<Token>& tokens) {
    std::vector<std::string> words;
    for (const Token& token : tokens) {
        std::string word;
        for (char c : lowered(token.text) + '_') {
            if (c != '_') {
                word += c;
            } else if (!word.empty()) {
                words.push_back(word);
                word.clear();
            }
        }
    }
    return words;
}

bool has(const std::vector<std::string>& words, const char* word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

Axis axisOf(const std::vector<std::string>& words) {
    const bool x = has(words, "x"), y = has(words, "y"), z = has(words, "z");
    if ((x && y && z) || has(words, "x/y/z") || has(words, "x,y,z")) return Axis::kXyz;
    if (x + y + z != 1) return Axis::kNone;
    return x ? Axis::kX : y ? Axis::kY : Axis::kZ;
}

// A heading that joins an axis to the name of another quantity ("trans_x", "rot_z",
// "grad_y_derivative1", as motion and confound tables head their columns): no axis.
bool namesQuantity(const std::string& heading) {
    static const std::set<std::string> kCoordinatePrefixes = {
        "mni",        "tal", "talairach", "icbm", "peak",     "max",    "coord",  "coords",
        "coordinate", "mm",  "cog",       "com",  "centroid", "center", "centre", "local"};
    const std::string text = lowered(heading);
    const std::size_t join = text.find('_');
    if (join == std::string::npos || join == 0 || join + 1 >= text.size()) return false;
    const char axis = text[join + 1];
    const bool axisNext = (axis == 'x' || axis == 'y' || axis == 'z') &&
                          (join + 2 == text.size() || text[join + 2] == '_');
    return axisNext && kCoordinatePrefixes.count(text.substr(0, join)) == 0 &&
           !spaceWord(text.substr(0, join));
}

// What a column holds, from the words that name it.
// Units that make a heading a measure ("Area (mm²)", "Volume (cm3)"), never a name.
const std::set<std::string> kMeasureUnits = {"mm²", "mm2", "mm^2", "mm3", "mm³", "mm^3",   "cm²",
                                             "cm2", "cm3", "cm³",  "ml",  "µl",  "voxels", "%"};

bool namesMeasure(const std::vector<std::string>& words) {
    return std::any_of(words.begin(), words.end(),
                       [](const std::string& w) { return kMeasureUnits.count(w) != 0; });
}

Column kindOf(const std::vector<std::string>& words) {
    if (namesMeasure(words)) return Column::kOther;
    for (const std::string& w : words) {
        if (kTextWords.count(w) != 0) return Column::kText;
    }
    for (const std::string& w : words) {
        if (w == "radius" || w == "rad" || w == "r") return Column::kRadius;
        if (w == "colour" || w == "color" || w == "rgb") return Column::kColour;
    }
    return Column::kOther;
}

std::optional<Space> spaceOf(const std::vector<std::string>& words, std::string& heading) {
    for (const std::string& w : words) {
        // "MNI-Koordinaten", "Talairach-coordinates": the space before the hyphen.
        const std::size_t hyphen = w.find('-');
        const auto space =
            spaceWord(w) ? spaceWord(w)
            : hyphen != std::string::npos && kHeadingFiller.count(w.substr(hyphen + 1))
                ? spaceWord(w.substr(0, hyphen))
                : std::nullopt;
        if (space) {
            heading = w;
            return space;
        }
    }
    return std::nullopt;
}

// A space named beside the columns, before the column at `position`.
struct Marker {
    Space space;
    std::size_t position;
    std::string text;
};

// Columns being collected, with the axes each may be.
class Builder {
  public:
    void add(const std::string& label, Column kind, Axis axis = Axis::kNone) {
        labels_.push_back(label);
        kinds_.push_back(kind);
        axes_.push_back(axis);
        spaces_.emplace_back();
    }
    void spaceOfLast(Space space, const std::string& text) {
        spaces_.back() = std::make_pair(space, text);
    }
    // The space of the last group of x, y and z added.
    void spaceOfLastGroup(Space space, const std::string& text) {
        for (std::size_t i = spaces_.size() - 3; i < spaces_.size(); ++i) {
            spaces_[i] = std::make_pair(space, text);
        }
    }
    void marker(Space space, const std::string& text) {
        markers_.push_back({space, kinds_.size(), text});
    }
    // A heading saying the next group (or the column being added) is no peak.
    void notPeak(const std::string& text) { notPeak_.emplace_back(kinds_.size(), text); }
    // The column last added is headed "MNI coordinates": x, y and z in one cell, if the
    // headings name no x, y, z columns.
    void coordinatesInLast(std::optional<Space> space, const std::string& text) {
        if (coordinates_ < 0) {
            coordinates_ = static_cast<int>(kinds_.size()) - 1;
            if (space) spaces_.back() = std::make_pair(*space, text);
        }
    }
    // The column last added holds each row's side, or its space.
    void sideOfLast() { side_ = static_cast<int>(kinds_.size()) - 1; }
    void spacesInLast() { space_ = static_cast<int>(kinds_.size()) - 1; }
    // The column last added says its group is no peak ("COG X (mm)").
    void lastNotPeak(const std::string& text) { notPeak_.emplace_back(kinds_.size() - 1, text); }
    std::size_t size() const { return kinds_.size(); }

    // Settles the axes into groups of x, y, z and the spaces onto the groups.
    ColumnHeader finish(Delimiter delimiter) {
        ColumnHeader header;
        header.delimiter = delimiter;
        header.columns = kinds_;
        header.labels = labels_;
        header.side = side_;
        header.space = space_;
        for (const std::string& label : labels_) {
            const std::string l = lowered(label);
            header.counts.push_back(
                l == "k" || l == "ke" || l.find("voxels") != std::string::npos ||
                l.find("size") != std::string::npos || l.find("extent") != std::string::npos ||
                l == "kE" || l.find("mm3") != std::string::npos);
        }
        // x, y and z in their order; where the headings give none so, side by side in any
        // order ("z y x"), each group once.
        group(header, true);
        if (header.triples.empty()) group(header, false);
        if (header.triples.empty() && coordinates_ >= 0) {
            header.columns[static_cast<std::size_t>(coordinates_)] = Column::kXyz;
            header.triples.push_back(tripleAt(coordinates_, coordinates_, coordinates_, 0));
        }
        placeMarkers(header);
        return header;
    }

  private:
    void group(ColumnHeader& header, bool inOrder) const {
        std::array<int, 3> open{-1, -1, -1};
        std::size_t groupStart = 0;  // the first column after the last group
        for (std::size_t i = 0; i < kinds_.size(); ++i) {
            const int at = static_cast<int>(i);
            if (axes_[i] == Axis::kXyz) {
                header.columns[i] = Column::kXyz;
                header.triples.push_back(tripleAt(at, at, at, groupStart));
                groupStart = i + 1;
                open = {-1, -1, -1};
                continue;
            }
            if (axes_[i] == Axis::kNone) continue;
            const auto axis = static_cast<std::size_t>(axes_[i]) - 1;
            if (inOrder) {
                // y only after an x, z only after a y, as the old reading went.
                if (axis == 1 && open[0] < 0) continue;
                if (axis == 2 && open[1] < 0) continue;
                if (axis == 0 && open[0] >= 0) continue;
                if (axis == 1 && open[1] >= 0) continue;
            } else if (open[axis] >= 0) {
                open = {-1, -1, -1};  // named again before its group is whole: anew
            }
            open[axis] = at;
            if (open[0] < 0 || open[1] < 0 || open[2] < 0) continue;
            const int span =
                std::max({open[0], open[1], open[2]}) - std::min({open[0], open[1], open[2]});
            if (!inOrder && span != 2) {
                open = {-1, -1, -1};
                open[axis] = at;
                continue;
            }
            header.columns[static_cast<std::size_t>(open[0])] = Column::kX;
            header.columns[static_cast<std::size_t>(open[1])] = Column::kY;
            header.columns[static_cast<std::size_t>(open[2])] = Column::kZ;
            header.triples.push_back(tripleAt(open[0], open[1], open[2], groupStart));
            groupStart = i + 1;
            open = {-1, -1, -1};
        }
    }

    Triple tripleAt(int x, int y, int z, std::size_t groupStart) const {
        Triple triple;
        triple.x = x;
        triple.y = y;
        triple.z = z;
        // A heading that says the group is no peak, over it or just before it.
        const int first = std::min({x, y, z});
        for (const auto& [position, text] : notPeak_) {
            const bool before =
                position >= groupStart && position <= static_cast<std::size_t>(first);
            const bool within = position > static_cast<std::size_t>(first) &&
                                position <= static_cast<std::size_t>(std::max({x, y, z}));
            if (before || within) {
                triple.peak = false;
                triple.notPeak = text;
            }
        }
        for (int at : {x, y, z}) {
            const auto& named = spaces_[static_cast<std::size_t>(at)];
            if (named && !triple.space) {
                triple.space = named->first;
                triple.spaceHeading = named->second;
            }
        }
        return triple;
    }

    // Spaces named beside the groups: one for each group in order, or one for all.
    void placeMarkers(ColumnHeader& header) const {
        std::vector<Triple*> open;
        for (Triple& triple : header.triples) {
            if (!triple.space) open.push_back(&triple);
        }
        if (markers_.empty() || open.empty()) return;
        const bool oneSpace = std::all_of(markers_.begin(), markers_.end(), [&](const Marker& m) {
            return m.space == markers_[0].space;
        });
        for (std::size_t i = 0; i < open.size(); ++i) {
            if (markers_.size() == open.size()) {
                open[i]->space = markers_[i].space;
                open[i]->spaceHeading = markers_[i].text;
            } else if (oneSpace) {
                open[i]->space = markers_[0].space;
                open[i]->spaceHeading = markers_[0].text;
            }
        }
    }

    std::vector<std::string> labels_;
    std::vector<Column> kinds_;
    std::vector<Axis> axes_;
    std::vector<std::optional<std::pair<Space, std::string>>> spaces_;
    std::vector<Marker> markers_;
    std::vector<std::pair<std::size_t, std::string>> notPeak_;
    int side_ = -1;
    int space_ = -1;
    int coordinates_ = -1;
};

// Numbers that a heading does not hold: any outside brackets, or more than two within
// them ("T (df = 23)" heads a column; "(x = -30, y = -60, z = 50)" writes a peak).
bool holdsNumbers(const Tokens& tokens) {
    int bracketed = 0;
    for (const Token& t : tokens.tokens) {
        if (t.number && t.bracket == 0) return true;
        bracketed += t.number ? 1 : 0;
    }
    return bracketed > 2;
}

// Red, green and blue in three columns one after the other.
bool rgbAt(const std::vector<std::string>& w, std::size_t i) {
    const auto at = [&](std::size_t k) { return i + k < w.size() ? w[i + k] : std::string(); };
    return (at(0) == "r" && at(1) == "g" && at(2) == "b") ||
           (at(0) == "red" && at(1) == "green" && at(2) == "blue");
}

void addRgb(Builder& builder) {
    builder.add("r", Column::kRed);
    builder.add("g", Column::kGreen);
    builder.add("b", Column::kBlue);
}

// Whether a heading names values of its own ("Extent (voxels)", "cluster extent") rather
// than a group of x, y and z after it.
bool cellHoldsValues(const std::vector<std::string>& words) {
    return std::any_of(words.begin(), words.end(), [](const std::string& w) {
        return w == "voxels" || w == "k" || w == "size" || w == "cluster" || w == "mm3";
    });
}

bool namesStatistic(const std::vector<std::string>& words) {
    static const std::set<std::string> kStatisticWords = {
        "max", "maximum", "score", "value", "values", "stat", "statistic", "mean", "scores"};
    return std::any_of(words.begin(), words.end(),
                       [](const std::string& w) { return kStatisticWords.count(w) != 0; });
}

// A header whose cells are split at a delimiter: one column per cell.
void cellColumns(const std::vector<std::string>& cells, Builder& builder) {
    std::vector<std::vector<std::string>> words;
    std::vector<std::string> single;
    for (const std::string& cell : cells) {
        words.push_back(wordsOf(tokenize(cell).tokens));
        single.push_back(words.back().size() == 1 ? words.back()[0] : std::string());
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (rgbAt(single, i)) {
            addRgb(builder);
            i += 2;
            continue;
        }
        std::string heading;
        const std::optional<Space> space = spaceOf(words[i], heading);
        // "Z max", "Z score", "T value": a statistic, not an axis.
        const Axis axis =
            namesStatistic(words[i]) || namesQuantity(cells[i]) ? Axis::kNone : axisOf(words[i]);
        if (axis == Axis::kNone && saysNotPeak(words[i]) && kindOf(words[i]) == Column::kOther &&
            !cellHoldsValues(words[i])) {
            // "Centre of gravity" over the group that follows, in a column of its own.
            builder.notPeak(cells[i]);
        }
        if (axis == Axis::kNone && headsSpaces(words[i])) {
            builder.add(cells[i], Column::kText);
            builder.spacesInLast();
            continue;
        }
        builder.add(cells[i], axis == Axis::kNone ? kindOf(words[i]) : Column::kOther, axis);
        if (axis == Axis::kNone && headsSides(words[i])) builder.sideOfLast();
        const bool coordinates = std::any_of(words[i].begin(), words[i].end(), [](const auto& w) {
            return w == "coordinates" || w == "coordinate" || w == "coords" || w == "xyz";
        });
        // "peak_mni", "Peak (MNI)", "MNI": a space and at most the words of a peak.
        const bool spaceAlone =
            space && std::all_of(words[i].begin(), words[i].end(), [](const std::string& w) {
                return spaceWord(w) || w == "peak" || w == "peaks" || w == "mm" || w == "coord";
            });
        if (axis == Axis::kNone && (coordinates || spaceAlone) && !saysNotPeak(words[i])) {
            builder.coordinatesInLast(space ? *space : std::optional<Space>(), cells[i]);
        }
        if (axis != Axis::kNone && saysNotPeak(words[i])) builder.lastNotPeak(cells[i]);
        if (space && axis != Axis::kNone) builder.spaceOfLast(*space, cells[i]);
        if (space && axis == Axis::kNone) builder.marker(*space, cells[i]);
    }
}

// A header of words separated by blanks: one column per word or known phrase; words in
// brackets describe the column before them, unless they name x, y and z.
void wordColumns(const Tokens& tokens, Builder& builder) {
    std::set<int> coordinateGroups;
    std::map<int, std::vector<std::string>> grouped;
    for (const Token& token : tokens.tokens) {
        if (token.bracket != 0) grouped[token.bracket].push_back(lowered(token.text));
    }
    for (const auto& [group, words] : grouped) {
        if (axisOf(words) == Axis::kXyz) coordinateGroups.insert(group);
    }
    std::vector<std::string> words;
    std::vector<bool> annotation;
    std::vector<std::size_t> tokenOf;
    for (std::size_t t = 0; t < tokens.tokens.size(); ++t) {
        const Token& token = tokens.tokens[t];
        for (const std::string& word : wordsOf({token})) {
            words.push_back(word);
            annotation.push_back(token.bracket != 0 && coordinateGroups.count(token.bracket) == 0);
            tokenOf.push_back(t);
        }
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (const auto space = spaceWord(w)) {
            // "x_MNI", "MNI_x": the space of that axis alone.
            const auto sameToken = [&](std::size_t k) {
                return k < words.size() && tokenOf[k] == tokenOf[i] &&
                       axisOf({words[k]}) != Axis::kNone;
            };
            if (i > 0 && sameToken(i - 1)) {
                builder.spaceOfLast(*space, tokens.tokens[tokenOf[i]].text);
            } else if (sameToken(i + 1)) {
                builder.add(words[i + 1], Column::kOther, axisOf({words[i + 1]}));
                builder.spaceOfLast(*space, tokens.tokens[tokenOf[i]].text);
                ++i;
            } else {
                builder.marker(*space, w);
            }
            continue;
        }
        // "Space" standing alone heads a column of each row's space.
        if (w == "space" && !annotation[i] && (i == 0 || !spaceWord(words[i - 1]))) {
            builder.add(w, Column::kText);
            builder.spacesInLast();
            continue;
        }
        if (annotation[i] || kFillerWords.count(w) != 0) continue;
        if (kNotPeakWords.count(w) != 0 && w != "extent") {
            builder.notPeak(tokens.tokens[tokenOf[i]].text);
            continue;
        }
        if (rgbAt(words, i)) {
            addRgb(builder);
            i += 2;
            continue;
        }
        if (i + 1 < words.size() && kPhrases.count({w, words[i + 1]}) != 0) {
            builder.add(w + " " + words[i + 1], Column::kOther);
            ++i;
            continue;
        }
        const Axis axis = namesQuantity(tokens.tokens[tokenOf[i]].text) ? Axis::kNone : axisOf({w});
        // "Area (mm²)": the unit in brackets after it makes the heading a measure.
        const bool measured =
            i + 1 < words.size() && annotation[i + 1] && namesMeasure({words[i + 1]});
        builder.add(w, axis == Axis::kNone && !measured ? kindOf({w}) : Column::kOther, axis);
        if (axis == Axis::kNone && headsSides({w})) builder.sideOfLast();
    }
}

// Whether a word is one that heads columns; words joined by hyphens ("t-value", "z-score")
// when each of them is.
bool headingWord(const std::string& w) {
    const auto known = [](const std::string& part) {
        return spaceWord(part) || kTextWords.count(part) != 0 || kHeadingFiller.count(part) != 0 ||
               kGroupWords.count(part) != 0 || kHeadingWords.count(part) != 0 ||
               kNotPeakWords.count(part) != 0 || part == "of" || part == "maximum" || part == "max";
    };
    if (known(w)) return true;
    const std::size_t hyphen = w.find('-');
    if (hyphen == std::string::npos || hyphen == 0 || hyphen + 1 >= w.size()) return false;
    std::size_t start = 0;
    for (std::size_t end; start <= w.size(); start = end + 1) {
        end = std::min(w.find('-', start), w.size());
        if (end == start || !known(w.substr(start, end - start))) return false;
    }
    return true;
}

// Whether every word of a line is one that heads columns, and at least one is.
bool onlyHeadings(const std::vector<std::string>& words) {
    return !words.empty() && std::all_of(words.begin(), words.end(), headingWord);
}

// The headings of the line above, placed over the header's columns: names for columns the
// header leaves empty, and spaces and labels for the groups they stand over.
bool applyGroupLine(const std::string& above, const std::vector<std::string>& headerCells,
                    ColumnHeader& header) {
    const Tokens aboveTokens = tokenize(above);
    // A line of cells split as the header's are heads its columns whatever its words; one
    // split otherwise must hold nothing but headings.
    const bool sameCells =
        header.delimiter != Delimiter::kBlanks && delimiterOf(above) == header.delimiter;
    if (holdsNumbers(aboveTokens) || (!sameCells && !onlyHeadings(wordsOf(aboveTokens.tokens)))) {
        return false;
    }
    struct Heading {
        std::size_t at;
        std::vector<std::string> words;
        std::string text;
    };
    std::vector<Heading> headings;
    if (header.delimiter == Delimiter::kBlanks) {
        for (const Token& token : aboveTokens.tokens) {
            headings.push_back({0, wordsOf({token}), token.text});
        }
    } else {
        const std::vector<std::string> cells = splitCells(above, header.delimiter);
        for (std::size_t j = 0; j < cells.size(); ++j) {
            if (cells[j].empty()) continue;
            headings.push_back({j, wordsOf(tokenize(cells[j]).tokens), cells[j]});
        }
    }
    // Headings over groups, in order; the others name the empty column below them.
    std::vector<Heading> overGroups;
    bool joinable = false;  // the last heading over a group may take the next word
    for (const Heading& h : headings) {
        if (h.words.empty()) continue;
        // "Centre of gravity" split at blanks heads one group.
        if (header.delimiter == Delimiter::kBlanks && joinable && !overGroups.empty() &&
            (h.words[0] == "of" || saysNotPeak(h.words))) {
            overGroups.back().text += " " + h.text;
            overGroups.back().words.insert(overGroups.back().words.end(), h.words.begin(),
                                           h.words.end());
            continue;
        }
        joinable = saysNotPeak(h.words);
        std::string ignored;
        const bool space = spaceOf(h.words, ignored).has_value();
        const bool emptyBelow = header.delimiter != Delimiter::kBlanks &&
                                h.at < headerCells.size() && headerCells[h.at].empty();
        if (emptyBelow && !space) {
            header.columns[h.at] = kindOf(h.words);
            header.labels[h.at] = h.text;
            if (headsSides(h.words)) header.side = static_cast<int>(h.at);
            header.counts[h.at] = h.text == "k" || saysCount(h.words);
        } else if (space || kGroupWords.count(h.words[0]) != 0 || saysNotPeak(h.words) ||
                   h.words[0] == "peak" || h.words[0] == "maximum" || h.words[0] == "max") {
            overGroups.push_back(h);
        }
    }
    if (overGroups.empty()) return true;
    const auto place = [](const Heading& h, Triple& triple) {
        std::string text;
        if (saysNotPeak(h.words)) {
            triple.peak = false;
            triple.notPeak = h.text;
        }
        if (const auto space = spaceOf(h.words, text)) {
            triple.space = space;
            triple.spaceHeading = h.text;
        } else {
            triple.label = h.text;
        }
    };
    if (header.delimiter == Delimiter::kBlanks) {
        if (overGroups.size() != header.triples.size()) return true;
        for (std::size_t i = 0; i < overGroups.size(); ++i) place(overGroups[i], header.triples[i]);
        return true;
    }
    // Over a delimited header a heading stands over the group it spans, or the next one.
    for (const Heading& h : overGroups) {
        const int at = static_cast<int>(h.at);
        Triple* chosen = nullptr;
        for (Triple& triple : header.triples) {
            const bool spans =
                at >= std::min(triple.x, triple.z) && at <= std::max(triple.x, triple.z);
            if (spans || (!chosen && triple.x >= at)) chosen = &triple;
            if (spans) break;
        }
        if (chosen) place(h, *chosen);
    }
    return true;
}

// A header of two lines split at blanks, as PDF copies give them: the line above names the
// columns, and where it says "MNI coordinates" (or "coordinates", "Talairach") the groups
// of x, y, z of the line below stand. Nothing when the line below holds more than those
// groups or the line above does not place each of them.
std::optional<ColumnHeader> mergedHeader(const std::string& above, const ColumnHeader& axes) {
    for (Column c : axes.columns) {
        if (c != Column::kX && c != Column::kY && c != Column::kZ) return std::nullopt;
    }
    const Tokens tokens = tokenize(above);
    if (holdsNumbers(tokens) || !onlyHeadings(wordsOf(tokens.tokens))) return std::nullopt;
    static const std::set<std::string> kCoordinateWords = {"coordinates", "coordinate", "coords",
                                                           "coord"};
    const std::vector<std::string> words = wordsOf(tokens.tokens);
    Builder builder;
    std::size_t group = 0;
    bool inSlot = false, slotHasSpace = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        const std::optional<Space> space = spaceWord(w);
        if (space || kCoordinateWords.count(w) != 0) {
            if (!inSlot || (space && slotHasSpace)) {
                if (group >= axes.triples.size()) return std::nullopt;
                for (const char* axis : {"x", "y", "z"}) {
                    builder.add(axis, Column::kOther, axisOf({axis}));
                }
                ++group;
                inSlot = true;
                slotHasSpace = false;
            }
            if (space) {
                builder.spaceOfLastGroup(*space, w);
                slotHasSpace = true;
            }
            continue;
        }
        inSlot = false;
        if (kHeadingFiller.count(w) != 0) continue;
        if (i + 1 < words.size() && kPhrases.count({w, words[i + 1]}) != 0) {
            builder.add(w + " " + words[i + 1], Column::kOther);
            ++i;
            continue;
        }
        builder.add(w, kindOf({w}));
    }
    if (group != axes.triples.size()) return std::nullopt;
    ColumnHeader merged = builder.finish(Delimiter::kBlanks);
    merged.groupLine = true;
    return merged;
}

// A heading row of fewer cells than the rows, "x y z" alone, under a row whose one cell
// ("MNI coordinates") spans them, as copies of spanning headings leave it: the x, y, z cells
// stand where that cell stands, the other headings around them.
std::optional<ColumnHeader> spreadUnder(const std::string& above,
                                        const std::vector<std::string>& cells,
                                        Delimiter delimiter) {
    if (cells.size() != 3 || delimiterOf(above) != delimiter) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        if (axisOf(wordsOf(tokenize(cells[i]).tokens)) != static_cast<Axis>(i + 1))
            return std::nullopt;
    }
    const std::vector<std::string> heads = splitCells(above, delimiter);
    if (heads.size() <= 3 || holdsNumbers(tokenize(above))) return std::nullopt;
    std::size_t at = heads.size();
    for (std::size_t i = 0; i < heads.size() && at == heads.size(); ++i) {
        const std::vector<std::string> words = wordsOf(tokenize(heads[i]).tokens);
        std::string ignored;
        const bool coordinates = std::any_of(words.begin(), words.end(), [](const auto& w) {
            return w == "coordinates" || w == "coordinate" || w == "coords";
        });
        if (coordinates || (spaceOf(words, ignored) && words.size() <= 3)) at = i;
    }
    if (at == heads.size()) return std::nullopt;
    std::vector<std::string> spread(heads.begin(), heads.begin() + static_cast<std::ptrdiff_t>(at));
    std::string space;
    spaceOf(wordsOf(tokenize(heads[at]).tokens), space);
    for (const std::string& axis : cells) {
        std::string heading = space;
        if (!heading.empty()) heading += ' ';
        heading += axis;
        spread.push_back(heading);
    }
    spread.insert(spread.end(), heads.begin() + static_cast<std::ptrdiff_t>(at) + 1, heads.end());
    Builder builder;
    cellColumns(spread, builder);
    ColumnHeader header = builder.finish(delimiter);
    if (header.triples.size() != 1) return std::nullopt;
    header.groupLine = true;
    return header;
}

// Words that head a column of numbers other than coordinates: counts and statistics.
bool headsNumbers(const std::string& w) {
    static const std::set<std::string> kNumberWords = {
        "ba", "brodmann", "k", "ke", "cluster", "size",  "extent", "voxels", "volume",   "mm3",
        "t",  "z",        "p", "f",  "df",      "score", "value",  "stat",   "statistic"};
    if (kNumberWords.count(w) != 0) return true;
    const std::size_t hyphen = w.find('-');
    return hyphen != std::string::npos && kNumberWords.count(w.substr(0, hyphen)) != 0 &&
           headingWord(w);
}

}  // namespace

// Words of sentences, not of headings: a caption that names x, y and z ("Peaks reported as
// x/y/z") is no header.
bool readsAsSentence(const Tokens& tokens) {
    static const std::set<std::string> kSentenceWords = {
        "as",  "were", "was", "is",    "are",  "reported", "shown", "listed", "table", "figure",
        "see", "we",   "our", "these", "this", "with",     "for",   "from",   "at"};
    return std::any_of(tokens.tokens.begin(), tokens.tokens.end(),
                       [](const Token& t) { return kSentenceWords.count(lowered(t.text)) != 0; });
}

namespace {

// The headings of number columns (BA, k, cluster size) that a line of headings split at
// blanks names before its coordinates ("MNI coordinates", "Talairach"), when the header
// below names no column before its first x; empty otherwise.
std::string numbersNamedBefore(const std::string& above, const ColumnHeader& header) {
    const Triple& first = header.triples[0];
    const int firstX = std::min({first.x, first.y, first.z});
    for (int i = 0; i < firstX; ++i) {
        if (header.columns[static_cast<std::size_t>(i)] != Column::kText) return std::string();
    }
    const Tokens tokens = tokenize(above);
    if (holdsNumbers(tokens) || readsAsSentence(tokens)) return std::string();
    std::string named;
    for (const Token& token : tokens.tokens) {
        const std::vector<std::string> words = wordsOf({token});
        const bool coordinates = std::any_of(words.begin(), words.end(), [](const auto& w) {
            return spaceWord(w) || w == "coordinates" || w == "coordinate" || w == "coords" ||
                   w == "x";
        });
        if (coordinates) return named;
        if (std::any_of(words.begin(), words.end(), headsNumbers))
            named += (named.empty() ? "" : " ") + token.text;
    }
    return std::string();  // no coordinates named: nothing stands before them
}

}  // namespace

namespace {

// Axes headed by their directions, as some journals print them ("L–R  A–P  S–I", "R-L P-A
// I-S"): x, y and z, when all three stand in the line (an "L-R" alone may head sides).
std::string directionsAsAxes(const std::string& line) {
    static const std::string kDash =
        "(?:-|\xE2\x80\x90|\xE2\x80\x91|\xE2\x80\x92|\xE2\x80\x93|\xE2\x80\x94|\xE2\x88\x92)";
    static const std::array<std::regex, 3> kAxes = {
        std::regex("\\b(?:L" + kDash + "R|R" + kDash + "L)\\b", std::regex::icase),
        std::regex("\\b(?:A" + kDash + "P|P" + kDash + "A)\\b", std::regex::icase),
        std::regex("\\b(?:S" + kDash + "I|I" + kDash + "S)\\b", std::regex::icase)};
    for (const std::regex& axis : kAxes) {
        if (!std::regex_search(line, axis)) return line;
    }
    std::string named = line;
    for (std::size_t a = 0; a < kAxes.size(); ++a) {
        named = std::regex_replace(named, kAxes[a], std::string(1, "xyz"[a]),
                                   std::regex_constants::format_first_only);
    }
    return named;
}

}  // namespace

std::optional<ColumnHeader> readColumnHeader(const std::string& given, const std::string* above) {
    const std::string line = directionsAsAxes(given);
    const Tokens tokens = tokenize(line);
    if (tokens.tokens.empty() || holdsNumbers(tokens)) return std::nullopt;
    if (delimiterOf(line) == Delimiter::kBlanks && readsAsSentence(tokens)) return std::nullopt;
    Builder builder;
    const Delimiter delimiter = delimiterOf(line);
    std::vector<std::string> cells;
    if (delimiter == Delimiter::kBlanks) {
        wordColumns(tokens, builder);
    } else {
        cells = splitCells(line, delimiter);
        // A note or caption that a semicolon or commas part ("Peak coordinates are given in
        // MNI space; k = cluster size") is no header: a cell of it reads as a sentence.
        if (delimiter != Delimiter::kTab) {
            for (const std::string& cell : cells) {
                const Tokens words = tokenize(cell);
                if (words.tokens.size() >= 4 && readsAsSentence(words)) return std::nullopt;
                // "Note. Coordinates in MNI space. BA, Brodmann area": a note's sentences.
                const std::string low = lowered(cell);
                if (low.rfind("note", 0) == 0 || low.find(". ") != std::string::npos) {
                    return std::nullopt;
                }
            }
        }
        cellColumns(cells, builder);
    }
    ColumnHeader header = builder.finish(delimiter);
    if (header.triples.empty()) return std::nullopt;
    if (above && delimiter != Delimiter::kBlanks) {
        if (auto spread = spreadUnder(*above, cells, delimiter)) return spread;
    }
    if (above && delimiter == Delimiter::kBlanks) {
        if (auto merged = mergedHeader(*above, header)) return merged;
    }
    if (above) header.groupLine = applyGroupLine(*above, cells, header);
    if (above && delimiter == Delimiter::kBlanks)
        header.namedBefore = numbersNamedBefore(*above, header);
    return header;
}

std::string describeHeader(const ColumnHeader& header) {
    static const char* const kNames[] = {"name", "x",     "y",    "z",      "x y z",  "radius",
                                         "red",  "green", "blue", "colour", "ignored"};
    std::vector<std::string> names;
    for (Column kind : header.columns) names.push_back(kNames[static_cast<int>(kind)]);
    for (const Triple& triple : header.triples) {
        const std::string qualifier = triple.space
                                          ? std::string(" (") + spaceName(*triple.space) + ")"
                                      : !triple.label.empty() ? " (" + triple.label + ")"
                                                              : std::string();
        for (int at : {triple.x, triple.y, triple.z}) {
            std::string& name = names[static_cast<std::size_t>(at)];
            if (name.find('(') == std::string::npos) name += qualifier;
        }
    }
    std::string text = "columns";
    for (std::size_t i = 0; i < names.size(); ++i) text += (i == 0 ? ": " : ", ") + names[i];
    if (header.delimiter != Delimiter::kBlanks) {
        text += std::string(" (") + delimiterName(header.delimiter) + "-separated)";
    }
    return text;
}

}  // namespace voikit
