#include "voikit/tables/text/author_cells.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

#include "voikit/io/utf8.h"

namespace voikit {
namespace {

bool startsWith(std::string_view text, std::size_t at, std::string_view part) {
    return text.substr(at, part.size()) == part;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Output that remembers where each byte came from.
class Writer {
  public:
    void put(char c, std::size_t source) {
        line_.text += c;
        line_.from.push_back(source);
    }
    void put(std::string_view text, std::size_t source) {
        for (char c : text) put(c, source);
    }
    void code(char32_t c, std::size_t source) {
        std::string bytes;
        appendUtf8(bytes, c);
        put(bytes, source);
    }
    MappedLine finish(std::size_t end) {
        line_.from.push_back(end);
        return std::move(line_);
    }
    const std::string& text() const { return line_.text; }

  private:
    MappedLine line_;
};

MappedLine unchanged(const std::string& line) {
    MappedLine mapped{line, {}};
    for (std::size_t i = 0; i <= line.size(); ++i) mapped.from.push_back(i);
    return mapped;
}

// The text of a brace group at `at` ("{...}", nested braces kept): its end past the brace.
std::size_t groupEnd(std::string_view line, std::size_t at) {
    if (at >= line.size() || line[at] != '{') return at;
    int depth = 0;
    for (std::size_t i = at; i < line.size(); ++i) {
        if (line[i] == '{') ++depth;
        if (line[i] == '}' && --depth == 0) return i + 1;
    }
    return line.size();
}

// A LaTeX table row: "a & b & $-$46 \\ \hline".
bool isLatexRow(std::string_view line) {
    const auto ands = std::count(line.begin(), line.end(), '&');
    return ands >= 1 && (line.find("\\\\") != std::string_view::npos || ands >= 2) &&
           line.find("&amp;") == std::string_view::npos &&
           line.find("<t") == std::string_view::npos;
}

void latexText(std::string_view line, std::size_t from, std::size_t to, Writer& out);

// A command at `at` (past its backslash): writes what it shows, returns where it ends.
std::size_t latexCommand(std::string_view line, std::size_t at, std::size_t to, Writer& out) {
    std::size_t end = at;
    while (end < to && std::isalpha(static_cast<unsigned char>(line[end]))) ++end;
    const std::string name(line.substr(at, end - at));
    if (name.empty()) {
        // "\&", "\%", "\," and the like: the character, or a blank for spacing.
        if (end < to) {
            const char c = line[end];
            out.put(c == ',' || c == ';' || c == ' ' || c == '!' ? ' ' : c, end);
            ++end;
        }
        return end;
    }
    if (name == "multicolumn" || name == "multirow") {
        // {n}{alignment}{text}: the text, then as many empty cells as the heading spans more.
        const std::size_t first = groupEnd(line, end);
        const int span = std::atoi(std::string(line.substr(end + 1, first - end)).c_str());
        const std::size_t second = groupEnd(line, first);
        const std::size_t third = groupEnd(line, second);
        if (third > second) latexText(line, second + 1, third - 1, out);
        for (int i = 1; name == "multicolumn" && i < span && i < 64; ++i) out.put('\t', at);
        return third;
    }
    if (name == "textsuperscript" || name == "tnote" || name == "footnotemark" ||
        name == "cmidrule" || name == "label" || name == "cite") {
        std::size_t skip = end;
        if (skip < to && line[skip] == '(') {
            // "\cmidrule(lr){4-6}"; an unclosed "(" runs to the end of the text.
            const std::size_t close = line.find(')', skip);
            skip = close < to ? close + 1 : to;
        }
        return std::min(to, groupEnd(line, skip));
    }
    if (name == "hline" || name == "toprule" || name == "midrule" || name == "bottomrule")
        return end;
    // \textbf{..}, \emph{..}, \mathrm{..}, \pm, \times ...: their text, as the braces give it.
    if (name == "times" || name == "pm") out.put(' ', at);
    return end;
}

void latexText(std::string_view line, std::size_t from, std::size_t to, Writer& out) {
    for (std::size_t i = from; i < to;) {
        const char c = line[i];
        if (c == '\\' && i + 1 < to && line[i + 1] == '\\') return;  // the row's end
        if (c == '\\') {
            // Every command moves on by at least its backslash, whatever its groups hold.
            i = std::max(i + 1, latexCommand(line, i + 1, to, out));
        } else if (c == '&') {
            out.put('\t', i++);
        } else if (c == '$' || c == '{' || c == '}') {
            ++i;
        } else if (c == '^') {
            // A superscript is a footnote mark: "putamen$^{a}$", "4$^*$".
            ++i;
            i = i < to && line[i] == '{' ? std::min(to, groupEnd(line, i)) : std::min(to, i + 1);
        } else if (c == '-' && i + 1 < to && line[i + 1] == '-') {
            out.put('-', i);
            while (i < to && line[i] == '-') ++i;
        } else if (c == '~') {
            out.put(' ', i++);
        } else {
            out.put(c, i++);
        }
    }
}

// A line of LaTeX's rules alone: "\hline", "\cmidrule(lr){4-6}", "\midrule".
bool isLatexRule(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] != '\\') return false;
    for (const char* rule :
         {"\\hline", "\\cline", "\\cmidrule", "\\toprule", "\\midrule", "\\bottomrule"}) {
        if (startsWith(line, first, rule)) return true;
    }
    return false;
}

MappedLine latexRow(const std::string& line) {
    Writer out;
    latexText(line, 0, line.size(), out);
    return out.finish(line.size());
}

// "| a | b |" and its alignment row "|:--|--:|".
bool isMarkdownRow(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && line[first] == '|' &&
           std::count(line.begin(), line.end(), '|') >= 3;
}

MappedLine markdownRow(const std::string& line) {
    Writer out;
    if (line.find_first_not_of("|:- \t") == std::string::npos) return out.finish(line.size());
    const std::size_t first = line.find('|');
    std::size_t last = line.rfind('|');
    if (line.find_first_not_of(" \t", last + 1) != std::string::npos) last = line.size();
    for (std::size_t i = first + 1; i < last; ++i) {
        if (line[i] == '\\' && i + 1 < last && line[i + 1] == '|') {
            out.put('|', ++i);
        } else {
            out.put(line[i] == '|' ? '\t' : line[i], i);
        }
    }
    return out.finish(line.size());
}

bool isHtmlRow(std::string_view line) {
    const std::string low = lower(line);
    return low.find("<td") != std::string::npos || low.find("<th") != std::string::npos;
}

// A line of nothing but a table's structural tags ("<tr>", "</tr>", "<tbody>"), as pretty-printed
// HTML has between its rows: empty, so that a heading row stays right above the next.
bool isHtmlStructure(std::string_view line) {
    static const char* const kTags[] = {"table", "thead",    "tbody", "tfoot",
                                        "tr",    "colgroup", "col"};
    bool any = false;
    std::size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ' || line[at] == '\t' || line[at] == '\r') {
            ++at;
            continue;
        }
        if (line[at] != '<') return false;
        const std::size_t close = line.find('>', at);
        if (close == std::string_view::npos) return false;
        std::size_t name = at + 1 + (at + 1 < close && line[at + 1] == '/' ? 1 : 0);
        std::size_t end = name;
        while (end < close && std::isalpha(static_cast<unsigned char>(line[end])) != 0) ++end;
        const std::string tag = lower(line.substr(name, end - name));
        if (std::none_of(std::begin(kTags), std::end(kTags),
                         [&](const char* known) { return tag == known; })) {
            return false;
        }
        any = true;
        at = close + 1;
    }
    return any;
}

