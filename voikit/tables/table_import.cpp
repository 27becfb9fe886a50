#include "voikit/tables/table_import.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

#include "coordlist/clean_up_account.h"
#include "voikit/space/point_text.h"
#include "voikit/tables/layouts/read_table.h"
#include "voikit/tables/text/author_cells.h"
#include "voikit/tables/text/parameter_line.h"
#include "voikit/tables/text/pasted_text.h"
#include "voikit/tables/text/tokens.h"

namespace voikit {
namespace {

// Where two column groups of one peak may differ once both are in TAL.
constexpr double kGroupsAgreeWithin = 2.0;

double distance(const Point& a, const Point& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

std::string lowerName(Space space) { return space == Space::kMni ? "mni" : "tal"; }

// The most numbers an account names before it says how many more there are.
constexpr std::size_t kNumbersNamed = 8;

// "9.3 9.6 9.1", the numbers of a line as written.
std::string numbersText(const std::vector<Token>& tokens) {
    std::string text;
    std::size_t named = 0, total = 0;
    for (const Token& token : tokens) {
        if (!token.number) continue;
        if (++total > kNumbersNamed) continue;
        text += (named++ == 0 ? "" : " ") + token.text;
    }
    if (total > named) text += fmt::format(" and {} more", total - named);
    return text;
}

// The line with each markup tag ("<td align=\"left\">") a blank, so that the numbers it
// holds stand apart from the tags around them.
std::string withoutTags(const std::string& line) {
    std::string out;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const std::size_t close = line[at] == '<' ? line.find('>', at) : std::string::npos;
        if (close == std::string::npos) {
            out += line[at];
        } else {
            out += ' ';
            at = close;
        }
    }
    return out;
}

// A line as read, with what maps its plain bytes back to the raw line.
struct LineText {
    const std::string* raw = nullptr;
    const std::string* plain = nullptr;
    const std::vector<std::size_t>* from = nullptr;  // plain byte -> raw byte (kElsewhere)

    // A span of the plain line as bytes of the raw one; nothing for one that came from
    // another line (a row joined from lines of one cell each).
    std::optional<ImportedCell> cell(CellRole role, const Span& span) const {
        const std::size_t last = from->size() - 1;  // the entry for the end
        if (span.begin >= span.end || span.end - 1 >= last) return std::nullopt;
        const std::size_t begin = (*from)[span.begin];
        std::size_t end = (*from)[span.end - 1];
        if (begin == kElsewhere || end == kElsewhere || end >= raw->size()) return std::nullopt;
        // Past the whole character the last byte came from.
        const auto lead = static_cast<unsigned char>((*raw)[end]);
        end += lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        if (end < begin) return std::nullopt;
        return ImportedCell{role, begin, std::min(end, raw->size())};
    }

