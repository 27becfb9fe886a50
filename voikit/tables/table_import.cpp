#include "voikit/tables/table_import.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <set>

#include "common/strict_number.h"
#include "coordlist/clean_up_account.h"
#include "coordlist/clean_up_text.h"
#include "voikit/tables/pasted_text.h"

namespace voikit {
namespace {

// Colours for rows that bring none: distinct, and each readable on a dark background.
constexpr int kPalette[][3] = {{230, 25, 75},  {60, 180, 75},   {255, 225, 25}, {0, 130, 200},
                               {245, 130, 48}, {145, 30, 180},  {70, 240, 240}, {240, 50, 230},
                               {210, 245, 60}, {250, 190, 212}, {0, 128, 128},  {220, 190, 255},
                               {170, 110, 40}, {255, 250, 200}, {128, 0, 0},    {170, 255, 195}};
constexpr std::size_t kPaletteSize = sizeof kPalette / sizeof kPalette[0];

struct Token {
    std::string text;
    std::optional<double> number;
    int field = 0;  // the tab-separated field it stands in
};

// A line cut into its fields and tokens.
struct Tokens {
    std::vector<Token> tokens;
    int fields = 1;         // tab-separated fields, without empty ones at the end
    std::string ambiguity;  // why the line cannot be read, if it cannot
};

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isSeparator(char c) {
    return c == ' ' || c == ';' || c == '|' || c == '(' || c == ')' || c == '[' || c == ']' ||
           c == '{' || c == '}' || c == '"' || c == '\'' || c == '=' || c == ':' || c == '*';
}

std::vector<std::string> splitAt(const std::string& text, bool (*separator)(char)) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (separator(c)) {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

// The tab-separated fields of a line, empty ones included but for those at the end.
std::vector<std::string> tabFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
        fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    while (fields.size() > 1 && fields.back().find_first_not_of(' ') == std::string::npos) {
        fields.pop_back();
    }
    return fields;
}

// "22,5": digits, one comma, digits; a decimal comma if nothing else in the line says the
// comma separates fields.
bool looksLikeDecimalComma(const std::string& token) {
    const std::size_t comma = token.find(',');
    if (comma == std::string::npos || token.find(',', comma + 1) != std::string::npos) return false;
    const std::size_t digitsFrom = token[0] == '-' || token[0] == '+' ? 1 : 0;
    const auto allDigits = [](const std::string& s) {
        return !s.empty() &&
               std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return allDigits(token.substr(digitsFrom, comma - digitsFrom)) &&
           allDigits(token.substr(comma + 1));
}

bool isAxisName(const std::string& text) {
    const std::string name = lowered(text);
    return name == "x" || name == "y" || name == "z";
}

// The tokens of a plain line. Tabs, blanks and punctuation separate them; commas too,
// except that in a line whose fields are otherwise separated, "22,5" is 22.5. A line that
// could be read either way is refused, and `ambiguity` says why.
Tokens tokenize(const std::string& line) {
    Tokens out;
    struct Core {
        std::string text;
        int field;
    };
    std::vector<Core> cores;
    bool separatorComma = false;
    const std::vector<std::string> fields = tabFields(line);
    out.fields = static_cast<int>(fields.size());
    for (std::size_t f = 0; f < fields.size(); ++f) {
        for (const std::string& token : splitAt(fields[f], isSeparator)) {
            // A comma at either end of a token separates it from the next.
            const std::size_t first = token.find_first_not_of(',');
            if (first == std::string::npos) {
                separatorComma = true;
                continue;
            }
            const std::size_t last = token.find_last_not_of(',');
            separatorComma = separatorComma || first > 0 || last + 1 < token.size();
            cores.push_back({token.substr(first, last + 1 - first), static_cast<int>(f)});
        }
    }
    std::string decimalExample;
    bool fullStopNumber = false;
    for (const Core& core : cores) {
        if (looksLikeDecimalComma(core.text)) {
            if (decimalExample.empty()) decimalExample = core.text;
        } else if (core.text.find(',') != std::string::npos) {
            separatorComma = true;
        } else if (core.text.find('.') != std::string::npos &&
                   glomera::parseFiniteNumber(core.text)) {
            fullStopNumber = true;
        }
    }
    const bool decimalCommas = !decimalExample.empty() && !separatorComma && !fullStopNumber;
    if (!decimalExample.empty() && !decimalCommas) {
        out.ambiguity = "ambiguous decimal comma: \"" + decimalExample +
                        "\" may be one number or two, " +
                        (separatorComma ? "since commas also separate fields on this line"
                                        : "since full stops are decimal points on this line");
        return out;
    }
    for (Core& core : cores) {
        if (decimalCommas) std::replace(core.text.begin(), core.text.end(), ',', '.');
        for (const std::string& part : splitAt(core.text, [](char c) { return c == ','; })) {
            out.tokens.push_back({part, glomera::parseFiniteNumber(part), core.field});
        }
    }
    // "x = -22, y = -6, z = -18": the axis names go, the numbers stay.
    std::vector<Token>& t = out.tokens;
    const auto labelAt = [&](std::size_t i) {
        return isAxisName(t[i].text) && i + 1 < t.size() && t[i + 1].number;
    };
    int labels = 0;
    for (std::size_t i = 0; i < t.size(); ++i) labels += labelAt(i) ? 1 : 0;
    if (labels == 3) {
        std::vector<Token> kept;
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (!labelAt(i)) kept.push_back(t[i]);
        }
        t.swap(kept);
    }
    return out;
}

// What a column of a table holds.
enum class Column { kText, kX, kY, kZ, kRadius, kRed, kGreen, kBlue, kColour, kOther };

// The columns a header row names, in order: one per tab-separated field when the header
// has tabs, else one per word.
struct Columns {
    std::vector<Column> kinds;
    bool byTab = false;
    // Where x, y, z, radius and colour stand among the numbers after the last name column,
    // for rows whose words do not line up with the header's.
    int x = -1, y = -1, z = -1, radius = -1, colour = -1;
    int numeric = 0;
};

const std::set<std::string> kTextColumns = {
    "name",    "label",      "labels",       "region",       "regions",
    "area",    "areas",      "structure",    "location",     "roi",
    "anatomy", "anatomical", "description",  "hemisphere",   "hemi",
    "side",    "h",          "l/r",          "lobe",         "gyrus",
    "brain",   "laterality", "localization", "localisation", "site"};
const std::set<std::string> kIgnoredWords = {"mni",        "tal",    "talairach", "coordinates",
                                             "coordinate", "coords", "coord",     "peak",
                                             "peaks",      "mm",     "of",        "in"};

std::string withoutParenthesized(const std::string& line) {
    std::string out;
    int depth = 0;
    for (char c : line) {
        if (c == '(' || c == '[') {
            ++depth;
        } else if ((c == ')' || c == ']') && depth > 0) {
            --depth;
        } else if (depth == 0) {
            out += c;
        }
    }
    return out;
}

// The kinds of columns that the words of a header name, appended in order.
void classifyWords(const std::vector<std::string>& words, bool oneColumn, Columns& columns) {
    const std::size_t before = columns.kinds.size();
    const auto has = [&](Column kind) {
        return std::find(columns.kinds.begin(), columns.kinds.end(), kind) != columns.kinds.end();
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        const auto next = [&](std::size_t k) { return i + k < words.size() ? words[i + k] : ""; };
        Column kind = Column::kOther;
        if (w == "x" && !has(Column::kX)) {
            kind = Column::kX;
        } else if (w == "y" && has(Column::kX) && !has(Column::kY)) {
            kind = Column::kY;
        } else if (w == "z" && has(Column::kY) && !has(Column::kZ)) {
            kind = Column::kZ;
        } else if (kTextColumns.count(w) != 0) {
            kind = Column::kText;
        } else if (kIgnoredWords.count(w) != 0) {
            continue;
        } else if ((w == "r" && next(1) == "g" && next(2) == "b") ||
                   (w == "red" && next(1) == "green" && next(2) == "blue")) {
            columns.kinds.insert(columns.kinds.end(),
                                 {Column::kRed, Column::kGreen, Column::kBlue});
            i += 2;
            continue;
        } else if (w == "colour" || w == "color" || w == "rgb") {
            kind = Column::kColour;
        } else if (w == "radius" || w == "rad" || w == "r") {
            kind = Column::kRadius;
        } else if (w == "cluster" && (next(1) == "size" || next(1) == "extent")) {
            ++i;
        }
        if (oneColumn) {
            // A field names one column: its most telling word decides.
            if (columns.kinds.size() == before) {
                columns.kinds.push_back(kind);
            } else if (columns.kinds.back() == Column::kOther) {
                columns.kinds.back() = kind;
            }
        } else {
            columns.kinds.push_back(kind);
        }
    }
    if (oneColumn && columns.kinds.size() == before) columns.kinds.push_back(Column::kOther);
}

// The columns a header row names; nothing when the line is no header.
std::optional<Columns> headerColumns(const std::string& line) {
    const std::string header = withoutParenthesized(line);
    Tokens tokens = tokenize(header);
    if (tokens.tokens.empty() || !tokens.ambiguity.empty()) return std::nullopt;
    for (const Token& token : tokens.tokens) {
        if (token.number) return std::nullopt;
    }
    Columns columns;
    columns.byTab = tokens.fields > 1;
    if (columns.byTab) {
        for (const std::string& field : tabFields(header)) {
            std::vector<std::string> words;
            for (const Token& token : tokenize(field).tokens) words.push_back(lowered(token.text));
            classifyWords(words, true, columns);
        }
    } else {
        std::vector<std::string> words;
        for (const Token& token : tokens.tokens) words.push_back(lowered(token.text));
        classifyWords(words, false, columns);
    }
    // Positions among the numbers that follow the last name column before x.
    const auto xAt = std::find(columns.kinds.begin(), columns.kinds.end(), Column::kX);
    if (xAt == columns.kinds.end() ||
        std::find(xAt, columns.kinds.end(), Column::kZ) == columns.kinds.end()) {
        return std::nullopt;
    }
    for (auto it = columns.kinds.begin(); it != columns.kinds.end(); ++it) {
        switch (*it) {
            case Column::kText:
                if (it < xAt) columns.numeric = 0;
                continue;
            case Column::kX:
                columns.x = columns.numeric;
                break;
            case Column::kY:
                columns.y = columns.numeric;
                break;
            case Column::kZ:
                columns.z = columns.numeric;
                break;
            case Column::kRadius:
                columns.radius = columns.numeric;
                break;
            case Column::kRed:
            case Column::kColour:
                if (columns.colour < 0) columns.colour = columns.numeric;
                break;
            default:
                break;
        }
        columns.numeric += *it == Column::kColour ? 3 : 1;
    }
    if (columns.x < 0 || columns.y < 0 || columns.z < 0) return std::nullopt;
    return columns;
}

// The values a row gives, before any conversion.
struct Row {
    std::string name;
    Point centre{};
    std::optional<double> radius;
    std::optional<std::array<double, 3>> colour;
};

bool isWord(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || (c & 0x80) != 0;
    });
}