// The value of a tag's attribute ("colspan" in <td colspan="3">), 1 when absent.
int spanOf(const std::string& tag, const char* attribute) {
    const std::size_t at = tag.find(attribute);
    if (at == std::string::npos) return 1;
    std::size_t digits = tag.find_first_of("0123456789", at);
    if (digits == std::string::npos) return 1;
    const int value = std::atoi(tag.c_str() + digits);
    return std::clamp(value, 1, 64);
}

// An entity at `at` ("&minus;", "&#8722;", "&#x2212;"): its character and its end; nothing
// for one this reader does not know.
bool entity(std::string_view line, std::size_t at, char32_t& code, std::size_t& end) {
    const std::size_t semicolon = line.find(';', at);
    if (semicolon == std::string_view::npos || semicolon - at > 10) return false;
    const std::string name = lower(line.substr(at + 1, semicolon - at - 1));
    end = semicolon + 1;
    if (!name.empty() && name[0] == '#') {
        const bool hex = name.size() > 1 && name[1] == 'x';
        const long value = std::strtol(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
        if (value <= 0 || value > 0x10FFFF) return false;
        code = static_cast<char32_t>(value);
        return true;
    }
    static const struct {
        const char* name;
        char32_t code;
    } kNamed[] = {{"minus", 0x2212},  {"ndash", 0x2013}, {"mdash", 0x2014}, {"nbsp", 0xA0},
                  {"thinsp", 0x2009}, {"amp", '&'},      {"lt", '<'},       {"gt", '>'},
                  {"quot", '"'},      {"apos", '\''},    {"plusmn", 0xB1},  {"times", 0xD7}};
    for (const auto& known : kNamed) {
        if (name == known.name) {
            code = known.code;
            return true;
        }
    }
    return false;
}

// Rows of an HTML table, one a line, with the cells that rows above span down into them.
class HtmlRows {
  public:
    MappedLine row(const std::string& line) {
        Writer out;
        const std::string low = lower(line);
        std::size_t column = 0;
        bool inCell = false, inMark = false;
        bool firstCell = true;
        std::vector<int> below(spanning_.size(), 0);
        const auto carried = [&]() {
            // Cells of rows above that span down into this one stand before the next cell.
            while (column < spanning_.size() && spanning_[column] > 0) {
                --spanning_[column];
                if (!firstCell) out.put('\t', line.size());
                firstCell = false;
                ++column;
            }
        };
        for (std::size_t i = 0; i < line.size();) {
            if (line[i] == '<') {
                const std::size_t close = line.find('>', i);
                const std::size_t end = close == std::string::npos ? line.size() : close + 1;
                const std::string tag = low.substr(i, end - i);
                const bool opensCell = startsWith(tag, 0, "<td") || startsWith(tag, 0, "<th");
                if (opensCell && (tag.size() == 4 || tag[3] == ' ' || tag[3] == '>')) {
                    carried();
                    if (!firstCell) out.put('\t', i);
                    firstCell = false;
                    const int colspan = spanOf(tag, "colspan");
                    const int rowspan = spanOf(tag, "rowspan");
                    pending_ = colspan - 1;
                    for (int k = 0; k < colspan; ++k) {
                        if (spanning_.size() <= column + static_cast<std::size_t>(k)) {
                            spanning_.resize(column + static_cast<std::size_t>(k) + 1, 0);
                        }
                        spanning_[column + static_cast<std::size_t>(k)] = rowspan - 1;
                    }
                    column += static_cast<std::size_t>(colspan);
                    inCell = true;
                } else if (startsWith(tag, 0, "</td") || startsWith(tag, 0, "</th")) {
                    for (; pending_ > 0; --pending_) out.put('\t', i);
                    inCell = false;
                } else if (startsWith(tag, 0, "<sup")) {
                    inMark = true;
                } else if (startsWith(tag, 0, "</sup")) {
                    inMark = false;
                } else if (startsWith(tag, 0, "<br")) {
                    if (inCell) out.put(' ', i);
                }
                i = end;
                continue;
            }
            if (!inCell || inMark) {
                ++i;
                continue;
            }
            char32_t code = 0;
            std::size_t end = 0;
            if (line[i] == '&' && entity(line, i, code, end)) {
                out.code(code, i);
                i = end;
            } else {
                out.put(line[i], i);
                ++i;
            }
        }
        for (; pending_ > 0; --pending_) out.put('\t', line.size());
        // Rows above spanning the columns after this row's last cell.
        carried();
        if (low.find("</table") != std::string::npos) spanning_.clear();
        return out.finish(line.size());
    }

  private:
    std::vector<int> spanning_;  // per column, how many rows below a cell above still covers
    int pending_ = 0;            // empty cells the open cell's colspan adds after it
};

// A line that is one cell: no tab, short, not a sentence.
bool oneCell(const std::string& line) {
    if (line.find('\t') != std::string::npos) return false;
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos || line.size() - first > 48) return false;
    return std::count(line.begin(), line.end(), ' ') <= 5;
}