    void add(std::vector<ImportedCell>& cells, CellRole role, const Span& span) const {
        if (const auto marked = cell(role, span)) cells.push_back(*marked);
    }
};

// Why three numbers as written cannot be a peak's millimetres, whatever column they stand
// in; "" when they can. Exponents are what programs print for motion parameters and
// p-values, and fractions below 1 are correlations and proportions: no table writes a brain
// coordinate so.
std::string notMillimetres(const std::string& written) {
    std::istringstream words(written);
    int fractions = 0;
    int units = 0;         // numbers of 0, 1 or -1
    int nonzero = 0;       // of them, 1 or -1
    int printedZeros = 0;  // zeros printed to four or more decimals, "0.000000"
    for (std::string word; words >> word;) {
        const bool exponent = word.find_first_of("eE") != std::string::npos &&
                              word.find_first_of("0123456789") < word.find_first_of("eE");
        if (exponent) {
            return fmt::format(
                "\"{}\" is written with an exponent, as programs print motion parameters and "
                "p-values, not millimetres ({})",
                word, written);
        }
        char* end = nullptr;
        const double value = std::strtod(word.c_str(), &end);
        if (end != word.c_str() && (value == 0 || value == 1 || value == -1)) {
            ++units;
            nonzero += value != 0 ? 1 : 0;
        }
        const std::size_t dot = word.find('.');
        if (end != word.c_str() && value == 0 && dot != std::string::npos &&
            word.size() - dot - 1 >= 4) {
            ++printedZeros;
        }
        // Zero is the midline however many decimals a program prints it with.
        if (end == word.c_str() || std::fabs(value) >= 1 || value == 0) continue;
        ++fractions;
        const std::size_t point = word.find('.');
        if (point != std::string::npos && word.size() - point - 1 >= 5) {
            return fmt::format(
                "\"{}\" is written to {} decimals below 1, as thresholds and p-values are, not "
                "millimetres ({})",
                word, word.size() - point - 1, written);
        }
    }
    if (printedZeros >= 2) {
        return "two of its numbers are zeros printed to many decimals, as programs print "
               "matrices, not a peak's millimetres (" +
               written + ")";
    }
    if (units == 3 && nonzero > 0) {
        return "its numbers are only 0, 1 and -1, as the rows of design and transform matrices "
               "are, not millimetres (" +
               written + ")";
    }
    if (fractions >= 2) {
        return "two or more of its numbers are fractions below 1, as correlations and "
               "proportions are, not millimetres (" +
               written + ")";
    }
    return "";
}

// The name of a row that summarises a table's columns: "mean", "std", "25%", ...
bool summaryName(const std::string& name) {
    static const std::set<std::string> kSummaries = {
        "count", "mean", "std", "sd",    "min", "max", "25%",   "50%",     "75%", "median",
        "sem",   "se",   "var", "range", "iqr", "sum", "total", "average", "avg"};
    return kSummaries.count(lowered(name)) != 0;
}

// A line of nothing but four or more numbers in even steps: the numbers of a table's columns
// ("1 2 3 4"), an axis's tick labels ("−60 −40 −20 0 20 40 60"). Three alone may be a peak.
bool numbersInEvenSteps(const std::vector<Token>& tokens) {
    if (tokens.size() < 4) return false;
    for (const Token& t : tokens) {
        if (!t.number) return false;
    }
    const double step = *tokens[1].number - *tokens[0].number;
    if (step == 0) return false;
    for (std::size_t i = 2; i < tokens.size(); ++i) {
        if (std::fabs(*tokens[i].number - *tokens[i - 1].number - step) > 1e-9) return false;
    }
    return true;
}

class Importer {
  public:
    Importer(const ImportSettings& settings, const TableReading& reading, ImportResult& result)
        : settings_(settings), reading_(reading), result_(result) {
        // Programs' own layouts turn their axes themselves; a table's caption that gives x to
        // the left and y to the back leaves its rows to be mirrored, which is not guessed at.
        if (reading.layout == "table") {
            for (const ReadLine& line : reading.lines) {
                if (!line.reversedAxes.empty()) reversedAxes_ = line.reversedAxes;
            }
        }
        // The space of the table as a whole, for what its titles and prose mention.
        if (settings.space) {
            space_ = *settings.space;
            spaceSource_ = "from --space";
        } else if (!reading.spaces.empty()) {
            space_ = reading.spaces[0].space;
            spaceSource_ = "from " + reading.spaces[0].how;
        } else {
            // A caption or sentence that says in so many words which space the coordinates
            // are in ("Coordinates are reported in MNI space") sets it, when every such line
            // says the same.
            std::set<Space> stated;
            std::size_t first = 0;
            for (std::size_t i = 0; i < reading.lines.size(); ++i) {
                if (!reading.lines[i].stated) continue;
                if (stated.empty()) first = i + 1;
                stated.insert(*reading.lines[i].stated);
            }
            if (stated.size() == 1) {
                space_ = *stated.begin();
                stated_ = space_;
                spaceSource_ = fmt::format("from line {}, which says so", first);
                return;
            }
            // A word alone never sets the space; but a table whose title or prose names MNI
            // while nothing sets its space is not taken for TAL either: its rows would land
            // in the wrong place without a word.
            for (const ReadLine& line : reading.lines) {
                if (line.mentioned == Space::kMni) mentionsMni_ = true;
            }
        }
    }

