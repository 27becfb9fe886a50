// HelmoraZT.exe: a headless host that loads the Glomera plug-in and runs its commands.
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "apps/exit-codes/exit_codes.h"
#include "apps/helmora-zt/options.h"
#include "common/installed_files.h"
#include "headless/host_session.h"
#include "headless/job.h"
#include "headless/plugin_library.h"
#include "voikit/io/error.h"
#include "voikit/io/print.h"
#include "voikit/outputs/outputs.h"
#include "voikit/outputs/review_output.h"
#include "voikit/page/import_review.h"
#include "voikit/provenance/provenance.h"

namespace {

constexpr const char kPluginFile[] = "Glomera.so";

// The plug-in beside this program (a build tree), else in its prefix's plug-in folder.
std::string defaultPluginPath() {
    const std::vector<std::string> places = glomera::pluginPlaces(kPluginFile);
    if (const std::optional<std::string> found = glomera::firstExisting(places)) return *found;
    std::string looked;
    for (const std::string& place : places) looked += (looked.empty() ? "" : " nor ") + place;
    throw headless::PluginLoadError("no plug-in: there is no " + looked +
                                    "; name the plug-in with --plugin PATH");
}

void say(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "%s: %s\n", headless::kHostName, line.c_str());
    std::fflush(stream);
}

// Makes what was asked of the .voi file the jobs wrote; true when there was nothing to do.
bool makeOutputs(const CommandLine& line, const std::string& voiFile) {
    if (!line.outputs.any()) return true;
    if (voiFile.empty()) {
        say(stderr, "no .voi file to make --nifti, --png or --report of");
        return false;
    }
    voikit::Log log;
    if (!line.job.quiet) log.note = [](const std::string& text) { say(stdout, text); };
    log.warning = [](const std::string& text) { say(stderr, text); };
    voikit::makeOutputs(voiFile, line.outputs, log);
    return true;
}

int run(int argc, char** argv) {
    CommandLine line;
    if (!line.parse(argc, argv)) return kExitSuccess;
    line.outputs.invocation = {kProgramFile, voikit::commandLineOf(argc, argv)};
    headless::HostSession& session = headless::session();
    headless::configureSession(line.job, session);

    const headless::PluginLibrary library(line.pluginPath.empty() ? defaultPluginPath()
                                                                  : line.pluginPath);
    if (!line.job.quiet) {
        voikit::print(stdout, "{}: plug-in {} {}, \"{}\", by {} (script {}, help {})\n",
                      headless::kHostName, library.name(), library.version(), library.description(),
                      library.author(), library.guiScript(), library.helpFile());
    }
    std::unique_ptr<HLZTPluginInterface> plugin(library.create());
    if (!plugin) {
        say(stderr, "the plug-in created no object");
        return kExitFailure;
    }
    if (!plugin->initPlugin()) {
        say(stderr, "the plug-in did not start");
        return kExitFailure;
    }
    headless::JobRunner runner(line.job, *plugin, session);
    runner.onImported = [&line](const headless::ImportedTable& table) {
        voikit::Log log;
        if (!line.job.quiet) log.note = [](const std::string& text) { say(stdout, text); };
        log.warning = [](const std::string& text) { say(stderr, text); };
        voikit::writeReviewPage(
            table.review,
            voikit::reviewOfImport(table.result, table.bytes, table.path, table.settings),
            table.voiFile, line.outputs, log);
    };
    bool ok = runner.runAll();
    plugin.reset();
    ok = makeOutputs(line, runner.lastVoiFile()) && ok;
    if (!ok) return kExitFailure;
    return runner.incomplete() ? kExitIncomplete : kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const headless::UsageError& error) {
        say(stderr,
            std::string(error.what()) + "\nTry '" + argv[0] + " --help' for more information.");
        return kExitUsage;
    } catch (const headless::PluginLoadError& error) {
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
