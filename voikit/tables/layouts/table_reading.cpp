#include "voikit/tables/layouts/table_reading.h"

#include "voikit/tables/layouts/space_words.h"

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
        return read;
    }
    return std::nullopt;
}

ReadLine noCoordinates(const std::string& line, const std::string& account) {
    ReadLine read;
    read.kind = ReadLine::kNoCoordinates;
    read.account = account;
    read.mentioned = mentionedSpace(line);
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
    return writing;
}

std::string marksNote(const std::vector<Token>& tokens) {
    std::string marked;
    for (const Token& token : tokens) {
        if (token.mark.empty()) continue;
        marked += (marked.empty() ? "" : ", ") + token.text;
    }
    return marked.empty() ? marked : "footnote marks stripped: " + marked;
}

std::string joinedName(std::vector<Token>::const_iterator begin,
                       std::vector<Token>::const_iterator end) {
    std::string name;
    for (auto it = begin; it != end; ++it) {
        if (!isWord(it->text)) continue;
        if (!name.empty()) name += '_';
        name += it->text;
    }
    return name;
}

}  // namespace voikit
