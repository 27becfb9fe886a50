#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <string>

#include "apps/glomera-voi/cmd/command.h"

// glomera-voi's whole command line: its description and help, --version, and each subcommand
// of the command table, declared by its file in cmd/. Returns the work of each subcommand by
// its CLI::App. The program and its shell completion are both made from this.
std::map<const CLI::App*, CommandRun> declareProgram(CLI::App& app);

// "import, info, ..." for a user who named no command there is.
std::string commandNames();
