// glomera-voi-completion: writes glomera-voi's bash completion, made from the same command
// line the program declares, to the file named (or standard output). Run by the build.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "apps/glomera-voi/bash_completion.h"
#include "apps/glomera-voi/program.h"
#include "voikit/io/error.h"
#include "voikit/io/text_output.h"

int main(int argc, char** argv) {
    try {
        CLI::App app;
        declareProgram(app);
        voikit::writeTextOutput(argc > 1 ? argv[1] : "-", bashCompletion(app));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "glomera-voi-completion: %s\n", error.what());
        return 1;
    }
}