// Words joined into a name; marks such as a dash for "no hemisphere" go.
void addToName(std::string& name, const std::string& text) {
    if (!isWord(text)) return;
    if (!name.empty()) name += '_';
    name += text;
}

std::string joinedName(const std::vector<Token>& tokens, std::size_t end) {
    std::string name;
    for (std::size_t i = 0; i < end; ++i) addToName(name, tokens[i].text);
    return name;
}

// The first run of at least `needed` numbers, and how long it runs.
std::optional<std::pair<std::size_t, std::size_t>> numberRun(const std::vector<Token>& tokens,
                                                             std::size_t needed) {
    for (std::size_t start = 0; start < tokens.size(); ++start) {
        std::size_t end = start;
        while (end < tokens.size() && tokens[end].number) ++end;
        if (end - start >= needed) return std::make_pair(start, end - start);
        start = end;
    }
    return std::nullopt;
}

// A row whose fields line up with the header's columns, one to one: by tab-separated field,
// or by token when the header has no tabs. False when they do not line up.
bool readByColumns(const Tokens& line, const Columns& columns, Row& row, std::string& why) {
    std::vector<std::vector<const Token*>> cells(columns.kinds.size());
    if (columns.byTab) {
        if (line.fields != static_cast<int>(columns.kinds.size())) return false;
        for (const Token& token : line.tokens) {
            cells[static_cast<std::size_t>(token.field)].push_back(&token);
        }
    } else {
        std::size_t expected = 0;
        for (Column kind : columns.kinds) expected += kind == Column::kColour ? 3 : 1;
        if (line.tokens.size() != expected) return false;
        std::size_t at = 0;
        for (std::size_t c = 0; c < columns.kinds.size(); ++c) {
            const std::size_t count = columns.kinds[c] == Column::kColour ? 3 : 1;
            for (std::size_t k = 0; k < count; ++k) cells[c].push_back(&line.tokens[at++]);
        }
    }
    std::array<double, 3> colour{};
    int colourParts = 0;
    int axes = 0;
    for (std::size_t c = 0; c < columns.kinds.size(); ++c) {
        const Column kind = columns.kinds[c];
        const auto& cell = cells[c];
        if (kind == Column::kText) {
            for (const Token* token : cell) addToName(row.name, token->text);
            continue;
        }
        if (kind == Column::kOther) continue;
        const std::size_t wanted = kind == Column::kColour ? 3 : 1;
        const bool numbers = cell.size() == wanted &&
                             std::all_of(cell.begin(), cell.end(),
                                         [](const Token* t) { return t->number.has_value(); });
        if (!numbers) {
            const bool optional = kind != Column::kX && kind != Column::kY && kind != Column::kZ;
            if (optional && cell.empty()) continue;
            why = "column " + std::to_string(c + 1) + " should hold " +
                  (wanted == 3 ? "three numbers" : "a number");
            return true;
        }
        const double value = *cell[0]->number;
        switch (kind) {
            case Column::kX:
            case Column::kY:
            case Column::kZ:
                row.centre[static_cast<int>(kind) - static_cast<int>(Column::kX)] = value;
                ++axes;
                break;
            case Column::kRadius:
                row.radius = value;
                break;
            case Column::kRed:
            case Column::kGreen:
            case Column::kBlue:
                colour[static_cast<int>(kind) - static_cast<int>(Column::kRed)] = value;
                ++colourParts;
                break;
            case Column::kColour:
                colour = {*cell[0]->number, *cell[1]->number, *cell[2]->number};
                colourParts = 3;
                break;
            default:
                break;
        }
    }
    if (colourParts == 3) row.colour = colour;
    if (axes != 3) why = "the row has no x, y and z";
    return true;
}

