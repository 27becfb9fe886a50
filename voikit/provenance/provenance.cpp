#include "voikit/provenance/provenance.h"

#include <filesystem>
#include <system_error>

#include "voikit/io/error.h"
#include "voikit/io/sha256.h"
#include "voikit/io/utf8.h"
#include "voikit/provenance/version.h"

namespace voikit {
namespace {

// Characters a POSIX shell takes literally in a word.
bool shellSafe(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_-./:=,+@%^").find(c) != std::string_view::npos;
}

std::string shellQuoted(std::string_view argument) {
    bool safe = !argument.empty();
    for (const char c : argument) safe = safe && shellSafe(c);
    if (safe) return std::string(argument);
    std::string quoted = "'";
    for (const char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string versionWords() {
    std::string words = std::string("Glomera ") + glomeraVersion();
    if (*buildCommit() != '\0') {
        words += std::string(", commit ") + buildCommit() +
                 (builtWithLocalChanges() ? " with changes not yet committed" : "");
    }
    return words;
}

}  // namespace

std::string commandLineOf(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) line += (i ? " " : "") + shellQuoted(argv[i]);
    return line;
}

InputFile checksummedFile(const std::string& role, const std::string& path) {
    const FileChecksum checksum = sha256OfFile(path);
    return {role, path, checksum.bytes, checksum.sha256};
}

InputFile sizedFile(const std::string& role, const std::string& path) {
    std::error_code error;
    const std::uintmax_t bytes = std::filesystem::file_size(path, error);
    if (error) throw Error("cannot see " + path + ": " + error.message());
    return {role, path, static_cast<std::uint64_t>(bytes), ""};
}

std::vector<std::string> provenanceLines(const Provenance& provenance) {
    std::vector<std::string> lines = {
        provenance.invocation.program + " (" + versionWords() + ")",
        "command: " + provenance.invocation.commandLine,
        std::string("transform between TAL and MNI: ") + transformName(provenance.transform),
    };
    if (!provenance.inputSpace.empty()) {
        lines.push_back("input space of the VOIs: " + provenance.inputSpace);
    }
    for (const InputFile& file : provenance.inputs) {
        lines.push_back(file.role + ": " + file.path + ", " + std::to_string(file.bytes) +
                        " bytes" + (file.sha256.empty() ? "" : ", SHA-256 " + file.sha256));
    }
    return lines;
}

nlohmann::ordered_json provenanceJson(const Provenance& provenance) {
    using json = nlohmann::ordered_json;
    json inputs = json::array();
    for (const InputFile& file : provenance.inputs) {
        inputs.push_back({{"role", asUtf8(file.role)},
                          {"path", asUtf8(file.path)},
                          {"bytes", file.bytes},
                          {"sha256", file.sha256.empty() ? json() : json(file.sha256)}});
    }
    json made = {{"program", asUtf8(provenance.invocation.program)},
                 {"version", glomeraVersion()},
                 {"commit", *buildCommit() ? json(buildCommit()) : json()},
                 {"uncommitted_changes", builtWithLocalChanges()},
                 {"command_line", asUtf8(provenance.invocation.commandLine)},
                 {"transform", transformName(provenance.transform)},
                 {"inputs", inputs}};
    if (!provenance.inputSpace.empty()) made["input_space"] = provenance.inputSpace;
    return made;
}

}  // namespace voikit
