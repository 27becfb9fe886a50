#pragma once

#include <CLI/CLI.hpp>
#include <string>

// glomera-voi import: a coordinate table as pasted from a paper, made into the plug-in's list.
class ImportCommand {
  public:
    explicit ImportCommand(CLI::App& app);

    bool chosen() const { return command_->parsed(); }

    // Prints the account of every line on standard error and writes the list; returns the
    // exit status: 0, or 3 when lines were dropped (unless allowed) or no VOI was made.
    // Throws voikit::Error when the table cannot be read or the list cannot be written.
    int run() const;

  private:
    CLI::App* command_;
    std::string table_;
    std::string output_;
    std::string space_ = "tal";
    std::string transform_ = "spm";
    std::string radius_;
    std::string colour_;
    bool allowDropped_ = false;
};