bool isAxis(const std::string& line, char axis) {
    const std::size_t first = line.find_first_not_of(' ');
    const std::size_t last = line.find_last_not_of(' ');
    return first != std::string::npos && first == last &&
           std::tolower(static_cast<unsigned char>(line[first])) == axis;
}

bool isNumberCell(const std::string& line) {
    std::string text = line;
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    // A minus sign or dash of documents (U+2212, U+2013) before the digits.
    for (const char* dash : {"\xE2\x88\x92", "\xE2\x80\x93"}) {
        if (text.rfind(dash, 0) == 0) text = "-" + text.substr(3);
    }
    if (text.empty()) return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0';
}

// A table copied one cell per line: its heading lines name x, y and z one a line, and its
// rows follow as many lines each; each row is joined on the line of its first cell.
void joinCellLines(const std::vector<std::string>& lines, std::vector<MappedLine>& mapped) {
    for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
        if (!(isAxis(lines[i], 'x') && isAxis(lines[i + 1], 'y') && isAxis(lines[i + 2], 'z'))) {
            continue;
        }
        // The headings: the single-cell lines without digits around x, y and z.
        std::size_t start = i;
        while (start > 0 && oneCell(lines[start - 1]) &&
               lines[start - 1].find_first_of("0123456789") == std::string::npos) {
            --start;
        }
        // How many cells a row has: the width, from the headings through z and up to six
        // more, under which the most rows in turn have numbers where x, y and z stand.
        const std::size_t xAt = i - start;
        const auto rowsFitting = [&](std::size_t width) {
            std::size_t rows = 0;
            for (std::size_t row = start + width; row + width <= lines.size(); row += width) {
                bool fits = true;
                for (std::size_t k = 0; k < width && fits; ++k) {
                    fits = oneCell(lines[row + k]) ||
                           lines[row + k].find_first_not_of(' ') == std::string::npos;
                }
                for (std::size_t k = xAt; k < xAt + 3 && fits; ++k)
                    fits = isNumberCell(lines[row + k]);
                if (!fits) break;
                ++rows;
            }
            return rows;
        };
        std::size_t width = 0, best = 0;
        for (std::size_t w = xAt + 3; w <= xAt + 9 && w <= 12; ++w) {
            // The headings are heading lines: single cells without digits.
            bool headings = true;
            for (std::size_t k = xAt + 3; k < w && headings; ++k) {
                headings = start + k < lines.size() && oneCell(lines[start + k]) &&
                           lines[start + k].find_first_of("0123456789") == std::string::npos;
            }
            if (!headings) break;
            const std::size_t rows = rowsFitting(w);
            if (rows > best) {
                best = rows;
                width = w;
            }
        }
        if (best == 0 || width < 3) continue;
        const std::size_t end = start + width;
        // The headings become one line, then each row that has numbers where x, y, z stand.
        const auto join = [&](std::size_t first) {
            Writer out;
            for (std::size_t k = 0; k < width; ++k) {
                if (k > 0) out.put('\t', kElsewhere);
                const std::string& cell = lines[first + k];
                for (std::size_t b = 0; b < cell.size(); ++b)
                    out.put(cell[b], k == 0 ? b : kElsewhere);
            }
            mapped[first] = out.finish(lines[first].size());
            for (std::size_t k = 1; k < width; ++k) mapped[first + k] = Writer().finish(0);
        };
        join(start);
        std::size_t row = end;
        while (row + width <= lines.size()) {
            bool fits = true;
            for (std::size_t k = 0; k < width && fits; ++k) {
                fits = oneCell(lines[row + k]) ||
                       lines[row + k].find_first_not_of(' ') == std::string::npos;
            }
            for (std::size_t k = xAt; k < xAt + 3 && fits; ++k) fits = isNumberCell(lines[row + k]);
            if (!fits) break;
            join(row);
            row += width;
        }
        i = row;
    }
}