// A row whose words do not line up with the header: its numbers are taken from the first
// run long enough to hold x, y and z, by their places among the numbers after the name.
bool readByNumbers(const Tokens& line, const Columns& columns, Row& row, std::string& why) {
    const std::vector<Token>& tokens = line.tokens;
    const auto run = numberRun(tokens, static_cast<std::size_t>(columns.z) + 1);
    if (!run) {
        why = "fewer numbers in a row than the header's columns up to z";
        return false;
    }
    std::size_t start = run->first;
    // More numbers than the header has columns: the first ones belong to the name
    // ("Area 44").
    if (run->second > static_cast<std::size_t>(columns.numeric)) {
        start += run->second - static_cast<std::size_t>(columns.numeric);
    }
    const std::size_t length = run->first + run->second - start;
    const auto at = [&](int index) {
        return *tokens[start + static_cast<std::size_t>(index)].number;
    };
    const auto within = [&](int index) {
        return index >= 0 && static_cast<std::size_t>(index) < length;
    };
    row.name = joinedName(tokens, start);
    // A row that names itself after its numbers, as the plug-in's own lists do.
    for (std::size_t i = start + length; row.name.empty() && i < tokens.size(); ++i) {
        if (!tokens[i].number) addToName(row.name, tokens[i].text);
    }
    row.centre = {at(columns.x), at(columns.y), at(columns.z)};
    if (within(columns.radius)) row.radius = at(columns.radius);
    if (within(columns.colour) && within(columns.colour + 2)) {
        row.colour = std::array<double, 3>{at(columns.colour), at(columns.colour + 1),
                                           at(columns.colour + 2)};
    }
    return true;
}