    void line(int number, const ReadLine& given, const LineText& text) {
        ReadLine read = given;
        const Tokens tokens = tokenize(*text.plain);
        if (numbersInEvenSteps(tokens.tokens)) {
            read = ReadLine{};
            read.kind = ReadLine::kIgnored;
            read.account =
                "numbers in even steps, as a table's columns are numbered and a "
                "figure's axis labelled, not x, y and z";
        }
        settle(read, tokens, text);
        std::string note = read.note;
        if (read.stated && (stated_ || settings_.space)) {
            note += std::string(note.empty() ? "" : "; ") + "says the coordinates are in " +
                    spaceName(*read.stated) +
                    (stated_ ? std::string(": the table's space")
                     : *read.stated == space_
                         ? std::string(", as --space does")
                         : std::string(", but --space ") + lowerName(space_) + " sets the space");
        } else if (read.mentioned) {
            note += std::string(note.empty() ? "" : "; ") + "mentions " +
                    spaceName(*read.mentioned) +
                    ", but only --space, a \"// Reference=\" line, a column heading or a line "
                    "that says which space the coordinates are in sets the space: " +
                    (mentionsMni_ ? std::string("none does here, so its rows are refused")
                                  : "here " + std::string(spaceName(space_)) + " " + spaceSource_);
        }
        if (read.kind != ReadLine::kCoordinates || read.peaks.empty()) {
            static const ImportedLine::Kind kKinds[] = {
                ImportedLine::kEmpty,         ImportedLine::kComment, ImportedLine::kHeader,
                ImportedLine::kNoCoordinates, ImportedLine::kIgnored, ImportedLine::kNoCoordinates};
            std::string account = read.account.empty() ? "no coordinates" : read.account;
            if (!note.empty()) account += "; " + note;
            ImportedLine out{number, kKinds[read.kind], account, 0, {}};
            lineCells(read, tokens, text, out);
            result_.lines.push_back(out);
            return;
        }
        bool first = true;
        for (const Peak& peak : read.peaks) {
            ImportedLine out{number, ImportedLine::kDropped, std::string(), 0, {}};
            if (!peak.refused.empty()) {
                out.account = "dropped: " + peak.refused;
                if (!peak.name.empty()) out.account += " (" + peak.name + ")";
            } else {
                makeVoi(peak, out);
            }
            if (!note.empty()) out.account += "; " + note;
            if (out.kind == ImportedLine::kDropped) ++result_.dropped;
            for (const Writing& writing : peak.writings) {
                const CellRole axes[] = {CellRole::kX, CellRole::kY, CellRole::kZ};
                for (std::size_t a = 0; a < 3; ++a) {
                    text.add(out.cells, axes[a], writing.spans[a]);
                }
            }
            for (const Span& span : peak.nameSpans) text.add(out.cells, CellRole::kName, span);
            if (first) lineCells(read, tokens, text, out);
            first = false;
            result_.lines.push_back(out);
        }
        if (rowOfNumbers_ && !explained_) ++result_.rowsUnread;
    }

    // Notes about the table as a whole, once it is read.
    void finish() {
        for (const std::string& note : reading_.notes) result_.notes.push_back(note);
        if (defaulted_ > 0) {
            result_.notes.push_back(
                "the table gives no space (no \"// Reference=\" line, no MNI or Talairach column "
                "heading): its coordinates are taken as TAL; --space mni says they are MNI");
        }
        if (groupsChosen_ > 0) {
            result_.notes.push_back(
                std::string("the table writes its peaks in MNI and in Talairach columns: the ") +
                (chosen() == Space::kMni ? "MNI" : "Talairach") + " ones are taken" +
                (settings_.space ? " (--space)"
                                 : ", the authors' own (--space mni takes the MNI ones)"));
        }
        warnOfOverlaps();
    }

  private:
    Space chosen() const { return settings_.space.value_or(Space::kTal); }

