// glomera-voi: what to do with .voi files outside the host, one subcommand each.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <new>
#include <string>

#include "apps/glomera-voi/import_command.h"
#include "apps/output-options/output_options.h"
#include "voikit/io/text_output.h"
#include "voikit/outputs/outputs.h"
#include "voikit/outputs/voi_info.h"

namespace {

constexpr const char kProgram[] = "glomera-voi";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr const char* kFooter = R"(
Exit status: 0 on success, 1 when a file cannot be read or an output cannot be made (nothing
is left half written), 2 on a usage error, 3 when import dropped coordinate lines or made no
VOI (0 with --allow-dropped as long as it made one).

Examples:
  glomera-voi import table.txt -o list.txt --space mni
  glomera-voi info spheres.voi
  glomera-voi nifti spheres.voi spheres.nii.gz
  glomera-voi nifti spheres.voi on-t1.nii.gz --grid t1.nii.gz
  glomera-voi png spheres.voi spheres.png
  glomera-voi report spheres.voi - --json
  glomera-voi outputs spheres.voi --nifti s.nii.gz --png s.png --report s.txt)";

void say(std::FILE* stream, const std::string& line) {
    std::fprintf(stream, "%s: %s\n", kProgram, line.c_str());
    std::fflush(stream);
}

struct VoiArguments {
    std::string voi;
    std::string output;
    voikit::OutputRequest request;
    bool json = false;
    bool quiet = false;
    std::string gridSpace;
    std::string transform = "spm";
    std::vector<std::string> atlases;
    bool noAtlas = false;
};

CLI::App* addVoiCommand(CLI::App& app, const char* name, const char* description, VoiArguments& a) {
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("FILE.voi", a.voi, "the .voi file")->required()->check(CLI::ExistingFile);
    command->add_flag("-q,--quiet", a.quiet, "do not say what was written");
    return command;
}

int run(int argc, char** argv) {
    CLI::App app(
        "Makes of .voi files what the rest of the field reads: summaries, NIfTI label volumes, "
        "pictures and reports; and makes coordinate lists of pasted tables.",
        kProgram);
    app.footer(kFooter);
    app.require_subcommand(1);
    VoiArguments a;

    const ImportCommand import(app);
    CLI::App* info = addVoiCommand(app, "info", "the header, the VOIs and their voxel counts", a);
    CLI::App* nifti = addVoiCommand(
        app, "nifti",
        "a NIfTI-1 label volume (16-bit, 0 background, i for the i-th VOI) and its label table "
        "(.tsv) beside it",
        a);
    nifti->add_option("OUT", a.request.nifti, "the volume, .nii or .nii.gz")->required();
    nifti
        ->add_option("--grid", a.request.grid,
                     "put the labels on this NIfTI image's grid instead of a 1 mm grid around "
                     "the VOIs")
        ->type_name("IMAGE")
        ->check(CLI::ExistingFile);
    nifti
        ->add_option("--grid-space", a.gridSpace,
                     "the space of the grid image's millimetres, where its header does not say "
                     "(its code is scanner, aligned or unknown): tal or mni")
        ->type_name("tal|mni")
        ->check(CLI::IsMember({"tal", "mni"}));
    CLI::App* png = addVoiCommand(
        app, "png",
        "sagittal, coronal and axial projections over a glass brain, each VOI numbered, with "
        "a legend",
        a);
    png->add_option("OUT", a.request.png, "the picture, .png")->required();
    png->add_option("--svg", a.request.svg, "the same picture as SVG")->type_name("PATH");
    png->add_option("--pdf", a.request.pdf, "the same picture as PDF")->type_name("PATH");
    png->add_flag("--radiological", a.request.radiological,
                  "the subject's right on the left of the coronal and axial views (default: "
                  "neurological, right on the right)");
    CLI::App* report = addVoiCommand(
        app, "report",
        "per VOI: name, colour, voxels, centre of mass, extent; then every pair of VOIs that "
        "share voxels",
        a);
    report->add_option("OUT", a.output, "where to write it; '-' (default) for standard output");
    report->add_flag("--json", a.json, "JSON for scripts instead of text");
    report
        ->add_option("--atlas", a.atlases,
                     "look the VOIs up in this atlas (repeatable): aal, brodmann, jhu, aicha, or "
                     "any MNI label image with its label text, IMAGE[:LABELS.txt]; default: "
                     "the four named")
        ->type_name("NAME|IMAGE[:LABELS]");
    report->add_flag("--no-atlas", a.noAtlas, "leave out where the VOIs lie");
    CLI::App* outputs = addVoiCommand(
        app, "outputs",
        "every output asked for (label volume, picture, reports) from one reading of the file", a);
    const OutputOptions outputOptions(*outputs, "Outputs");
    for (CLI::App* command : {nifti, report, png, outputs}) {
        command
            ->add_option("--mni-to-tal", a.transform,
                         "the transform between TAL and MNI (for the atlases, the template and "
                         "MNI grids): Lancaster's spm (default), fsl or other, or brett")
            ->check(CLI::IsMember({"spm", "fsl", "other", "brett"}));
    }
    for (CLI::App* command : {report, png}) {
        command
            ->add_option("--brain", a.request.brain,
                         "the brain-extracted MNI template to check against and draw "
                         "(default: ch2bet of mricron-data)")
            ->type_name("IMAGE")
            ->check(CLI::ExistingFile);
    }

    const std::string first = argc > 1 ? argv[1] : "-";
    if (first[0] != '-' &&
        app.get_subcommands([&](CLI::App* c) { return c->check_name(first); }).empty()) {
        say(stderr,
            "no command \"" + first +
                "\"; the commands are import, info, nifti, png, report, outputs (see --help)");
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? 0 : kExitUsage;
    }
    if (import.chosen()) return import.run();
    if (info->parsed()) {
        voikit::writeTextOutput("-", voikit::voiInfo(a.voi));
        return 0;
    }
    if (report->parsed()) {
        (a.json ? a.request.reportJson : a.request.report) = a.output.empty() ? "-" : a.output;
    }
    if (!a.gridSpace.empty()) a.request.gridSpace = voikit::spaceNamed(a.gridSpace);
    a.request.transform = *voikit::transformNamed(a.transform);
    if (!a.atlases.empty()) a.request.atlases = a.atlases;
    a.request.anatomy = !a.noAtlas;
    if (outputs->parsed()) {
        try {
            a.request = outputOptions.request(*voikit::transformNamed(a.transform));
        } catch (const CLI::ValidationError& error) {
            say(stderr, error.what());
            return kExitUsage;
        }
        if (!a.request.any()) {
            say(stderr,
                "outputs: ask for at least one of --nifti, --png, --svg, --pdf, "
                "--report, --report-json");
            return kExitUsage;
        }
    }
    voikit::Log log;
    if (!a.quiet) log.note = [](const std::string& text) { say(stderr, text); };
    log.warning = [](const std::string& text) { say(stderr, text); };
    voikit::makeOutputs(a.voi, a.request, log);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        say(stderr, "not enough memory to go on; nothing was left half written");
        return kExitFailure;
    } catch (const std::exception& error) {
        say(stderr, error.what());
        return kExitFailure;
    } catch (...) {
        return kExitFailure;
    }
}