bool isWhole(const Token& token) {
    return token.number && std::floor(*token.number) == *token.number &&
           token.text.find_first_of(".eE") == std::string::npos;
}

// The plug-in's own list line: x y z radius name r g b.
bool readListFormat(const std::vector<Token>& t, Row& row) {
    if (t.size() != 8 || !t[0].number || !t[1].number || !t[2].number || !t[3].number ||
        !isWhole(t[5]) || !isWhole(t[6]) || !isWhole(t[7])) {
        return false;
    }
    row.centre = {*t[0].number, *t[1].number, *t[2].number};
    row.radius = *t[3].number;
    row.name = t[4].text;
    row.colour = std::array<double, 3>{*t[5].number, *t[6].number, *t[7].number};
    return true;
}

// A name the list format and the plug-in take: one token of at most 255 bytes, without the
// characters the clean-up treats as delimiters, cut at a character's boundary.
std::string listName(std::string name) {
    for (char& c : name) {
        if (c == ' ' || c == ',' || c == ';' || c == ':' || c == '"' || c == '\'' ||
            (static_cast<unsigned char>(c) < 0x20)) {
            c = '_';
        }
    }
    constexpr std::size_t kLimit = glomera::VoiLineValues::kNameLimit;
    if (name.size() > kLimit) {
        std::size_t cut = kLimit;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name;
}

// Millimetres as the list writes them, and any number as short as it goes.
std::string oneDecimal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string shortest(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string triple(std::string (*format)(double), double a, double b, double c) {
    return format(a) + " " + format(b) + " " + format(c);
}

// "columns: name, name, x, y, z, other, other"
std::string describe(const Columns& columns) {
    static const char* const kNames[] = {"name", "x",     "y",    "z",      "radius",
                                         "red",  "green", "blue", "colour", "ignored"};
    std::string text = "columns";
    for (std::size_t i = 0; i < columns.kinds.size(); ++i) {
        text += (i == 0 ? ": " : ", ");
        text += kNames[static_cast<int>(columns.kinds[i])];
    }
    return text;
}

class Importer {
  public:
    Importer(const ImportSettings& settings, ImportResult& result)
        : settings_(settings), result_(result) {}

    void line(int number, const std::string& text) {
        ImportedLine out;
        out.number = number;
        judge(text, out);
        if (out.kind == ImportedLine::kDropped) ++result_.dropped;
        result_.lines.push_back(std::move(out));
    }

  private:
    void judge(const std::string& text, ImportedLine& out) {
        const std::string plain = plainLine(text);
        const std::size_t first = plain.find_first_not_of(' ');
        if (first == std::string::npos) {
            out.kind = ImportedLine::kEmpty;
            out.account = "empty";
            return;
        }
        if (plain[first] == '#' || plain[first] == '%' || plain.compare(first, 2, "//") == 0) {
            out.kind = ImportedLine::kComment;
            out.account = "comment";
            return;
        }
        if (const std::optional<Columns> header = headerColumns(plain)) {
            columns_ = header;
            out.kind = ImportedLine::kHeader;
            out.account = "header: " + describe(*header);
            return;
        }
        const Tokens line = tokenize(plain);
        if (!line.ambiguity.empty()) {
            drop(out, line.ambiguity);
            return;
        }
        Row row;
        std::string why;
        if (!readRow(line, row, why)) {
            const auto numbers = std::count_if(line.tokens.begin(), line.tokens.end(),
                                               [](const Token& t) { return t.number.has_value(); });
            if (numbers < 3) {
                out.kind = ImportedLine::kNoCoordinates;
                out.account = "no coordinates";
            } else {
                drop(out, why);
            }
            return;
        }
        makeVoi(row, out);
    }

    // The row's values; false, with `why`, when it has coordinates that cannot be read.
    bool readRow(const Tokens& line, Row& row, std::string& why) const {
        if (columns_) {
            if (readByColumns(line, *columns_, row, why)) return why.empty();
            row = Row();
            return readByNumbers(line, *columns_, row, why);
        }
        if (readListFormat(line.tokens, row)) return true;
        const auto run = numberRun(line.tokens, 3);
        if (!run) {
            why = "no three numbers in a row";
            return false;
        }
        const auto at = [&](std::size_t index) { return *line.tokens[run->first + index].number; };
        row.name = joinedName(line.tokens, run->first);
        row.centre = {at(0), at(1), at(2)};
        return true;
    }

    void makeVoi(const Row& row, ImportedLine& out) {
        const int index = result_.vois + 1;
        std::string notes;
        const Point tal = toTal(row.centre, settings_.space, settings_.transform);
        glomera::VoiLineValues values;
        values.x = static_cast<float>(tal[0]);
        values.y = static_cast<float>(tal[1]);
        values.z = static_cast<float>(tal[2]);
        double radius = row.radius.value_or(settings_.radius.value_or(kDefaultRadius));
        if (!(radius >= 0.5 && radius <= 20.0)) {
            const double clamped = std::min(std::max(radius, 0.5), 20.0);
            notes += "; radius " + shortest(radius) + " mm taken as " + oneDecimal(clamped);
            radius = clamped;
        }
        values.radius = static_cast<float>(radius);
        std::array<double, 3> colour{};
        if (row.colour) {
            colour = *row.colour;
        } else if (settings_.colour) {
            for (int k = 0; k < 3; ++k) colour[k] = (*settings_.colour)[k];
        } else {
            const int* entry = kPalette[static_cast<std::size_t>(index - 1) % kPaletteSize];
            colour = {static_cast<double>(entry[0]), static_cast<double>(entry[1]),
                      static_cast<double>(entry[2])};
        }
        std::int32_t* channels[3] = {&values.r, &values.g, &values.b};
        for (int k = 0; k < 3; ++k) {
            const double clamped = std::min(std::max(std::round(colour[k]), 0.0), 255.0);
            if (clamped != colour[k]) {
                notes += "; colour " + shortest(colour[k]) + " taken as " + shortest(clamped);
            }
            *channels[k] = static_cast<std::int32_t>(clamped);
        }
        values.name = listName(row.name.empty() ? "VOI_" + std::to_string(index) : row.name);
        const std::string line = glomera::formatCleanedLine(values);
        // The plug-in's own rules decide; what it keeps it reads as written here.
        const glomera::ListLineJudgement judgement = glomera::judgeListLine(line);
        if (judgement.verdict != glomera::ListLineJudgement::kKept) {
            drop(out, glomera::dropReason(judgement) + centreInSpace(row.centre));
            return;
        }
        if (settings_.listLimit > 0 &&
            result_.list.size() + line.size() + 1 > settings_.listLimit) {
            drop(out, "the list would not fit the plug-in's text box of " +
                          std::to_string(settings_.listLimit) + " bytes");
            return;
        }
        result_.list += line + "\n";
        ++result_.vois;
        out.kind = ImportedLine::kVoi;
        out.account = glomera::describeListVoi(index, judgement.values) + notes;
        if (settings_.space == Space::kMni) {
            out.account += "; MNI " + triple(shortest, row.centre[0], row.centre[1], row.centre[2]);
        }
    }

    std::string centreInSpace(const Point& centre) const {
        return settings_.space == Space::kMni
                   ? " (TAL, from MNI " + triple(shortest, centre[0], centre[1], centre[2]) + ")"
                   : "";
    }

    static void drop(ImportedLine& out, const std::string& reason) {
        out.kind = ImportedLine::kDropped;
        out.account = "dropped: " + reason;
    }

    const ImportSettings& settings_;
    ImportResult& result_;
    std::optional<Columns> columns_;
};

}  // namespace

std::string ImportResult::summary() const {
    int coordinateLines = vois + dropped;
    return std::to_string(vois) + (vois == 1 ? " VOI" : " VOIs") + " from " +
           std::to_string(lines.size()) + (lines.size() == 1 ? " line" : " lines") + "; " +
           std::to_string(dropped) + " of " + std::to_string(coordinateLines) +
           (coordinateLines == 1 ? " coordinate line" : " coordinate lines") + " dropped";
}

ImportResult importTable(std::string_view bytes, const ImportSettings& settings) {
    ImportResult result;
    PastedText text = readPastedText(bytes);
    result.encoding = text.encoding;
    Importer importer(settings, result);
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        importer.line(static_cast<int>(i + 1), text.lines[i]);
    }
    return result;
}

}  // namespace voikit
