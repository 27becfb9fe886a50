#pragma once

#include <CLI/CLI.hpp>
#include <string>

// A bash completion script for a program with subcommands, made from its CLI11 declaration,
// so that it offers what the program takes and nothing else: the subcommands; each one's
// options; the choices of an option that takes names (a CLI11 set such as {tal,mni}); file
// names for other option values and for arguments. It relies on the bash-completion
// package's helpers (_init_completion, _filedir), as the completions it loads do.
std::string bashCompletion(const CLI::App& app);
