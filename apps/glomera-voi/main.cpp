// glomera-voi: what to do with .voi files outside the host, one subcommand each.
#include <CLI/CLI.hpp>
#include <map>
#include <new>
#include <string>

#include "apps/exit-codes/exit_codes.h"
#include "apps/glomera-voi/cmd/command.h"
#include "apps/glomera-voi/program.h"
#include "voikit/io/error.h"

namespace {

int run(int argc, char** argv) {
    noteInvocation(argc, argv);
    CLI::App app;
    const std::map<const CLI::App*, CommandRun> work = declareProgram(app);

    const std::string first = argc > 1 ? argv[1] : "-";
    if (first[0] != '-' &&
        app.get_subcommands([&](CLI::App* c) { return c->check_name(first); }).empty()) {
        say(stderr,
            "no command \"" + first + "\"; the commands are " + commandNames() + " (see --help)");
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kExitSuccess : kExitUsage;
    }
    return work.at(app.get_subcommands().at(0))();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const voikit::UsageError& error) {
        say(stderr, error.what());
        return kExitUsage;
    } catch (const std::bad_alloc&) {
        say(stderr, "not enough memory to go on; nothing was left half written");
        return kExitFailure;
    } catch (const std::exception& error) {
        say(stderr, error.what());
        return kExitFailure;
    } catch (...) {
        say(stderr,
            "an unexpected error of no known kind stopped the work; nothing was left half "
            "written");
        return kExitFailure;
    }
}
