#include "voikit/tables/layouts/space_words.h"

#include <cctype>

#include "voikit/tables/text/tokens.h"

namespace voikit {

std::optional<Space> spaceWord(const std::string& word) {
    std::string w = lowered(word);
    while (!w.empty() && (w.back() == '.' || w.back() == ',')) w.pop_back();
    if (w == "mni" || w == "mni152" || w == "icbm" || w == "icbm152") return Space::kMni;
    if (w == "talairach" || w == "tal" || w == "talairach-tournoux" || w == "tt" || w == "tlrc") {
        return Space::kTal;
    }
    return std::nullopt;
}

std::optional<Space> mentionedSpace(const std::string& line) {
    std::string word;
    for (char c : line + ' ') {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.') {
            word += c;
            continue;
        }
        if (const auto space = spaceWord(word)) return space;
        word.clear();
    }
    return std::nullopt;
}

}  // namespace voikit
