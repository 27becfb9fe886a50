#include "common/installed_files.h"

#include <climits>
#include <filesystem>
#include <system_error>

#include "common/program_path.h"

// The installed folders as seen from the programs' folder, from the build's install layout.
#ifndef GLOMERA_PLUGINDIR_FROM_BINDIR
#error "GLOMERA_PLUGINDIR_FROM_BINDIR must name the plug-in folder relative to bin/"
#endif
#ifndef GLOMERA_DATADIR_FROM_BINDIR
#error "GLOMERA_DATADIR_FROM_BINDIR must name the data folder relative to bin/"
#endif

namespace glomera {
namespace {

// The program's folder is a real path (/proc/self/exe resolves links), so ".." may be taken
// away lexically.
std::string normal(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

}  // namespace

std::string programFolder() {
    char path[PATH_MAX];
    if (!programPath(path, sizeof path)) return "";
    const std::string program(path);
    return program.substr(0, program.rfind('/'));
}

std::vector<std::string> pluginPlaces(const std::string& name) {
    const std::string folder = programFolder();
    if (folder.empty()) return {name};
    return {folder + "/" + name, normal(folder + "/" GLOMERA_PLUGINDIR_FROM_BINDIR "/" + name)};
}

std::string dataPath(const std::string& name) {
    const std::string folder = programFolder();
    if (folder.empty()) return name;
    return normal(folder + "/" GLOMERA_DATADIR_FROM_BINDIR "/" + name);
}

const char* pluginFolderFromPrograms() { return GLOMERA_PLUGINDIR_FROM_BINDIR; }

std::optional<std::string> firstExisting(const std::vector<std::string>& places) {
    for (const std::string& place : places) {
        std::error_code error;
        if (std::filesystem::exists(place, error)) return place;
    }
    return std::nullopt;
}

}  // namespace glomera
