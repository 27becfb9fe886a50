#include "apps/glomera-voi/cmd/command.h"

void say(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "%s: %s\n", kProgram, line.c_str());
    std::fflush(stream);
}
