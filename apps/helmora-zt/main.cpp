// HelmoraZT.exe: a headless host that loads the Glomera plug-in and runs its commands.
#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "apps/exit-codes/exit_codes.h"
#include "apps/helmora-zt/options.h"
#include "common/program_path.h"
#include "headless/host_session.h"
#include "headless/job.h"
#include "headless/plugin_library.h"
#include "voikit/io/error.h"
#include "voikit/io/print.h"
#include "voikit/outputs/outputs.h"

namespace {

std::string defaultPluginPath() {
    char path[PATH_MAX];
    if (!glomera::programPath(path, sizeof path)) return "Glomera.so";
    std::string folder(path);
    return folder.substr(0, folder.rfind('/')) + "/Glomera.so";
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