    // A line of three or more numbers ends as peaks, as a refusal or set aside naming its
    // numbers and why: what the reading left as a heading, a comment or text is settled here.
    void settle(ReadLine& read, const Tokens& tokens, const LineText& text) {
        const int numbers = numbersOnLine(*text.plain);
        explained_ = false;
        if (numbers < 3) {
            // Numbers of the line as pasted that no cell holds: in a table's markup (an HTML
            // tag's attributes, a LaTeX command's arguments), or in a line of one cell joined
            // to its row.
            const std::string pasted = plainLine(withoutTags(*text.raw));
            rowOfNumbers_ = numbersOnLine(pasted) >= 3;
            if (!rowOfNumbers_) return;
            ++result_.rowsOfNumbers;
            if (read.kind == ReadLine::kIgnored || read.kind == ReadLine::kCoordinates) return;
            read.kind = ReadLine::kIgnored;
            read.account = "set aside: its numbers (" + numbersText(tokenize(pasted).tokens) +
                           ") stand outside the cells read (in the table's markup, or in a "
                           "cell joined to its row)";
            explained_ = true;
            return;
        }
        rowOfNumbers_ = true;
        ++result_.rowsOfNumbers;
        const std::string named = numbersText(tokens.tokens);
        // "FWHM = 9.3 9.6 9.1 {mm}" below a table: three numbers, but the smoothness's.
        const std::string parameter =
            read.kind == ReadLine::kCoordinates ? parameterOfLine(*text.plain) : std::string();
        if (!parameter.empty()) {
            read = ReadLine{};
            read.kind = ReadLine::kIgnored;
            read.account = "set aside: it states the analysis parameter " + parameter +
                           ", whose numbers (" + named + ") are no peak's";
            explained_ = true;
            return;
        }
        if (read.kind == ReadLine::kCoordinates && !read.peaks.empty()) return;
        if (read.kind == ReadLine::kIgnored) {
            read.account = "set aside: " + read.account + " (" + named + ")";
            explained_ = true;
            return;
        }
        const std::string was = read.account.empty() ? "no coordinates" : read.account;
        if (!tokens.ambiguity.empty()) {
            const ReadLine taken = read;
            read = refusedLine(tokens.ambiguity);
            read.mentioned = taken.mentioned;
            return;
        }
        if (read.kind == ReadLine::kComment) {
            read.kind = ReadLine::kIgnored;
            read.account = "set aside: a comment; its numbers (" + named + ") are not read";
            explained_ = true;
            return;
        }
        if (coordinateCandidates(tokens.tokens) < 3) {
            read.kind = ReadLine::kIgnored;
            read.account = "set aside: its numbers (" + named +
                           ") are statistics' values or stand in brackets, not x, y and z";
            explained_ = true;
            return;
        }
        // The reading took the line for text: a row it cannot place is a drop, not a heading.
        const ReadLine taken = read;
        read =
            refusedLine(fmt::format("{} numbers ({}) that the reading as {} places in no "
                                    "column (it took the line for: {})",
                                    numbers, named, reading_.layout, was));
        read.note = taken.note;
        read.mentioned = taken.mentioned;
        read.cells = taken.cells;
    }

    // The line's marked cells, and its numbers that no role took.
    void lineCells(const ReadLine& read, const Tokens& tokens, const LineText& text,
                   ImportedLine& out) {
        for (const MarkedCell& cell : read.cells) text.add(out.cells, cell.role, cell.span);
        std::vector<Span> taken;
        for (const MarkedCell& cell : read.cells) taken.push_back(cell.span);
        for (const Peak& peak : read.peaks) {
            for (const Writing& writing : peak.writings)
                taken.insert(taken.end(), writing.spans.begin(), writing.spans.end());
        }
        for (const Token& token : tokens.tokens) {
            if (!token.number) continue;
            bool covered = false;
            for (const Span& span : taken)
                covered = covered || (token.begin < span.end && span.begin < token.end);
            if (!covered) text.add(out.cells, CellRole::kIgnored, {token.begin, token.end});
        }
    }

    // The writing of a peak to take: its only one, or the group of the chosen space.
    const Writing& choose(const Peak& peak, std::string& notes) {
        if (peak.writings.size() == 1) return peak.writings[0];
        ++groupsChosen_;
        const Writing* wanted = nullptr;
        const Writing* other = nullptr;
        for (const Writing& w : peak.writings) (w.space == chosen() ? wanted : other) = &w;
        // Where both groups are given, say when they disagree under the chosen transform.
        const Writing* mni = nullptr;
        const Writing* tal = nullptr;
        for (const Writing& w : peak.writings) (w.space == Space::kMni ? mni : tal) = &w;
        if (mni && tal) {
            const Point fromMni = mniToTal(mni->point, settings_.transform);
            const double apart = distance(fromMni, tal->point);
            if (apart > kGroupsAgreeWithin) {
                notes += fmt::format(
                    "; the MNI columns give TAL {} by {}, {:.1f} mm from the Talairach columns' {}",
                    pointText(fromMni), transformName(settings_.transform), apart,
                    pointText(tal->point));
            }
        }
        if (wanted) return *wanted;
        notes += std::string("; no ") + spaceName(chosen()) + " columns on this row: the " +
                 spaceName(*other->space) + " ones are taken";
        return *other;
    }

