#include "voikit/tables/layouts/table_reading.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "voikit/io/utf8.h"
#include "voikit/tables/layouts/space_words.h"
#include "voikit/tables/text/cell_number.h"

namespace voikit {

std::optional<ReadLine> emptyOrComment(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t");
    ReadLine read;
    if (first == std::string::npos) {
        read.account = "empty";
        return read;
    }
    if (line[first] == '#' || line[first] == '%' || line.compare(first, 2, "//") == 0) {
        read.kind = ReadLine::kComment;
        read.account = "comment";
        read.mentioned = mentionedSpace(line);
        read.stated = statedSpace(line);
        read.reversedAxes = reversedAxesOf(line);
        return read;
    }
    return std::nullopt;
}

ReadLine noCoordinates(const std::string& line, const std::string& account) {
    ReadLine read;
    read.kind = ReadLine::kNoCoordinates;
    read.account = account;
    read.mentioned = mentionedSpace(line);
    read.stated = statedSpace(line);
    read.reversedAxes = reversedAxesOf(line);
    return read;
}

ReadLine refusedLine(const std::string& reason) {
    ReadLine read;
    read.kind = ReadLine::kCoordinates;
    Peak peak;
    peak.refused = reason;
    read.peaks.push_back(peak);
    return read;
}

Writing writingOf(const Token& x, const Token& y, const Token& z, std::optional<Space> space) {
    Writing writing;
    writing.space = space;
    writing.point = {*x.number, *y.number, *z.number};
    const auto plain = [](const Token& t) {
        return t.text.substr(0, t.text.size() - t.mark.size());
    };
    writing.text = plain(x) + " " + plain(y) + " " + plain(z);
    writing.spans = {Span{x.begin, x.end}, Span{y.begin, y.end}, Span{z.begin, z.end}};
    return writing;
}

const char* cellRoleName(CellRole role) {
    switch (role) {
        case CellRole::kX:
            return "x";
        case CellRole::kY:
            return "y";
        case CellRole::kZ:
            return "z";
        case CellRole::kName:
            return "name";
        case CellRole::kRadius:
            return "radius";
        case CellRole::kSide:
            return "side";
        case CellRole::kSpace:
            return "space";
        case CellRole::kCount:
            return "count";
        case CellRole::kStatistic:
            return "statistic";
        case CellRole::kIgnored:
            break;
    }
    return "ignored";
}

std::vector<Span> wordSpans(std::vector<Token>::const_iterator begin,
                            std::vector<Token>::const_iterator end) {
    std::vector<Span> spans;
    for (auto it = begin; it != end; ++it) {
        if (isWord(it->text)) spans.push_back({it->begin, it->end});
    }
    return spans;
}

std::vector<Token> shifted(std::vector<Token> tokens, std::size_t offset) {
    for (Token& token : tokens) {
        token.begin += offset;
        token.end += offset;
    }
    return tokens;
}

std::string marksNote(const std::vector<Token>& tokens) {
    std::string marked;
    for (const Token& token : tokens) {
        if (token.mark.empty()) continue;
        marked += (marked.empty() ? "" : ", ") + token.text;
    }
    return marked.empty() ? marked : "footnote marks stripped: " + marked;
}

namespace {

// A word that names a statistic or compares one: its value follows.
bool namesStatistic(const Token& token) {
    if (token.number) return false;
    const std::string& t = token.text;
    return (t.size() == 1 && std::isalpha(static_cast<unsigned char>(t[0]))) || t == "df" ||
           t == "<" || t == ">" || t == "\u2264" || t == "\u2265";
}

}  // namespace

int coordinateCandidates(const std::vector<Token>& tokens) {
    int count = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].number || tokens[i].bracket != 0) continue;
        // The word before, past the degrees of freedom in brackets: "F(1, 23) = 3.41".
        std::size_t before = i;
        while (before > 0 && tokens[before - 1].bracket != 0) --before;
        const bool statistic = (before > 0 && namesStatistic(tokens[before - 1])) ||
                               (before == i && i > 0 && namesStatistic(tokens[i - 1]));
        count += statistic ? 0 : 1;
    }
    return count;
}

void keepNamesNumbers(std::vector<Token>& tokens) {
    static const char* const kNumbered[] = {"area",   "ba",      "brodmann", "crus",
                                            "lobule", "lobules", "vermis",   "areas",
                                            "ba:",    "area:",   "segment",  "lobe"};
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        Token& token = tokens[i];
        const Token& before = tokens[i - 1];
        if (!token.number || before.number || token.bracket != before.bracket) continue;
        const std::string word = lowered(before.text);
        const bool numbered = std::any_of(std::begin(kNumbered), std::end(kNumbered),
                                          [&](const char* w) { return word == w; });
        const bool whole = token.text.find_first_not_of("0123456789") == std::string::npos;
        if (numbered && whole) {
            token.number.reset();
            token.mark.clear();
        }
    }
}

namespace {

// A word without the footnote mark after it: "putamen^a", "putamenᵃ", "insula*" are the
// region's name and a mark.
std::string withoutMark(const std::string& word) {
    std::string text = word;
    const std::size_t caret = text.find('^');
    if (caret != std::string::npos && caret > 0) text.resize(caret);
    const std::size_t end = endBeforeFootnoteMarks(text);
    return end == 0 ? text : text.substr(0, end);
}

}  // namespace

std::string joinedName(std::vector<Token>::const_iterator begin,
                       std::vector<Token>::const_iterator end) {
    std::string name;
    for (auto it = begin; it != end; ++it) {
        if (!isWord(it->text)) continue;
        if (!name.empty()) name += '_';
        name += withoutMark(it->text);
    }
    return name;
}

}  // namespace voikit