// The last line of the HTML row whose first cell stands on line `i`: the line of its
// "</tr>", or the line before the next row's "<tr>", where the row's cells stand one a line
// (as pandas writes them); `i` when the row ends on its own line or its end is not found.
std::size_t htmlRowEnd(const std::vector<std::string>& lines, std::size_t i) {
    constexpr std::size_t kMostLines = 256;
    if (lower(lines[i]).find("</tr") != std::string::npos) return i;
    for (std::size_t k = i + 1; k < lines.size() && k <= i + kMostLines; ++k) {
        const std::string low = lower(lines[k]);
        if (low.find("</tr") != std::string::npos) return k;
        if (low.find("<tr") != std::string::npos || low.find("</table") != std::string::npos)
            return k - 1;
    }
    return i;
}

}  // namespace

std::vector<MappedLine> authorCells(const std::vector<std::string>& lines) {
    std::vector<MappedLine> mapped;
    mapped.reserve(lines.size());
    HtmlRows html;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (isHtmlRow(line)) {
            const std::size_t last = htmlRowEnd(lines, i);
            if (last == i) {
                mapped.push_back(html.row(line));
                continue;
            }
            // A row over several lines is read as one, joined on the line of its first cell;
            // its other lines are empty.
            std::string joined = line;
            for (std::size_t k = i + 1; k <= last; ++k) joined += ' ' + lines[k];
            MappedLine row = html.row(joined);
            for (std::size_t b = 0; b + 1 < row.from.size(); ++b) {
                if (row.from[b] >= line.size()) row.from[b] = kElsewhere;
            }
            row.from.back() = line.size();
            mapped.push_back(std::move(row));
            for (std::size_t k = i + 1; k <= last; ++k) mapped.push_back(Writer().finish(0));
            i = last;
        } else if (isMarkdownRow(line)) {
            mapped.push_back(markdownRow(line));
        } else if (isLatexRow(line)) {
            mapped.push_back(latexRow(line));
        } else if (isLatexRule(line) || isHtmlStructure(line)) {
            mapped.push_back(Writer().finish(line.size()));
        } else {
            mapped.push_back(unchanged(line));
        }
    }
    joinCellLines(lines, mapped);
    return mapped;
}

}  // namespace voikit
