#pragma once

#include <optional>
#include <string>
#include <vector>

namespace glomera {

// Where the programs find the files they need, from their own place, so that an installed
// prefix can be moved or copied whole. The build tree keeps the plug-in beside the programs
// (build/bin); an installed prefix keeps it in its plug-in folder beside bin/ (lib/glomera).
// The data the programs read lies in the data folder beside bin/ in both (share/glomera).

// The folder of the running program, without a trailing slash; empty when unknown.
std::string programFolder();

// Where the plug-in library `name` may be, in the order to try: beside the program, then in
// the prefix's plug-in folder (a path without ".."). Just `name` when the program's folder is
// unknown.
std::vector<std::string> pluginPlaces(const std::string& name);

// Where the data file or folder `name` (a path inside the data folder) is: in the data folder
// beside the program's folder (a path without ".."). Just `name` when the program's folder
// is unknown.
std::string dataPath(const std::string& name);

// The prefix's plug-in folder as the programs see it from their own folder: "../lib/glomera".
const char* pluginFolderFromPrograms();

// The first of `places` that exists; nothing when none does.
std::optional<std::string> firstExisting(const std::vector<std::string>& places);

}  // namespace glomera
