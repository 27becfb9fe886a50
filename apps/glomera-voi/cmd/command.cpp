#include "apps/glomera-voi/cmd/command.h"

void say(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "%s: %s\n", kProgram, line.c_str());
    std::fflush(stream);
}

namespace {
voikit::Invocation noted{kProgram, kProgram};
}  // namespace

void noteInvocation(int argc, const char* const* argv) {
    noted.commandLine = voikit::commandLineOf(argc, argv);
}

const voikit::Invocation& invocation() { return noted; }