    void makeVoi(const Peak& peak, ImportedLine& out) {
        std::string notes;
        const Writing& writing = choose(peak, notes);
        if (summaryName(peak.name)) {
            out.account = "dropped: a row named \"" + peak.name +
                          "\" gives a summary of its columns (as describe() prints them), not a "
                          "peak";
            return;
        }
        if (!reversedAxes_.empty() && !writing.space) {
            out.account = "dropped: the table says its coordinates are in " + reversedAxes_ +
                          " order (x to the left, y to the back), which is not turned here; "
                          "refused rather than mirrored";
            if (!peak.name.empty()) out.account += " (" + peak.name + ")";
            return;
        }
        if (const std::string why = notMillimetres(writing.text); !why.empty()) {
            out.account = "dropped: " + why;
            if (!peak.name.empty()) out.account += " (" + peak.name + ")";
            return;
        }
        Space space = Space::kTal;
        if (writing.space) {
            space = *writing.space;
        } else if (settings_.space) {
            space = *settings_.space;
        } else if (stated_) {
            space = *stated_;
        } else if (mentionsMni_) {
            out.account =
                "dropped: the table mentions MNI, but neither --space, a \"// Reference=\" line "
                "nor a column heading says which space its coordinates are in: give --space mni, "
                "or --space tal for Talairach coordinates";
            if (!peak.name.empty()) out.account += " (" + peak.name + ")";
            return;
        } else {
            ++defaulted_;
        }
        if (settings_.space && writing.space && *writing.space != *settings_.space &&
            peak.writings.size() == 1) {
            out.account = fmt::format(
                "dropped: --space {}, but the table gives this row's coordinates in {} ({}); "
                "leave --space out to take the table's",
                lowerName(*settings_.space), spaceName(*writing.space), writing.text);
            return;
        }
        const Point tal = toTal(writing.point, space, settings_.transform);
        const int index = result_.vois + 1;
        VoiLooks looks{peak.radius, peak.colour, settings_.radius, settings_.colour};
        const ListVoi voi = makeListVoi(index, peak.name, tal, looks);
        const std::string written = std::string(spaceName(space)) + " " + writing.text;
        if (!voi.kept) {
            // A centre outside the box is named in TAL; say what it came from when that differs.
            const bool same = space == Space::kTal && writing.text.find('(') == std::string::npos;
            out.account = "dropped: " + voi.reason +
                          (same ? std::string() : " (TAL, from " + written + ")") + notes;
            return;
        }
        if (settings_.listLimit > 0 &&
            result_.list.size() + voi.line.size() + 1 > settings_.listLimit) {
            out.account =
                fmt::format("dropped: the list would not fit the plug-in's text box of {} bytes",
                            settings_.listLimit);
            return;
        }
        result_.list += voi.line + "\n";
        ++result_.vois;
        AcceptedPeak accepted{index, voi.values.name, peak.experiment, tal, space, {}, voi.values};
        accepted.writings.emplace_back(space, writing.point);
        for (const Writing& other : peak.writings) {
            if (other.space && *other.space != space)
                accepted.writings.emplace_back(*other.space, other.point);
        }
        result_.peaks.push_back(accepted);
        out.kind = ImportedLine::kVoi;
        out.voi = index;
        explained_ = true;
        out.account = glomera::describeListVoi(index, voi.values) + voi.notes +
                      "; as written: " + written + notes;
    }

    // Spheres whose centres lie closer than their radii together share voxels.
    void warnOfOverlaps() {
        const std::vector<AcceptedPeak>& peaks = result_.peaks;
        for (std::size_t i = 0; i < peaks.size(); ++i) {
            const glomera::VoiLineValues& a = peaks[i].values;
            for (std::size_t j = i + 1; j < peaks.size(); ++j) {
                const glomera::VoiLineValues& b = peaks[j].values;
                const double apart = distance({a.x, a.y, a.z}, {b.x, b.y, b.z});
                if (apart >= static_cast<double>(a.radius) + b.radius) continue;
                result_.warnings.push_back(fmt::format(
                    "VOI {} {} and VOI {} {} overlap: centres {:.1f} mm apart, radii {:.1f} + "
                    "{:.1f} mm",
                    peaks[i].voi, a.name, peaks[j].voi, b.name, apart,
                    static_cast<double>(a.radius), static_cast<double>(b.radius)));
            }
        }
    }

