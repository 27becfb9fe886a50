#include "voikit/tables/layouts/space_words.h"

#include <cctype>
#include <regex>
#include <set>

#include "voikit/tables/text/tokens.h"

namespace voikit {

std::optional<Space> spaceWord(const std::string& word) {
    std::string w = lowered(word);
    while (!w.empty() && (w.back() == '.' || w.back() == ',')) w.pop_back();
    if (w == "mni" || w == "mni152" || w == "icbm" || w == "icbm152") return Space::kMni;
    // Template names: "MNI152NLin2009cAsym", "MNI152NLin6Asym", "MNI305", "ICBM152_2009c".
    for (const char* prefix : {"mni152", "mni305", "icbm152", "mnicolin27"}) {
        if (w.rfind(prefix, 0) == 0) return Space::kMni;
    }
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
        // "MNI-space", "MNI-Koordinaten": a space named before a hyphen.
        if (const std::size_t hyphen = word.find('-'); hyphen != std::string::npos) {
            if (const auto space = spaceWord(word.substr(0, hyphen))) return space;
        }
        word.clear();
    }
    return std::nullopt;
}

std::optional<Space> statedSpace(const std::string& line) {
    static const std::string kName = R"((MNI(?:152)?|ICBM(?:152)?|Talairach|TAL)\b)";
    static const std::regex kConverted("\\bconver\\w*\\b[^.;]*?\\bto\\s+(?:the\\s+)?" + kName,
                                       std::regex::icase | std::regex::optimize);
    static const std::regex kStated[] = {
        // "MNI coordinates", "Talairach coordinates (x, y, z)"
        std::regex("\\b" + kName + "[\\s-]+(?:coordinates?|koordinaten|coordenadas)\\b",
                   std::regex::icase),
        // "in MNI space", "in Talairach coordinates", "in the MNI152 template's space"
        std::regex("\\bin\\s+(?:the\\s+)?" + kName + "[\\s-]+(?:space|coordinates?)\\b",
                   std::regex::icase),
        // "Coordinates are MNI152", "coordinates are given in Talairach"
        std::regex(
            "\\bcoordinates\\s+(?:are|were)\\s+(?:\\w+\\s+){0,2}?(?:in\\s+)?(?:the\\s+)?" + kName,
            std::regex::icase),
        // a caption's "(MNI)"
        std::regex("\\(\\s*" + kName + "\\s*\\)", std::regex::icase)};
    std::smatch match;
    if (std::regex_search(line, match, kConverted)) return spaceWord(match[1].str());
    std::set<Space> spaces;
    for (const std::regex& stated : kStated) {
        for (auto at = std::sregex_iterator(line.begin(), line.end(), stated);
             at != std::sregex_iterator(); ++at) {
            if (const auto space = spaceWord((*at)[1].str())) spaces.insert(*space);
        }
    }
    if (spaces.size() != 1) return std::nullopt;
    return *spaces.begin();
}

std::string reversedAxesOf(const std::string& line) {
    static const std::regex kOrder(R"(\b(RAI|LPS)\b)");
    std::smatch match;
    return std::regex_search(line, match, kOrder) ? match[1].str() : std::string();
}

}  // namespace voikit
