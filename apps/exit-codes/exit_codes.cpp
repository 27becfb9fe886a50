#include "apps/exit-codes/exit_codes.h"

#include <fmt/format.h>

#include <iterator>
#include <sstream>

namespace {

// Breaks `text` at blanks into lines of at most `width` characters; a longer word stands alone.
std::string wrapped(const std::string& text, std::size_t width) {
    std::istringstream words(text);
    std::string out, line, word;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + '\n';
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line;
}

}  // namespace

std::string exitStatusHelp(std::initializer_list<ExitStatusMeaning> meanings, std::size_t width) {
    std::string text = "Exit status:";
    const char* separator = " ";
    for (const ExitStatusMeaning& meaning : meanings) {
        fmt::format_to(std::back_inserter(text), "{}{} {}", separator, meaning.status,
                       meaning.when);
        separator = "; ";
    }
    return wrapped(text + '.', width);
}