    const ImportSettings& settings_;
    const TableReading& reading_;
    ImportResult& result_;
    Space space_ = Space::kTal;
    std::string spaceSource_ = "by default";
    bool mentionsMni_ = false;     // nothing sets the space, and some line names MNI
    std::optional<Space> stated_;  // the space a caption or sentence gives, all else silent
    std::string reversedAxes_;     // "RAI" or "LPS" where a caption gives that order
    int defaulted_ = 0;
    int groupsChosen_ = 0;
    bool rowOfNumbers_ = false;  // the line being read holds three or more numbers
    bool explained_ = false;     // and became a VOI's peak or was set aside
};

// --space against the space the table gives itself: a usage error naming both.
std::string spaceConflict(const ImportSettings& settings, const TableReading& reading) {
    if (!settings.space) return std::string();
    for (const SpaceStatement& stated : reading.spaces) {
        if (stated.space == *settings.space) continue;
        return fmt::format(
            "--space {}, but the table gives {} coordinates (line {}: {}); leave --space out to "
            "take the table's, or correct the table",
            lowerName(*settings.space), spaceName(stated.space), stated.line, stated.how);
    }
    return std::string();
}

}  // namespace

const char* fateName(ImportedLine::Kind kind) {
    switch (kind) {
        case ImportedLine::kVoi:
            return "VOI";
        case ImportedLine::kDropped:
            return "dropped";
        case ImportedLine::kHeader:
            return "header";
        case ImportedLine::kEmpty:
            return "empty";
        case ImportedLine::kComment:
            return "comment";
        case ImportedLine::kNoCoordinates:
            return "no coordinates";
        case ImportedLine::kIgnored:
            break;
    }
    return "set aside";
}

std::string ImportResult::unreadRows() const {
    if (vois > 0 || rowsOfNumbers == 0) return std::string();
    if (rowsUnread == 0) {
        // Every row was set aside by its reason: none was left unread, yet none is a peak.
        return fmt::format("no VOI: {} {} of numbers, every one set aside as no peak",
                           rowsOfNumbers, rowsOfNumbers == 1 ? "row" : "rows");
    }
    return fmt::format("{} {} of numbers {} not read", rowsUnread, rowsUnread == 1 ? "row" : "rows",
                       rowsUnread == 1 ? "was" : "were");
}

std::string ImportResult::summary() const {
    const int peaksSeen = vois + dropped;
    return fmt::format("{} {} from {} {}; {} of {} {} dropped", vois, vois == 1 ? "VOI" : "VOIs",
                       inputLines, inputLines == 1 ? "line" : "lines", dropped, peaksSeen,
                       peaksSeen == 1 ? "peak" : "peaks");
}

ImportResult importTable(std::string_view bytes, const ImportSettings& settings) {
    ImportResult result;
    const PastedText text = readPastedText(bytes);
    result.encoding = text.encoding;
    if (!text.notText.empty()) {
        result.notText = text.notText;
        return result;
    }
    std::vector<std::string> plain;
    std::vector<std::vector<std::size_t>> from(text.lines.size());
    plain.reserve(text.lines.size());
    // The cells as the author laid them out (LaTeX, Markdown, HTML, one cell per line), then
    // the characters made plain; each byte traced back to the decoded line.
    const std::vector<MappedLine> authored = authorCells(text.lines);
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        std::vector<std::size_t> fromAuthored;
        plain.push_back(plainLine(authored[i].text, &fromAuthored));
        for (std::size_t at : fromAuthored) from[i].push_back(authored[i].from[at]);
    }
    std::vector<Proposal> proposals;
    const TableReading reading = readTable(plain, &proposals);
    result.layout = reading.layout;
    result.choice = reading.choice;
    for (const Proposal& proposal : proposals) {
        result.proposals.push_back(
            fmt::format("{}: {} of {} rows of numbers, {} numbers unexplained, {} contradictions",
                        proposal.reader, proposal.score.explained, proposal.score.rows,
                        proposal.score.unexplainedNumbers, proposal.score.contradictions));
    }
    result.rawLines = text.lines;
    result.spaceConflict = spaceConflict(settings, reading);
    if (!result.spaceConflict.empty()) return result;
    result.experiments = reading.experiments;
    result.inputLines = static_cast<int>(plain.size());
    Importer importer(settings, reading, result);
    for (std::size_t i = 0; i < reading.lines.size() && i < plain.size(); ++i) {
        importer.line(static_cast<int>(i) + 1, reading.lines[i],
                      LineText{&text.lines[i], &plain[i], &from[i]});
    }
    importer.finish();
    return result;
}

}  // namespace voikit
