#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "voikit/space/coordinate_space.h"

namespace voikit {

// How a program was run: its name and its command line as a shell would take it again.
struct Invocation {
    std::string program;      // "glomera-voi"
    std::string commandLine;  // "glomera-voi report 'my spheres.voi'"
};

// The command line a program was given, each argument quoted for a POSIX shell where it must be.
std::string commandLineOf(int argc, const char* const* argv);

// A file a result was made from.
struct InputFile {
    std::string role;  // "VOI file", "grid image", "atlas AAL image", "brain template", ...
    std::string path;
    std::uint64_t bytes = 0;
    std::string sha256;  // empty where the file is named by its size alone
};

// The file's size and SHA-256 checksum; throws Error when it cannot be read.
InputFile checksummedFile(const std::string& role, const std::string& path);
// The file's size alone, for a file that may be too large to read a second time for a
// checksum (a .voi file of hundreds of MB); throws Error when it cannot be seen.
InputFile sizedFile(const std::string& role, const std::string& path);

// What made a result: the program and the Glomera version and commit it was built from, its
// command line, the transform between TAL and MNI, and the files it read. Every report,
// label table, page or sidecar that a program writes carries it, so that a result says what
// made it.
struct Provenance {
    Invocation invocation;
    MniToTal transform = MniToTal::kSpm;
    std::vector<InputFile> inputs;
    // The space the VOIs' coordinates were given in, in a few words (inputSpaceWords); empty
    // where no VOI file was read.
    std::string inputSpace;
};

// One line per fact, for people: "glomera-voi (Glomera 1.0.0, commit ...)", "command: ...",
// "transform between TAL and MNI: spm", then each file with its size and checksum.
std::vector<std::string> provenanceLines(const Provenance& provenance);

// The same for scripts, every text as UTF-8 (other bytes read as Windows-1252).
nlohmann::ordered_json provenanceJson(const Provenance& provenance);

}  // namespace voikit
