#include "voikit/io/user_cache.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "voikit/io/error.h"
#include "voikit/io/text_output.h"

namespace voikit {

std::string userCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/glomera";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/glomera";
    return "";
}

std::optional<std::string> readUserCache(const std::string& name) {
    const std::string folder = userCacheFolder();
    if (folder.empty()) return std::nullopt;
    std::ifstream in(folder + "/" + name, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

bool writeUserCache(const std::string& name, const std::string& text) {
    const std::string folder = userCacheFolder();
    if (folder.empty()) return false;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    try {
        writeTextOutput(folder + "/" + name, text);
    } catch (const Error&) {
        return false;
    }
    return true;
}

}  // namespace voikit
