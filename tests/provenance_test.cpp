// What made a result: checksums, command lines, the provenance lines and JSON, the version,
// the methods paragraph, and where the programs find their installed files.
#include "voikit/provenance/provenance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "common/installed_files.h"
#include "tests/test_files.h"
#include "voikit/io/error.h"
#include "voikit/io/sha256.h"
#include "voikit/provenance/methods.h"
#include "voikit/provenance/version.h"
#include "voikit/space/atlas.h"

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Sha256, KnownDigestsOfTextAndOfFiles) {
    // The test vectors of FIPS 180-2, and a text longer than one block of the file reader.
    const struct {
        std::string text;
        const char* digest;
    } known[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    TempFolder folder;
    for (const auto& k : known) {
        EXPECT_EQ(voikit::sha256Of(k.text), k.digest) << k.text.size() << " bytes";
        writeFile(folder.file("f"), k.text);
        const voikit::FileChecksum file = voikit::sha256OfFile(folder.file("f"));
        EXPECT_EQ(file.sha256, k.digest) << k.text.size() << " bytes";
        EXPECT_EQ(file.bytes, k.text.size());
    }
    try {
        voikit::sha256OfFile(folder.file("missing.nii.gz"));
        FAIL() << "a missing file has no checksum";
    } catch (const voikit::Error& error) {
        EXPECT_TRUE(contains(error.what(), folder.file("missing.nii.gz"))) << error.what();
    }
}

// A file asked for again is read again only when it may have changed: each change of its
// bytes gives its new checksum, whether it was changed a moment ago or long before.
TEST(Sha256, AFileChangedSinceGivesItsNewChecksum) {
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const std::string abd = "a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9";
    TempFolder folder;
    const std::string path = folder.file("labels.txt");
    // Just written: the same size rewritten within the file system's clock tick.
    writeFile(path, "abc");
    EXPECT_EQ(voikit::sha256OfFile(path).sha256, abc);
    writeFile(path, "abd");
    EXPECT_EQ(voikit::sha256OfFile(path).sha256, abd);
    // Settled long ago: asked for from several threads at once, each gets the same.
    writeFile(path, "abc");
    const auto anHourAgo = std::filesystem::last_write_time(path) - std::chrono::hours(1);
    std::filesystem::last_write_time(path, anHourAgo);
    std::vector<std::future<voikit::FileChecksum>> asked;
    asked.reserve(4);
    for (int n = 0; n < 4; ++n) {
        asked.push_back(std::async(std::launch::async, [&] { return voikit::sha256OfFile(path); }));
    }
    for (auto& checksum : asked) {
        const voikit::FileChecksum got = checksum.get();
        EXPECT_EQ(got.sha256, abc);
        EXPECT_EQ(got.bytes, 3u);
    }
    // Changed after that: its new bytes.
    writeFile(path, "abd");
    EXPECT_EQ(voikit::sha256OfFile(path).sha256, abd);
    std::filesystem::last_write_time(path, anHourAgo - std::chrono::hours(1));
    EXPECT_EQ(voikit::sha256OfFile(path).sha256, abd);
}

TEST(CommandLine, EachArgumentQuotedForTheShellWhereItMustBe) {
    const struct {
        std::vector<const char*> argv;
        const char* line;
    } cases[] = {
        {{"glomera-voi", "report", "s.voi", "--atlas=aal", "-q"},
         "glomera-voi report s.voi --atlas=aal -q"},
        {{"glomera-voi", "report", "my spheres.voi"}, "glomera-voi report 'my spheres.voi'"},
        {{"glomera-voi", "import", "it's.txt"}, "glomera-voi import 'it'\\''s.txt'"},
        {{"HelmoraZT.exe", "--set", "VOItext=1 2 3 4 A 255 0 0"},
         "HelmoraZT.exe --set 'VOItext=1 2 3 4 A 255 0 0'"},
        {{"x", "", "$HOME", "a*b", "~/t", "a;b"}, "x '' '$HOME' 'a*b' '~/t' 'a;b'"},
        {{"x", "/data/sub-01/peaks_MNI-2mm.txt"}, "x /data/sub-01/peaks_MNI-2mm.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(voikit::commandLineOf(static_cast<int>(c.argv.size()), c.argv.data()), c.line);
    }
}

voikit::Provenance sample() {
    return {{"glomera-voi", "glomera-voi report 's.voi'"},
            voikit::MniToTal::kFsl,
            {{"VOI file", "s.voi", 1234, ""},
             {"atlas AAL image", "/t/aal.nii.gz", 99,
              "b512dcd3f36b77f56be7a9a038134096e66314b7e8c31d25875b96bcf6991454"},
             {"atlas caf\xE9 image", "/t/caf\xE9.nii", 7, ""}},
            {}};
}

TEST(Provenance, LinesSayWhatMadeAResult) {
    std::string version = std::string("Glomera ") + voikit::glomeraVersion();
    if (*voikit::buildCommit() != '\0') version += std::string(", commit ") + voikit::buildCommit();
    const std::vector<std::string> lines = voikit::provenanceLines(sample());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0].rfind("glomera-voi (" + version, 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "command: glomera-voi report 's.voi'");
    EXPECT_EQ(lines[2], "transform between TAL and MNI: fsl");
    EXPECT_EQ(lines[3], "VOI file: s.voi, 1234 bytes");
    EXPECT_EQ(lines[4],
              "atlas AAL image: /t/aal.nii.gz, 99 bytes, SHA-256 "
              "b512dcd3f36b77f56be7a9a038134096e66314b7e8c31d25875b96bcf6991454");
}

TEST(Provenance, JsonForScriptsInUtf8) {
    const nlohmann::ordered_json made = voikit::provenanceJson(sample());
    EXPECT_EQ(made["program"], "glomera-voi");
    EXPECT_EQ(made["version"], voikit::glomeraVersion());
    EXPECT_EQ(made["command_line"], "glomera-voi report 's.voi'");
    EXPECT_EQ(made["transform"], "fsl");
    ASSERT_EQ(made["inputs"].size(), 3u);
    EXPECT_EQ(made["inputs"][0]["bytes"], 1234);
    EXPECT_TRUE(made["inputs"][0]["sha256"].is_null());
    EXPECT_EQ(made["inputs"][1]["sha256"],
              "b512dcd3f36b77f56be7a9a038134096e66314b7e8c31d25875b96bcf6991454");
    // A Windows-1252 name is kept, as UTF-8.
    EXPECT_EQ(made["inputs"][2]["path"], "/t/caf\xC3\xA9.nii");
    EXPECT_EQ(made["inputs"][2]["role"], "atlas caf\xC3\xA9 image");
    EXPECT_NO_THROW(made.dump());
}

TEST(Provenance, FilesAreTakenWithSizeAndChecksumOrSizeAlone) {
    TempFolder folder;
    writeFile(folder.file("atlas.txt"), "abc");
    const voikit::InputFile summed =
        voikit::checksummedFile("atlas X labels", folder.file("atlas.txt"));
    EXPECT_EQ(summed.bytes, 3u);
    EXPECT_EQ(summed.sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const voikit::InputFile sized = voikit::sizedFile("VOI file", folder.file("atlas.txt"));
    EXPECT_EQ(sized.bytes, 3u);
    EXPECT_EQ(sized.sha256, "");
    EXPECT_THROW(voikit::sizedFile("VOI file", folder.file("none.voi")), voikit::Error);
}

TEST(Version, TextNamesProgramVersionAndCommit) {
    EXPECT_EQ(std::string(voikit::glomeraVersion()), GLOMERA_PROJECT_VERSION);
    const std::string commit = voikit::buildCommit();
    // Built from a checkout: the abbreviated commit; elsewhere nothing.
    EXPECT_TRUE(
        commit.empty() ||
        (commit.size() == 12 && commit.find_first_not_of("0123456789abcdef") == std::string::npos))
        << commit;
    const std::string text = voikit::versionText("glomera-voi");
    EXPECT_EQ(text.substr(0, text.find('\n')),
              std::string("glomera-voi (Glomera) ") + GLOMERA_PROJECT_VERSION);
    EXPECT_EQ(contains(text, "built from commit " + commit), !commit.empty()) << text;
}

// The choices of a report and what its methods paragraph must and must not cite.
TEST(Methods, ParagraphCitesWhatTheChoicesUse) {
    using voikit::MniToTal;
    const struct {
        voikit::MethodsChoices choices;
        std::vector<const char*> cited;
        std::vector<const char*> absent;
        std::size_t references;
    } cases[] = {
        {{MniToTal::kSpm, voikit::defaultAtlases(), true, "", {}, {}, {}},
         {"icbm_spm2tal; Lancaster et al., 2007", "AAL atlas (Tzourio-Mazoyer et al., 2002)",
          "(ICBM-DTI-81; Mori et al., 2008; Wakana et al., 2007; Hua et al., 2008)",
          "AICHA atlas (Joliot et al., 2015)", "Brodmann areas (Brodmann, 1909)",
          "(ch2bet; Holmes et al., 1998)", "distributed with MRIcron (Rorden and Brett, 2000)",
          "Glomera "},
         {"Brett et al.", "label image", "mirrored"},
         10},
        // The JHU file read with its x axis mirrored: said once, in the singular.
        {{MniToTal::kSpm, voikit::defaultAtlases(), true, "", {"jhu"}, {}, {}},
         {"The header of the file of the JHU white-matter labels swaps left and right",
          "the image was read with the x axis mirrored"},
         {"The headers", "AAL atlas swaps"},
         10},
        // Two such, in the plural; a correction of an atlas not asked for is not told.
        {{MniToTal::kSpm,
          {"jhu", "/data/flipped.nii.gz"},
          true,
          "",
          {"/data/flipped.nii.gz", "jhu", "aal"},
          {},
          {}},
         {"The headers of the files of the JHU white-matter labels and the label image "
          "flipped.nii.gz swap left and right",
          "the images were read"},
         {"AAL"},
         7},
        {{MniToTal::kBrett, {"aal"}, true, "", {}, {}, {}},
         {"Brett's piecewise linear transform (mni2tal; Brett et al., 2002)", "AAL atlas"},
         {"Lancaster", "AICHA", "JHU"},
         5},
        // Without atlases and without a record of MNI input, no transform was used at all.
        {{MniToTal::kFsl, {"jhu"}, false, "", {"jhu"}, {}, {}},
         {"taken to be in Talairach space", "no record of another input space"},
         {"icbm_fsl2tal", "atlas", "MRIcron", "ch2bet", "mirrored", "converted"},
         1},
        {{MniToTal::kOther,
          {"/data/my atlas.nii.gz:/data/labels.txt"},
          true,
          "/data/mybet.nii",
          {},
          {},
          {}},
         {"icbm_other2tal", "the label image my atlas.nii.gz",
          "the brain-extracted template mybet.nii"},
         {"MRIcron", "ch2bet", "AAL"},
         2},
    };
    for (const auto& c : cases) {
        const voikit::Methods methods = voikit::methodsFor(c.choices);
        for (const char* part : c.cited) {
            EXPECT_TRUE(contains(methods.paragraph, part)) << part << "\n" << methods.paragraph;
        }
        for (const char* part : c.absent) {
            EXPECT_FALSE(contains(methods.paragraph, part)) << part << "\n" << methods.paragraph;
        }
        EXPECT_EQ(methods.references.size(), c.references) << methods.paragraph;
        EXPECT_TRUE(std::is_sorted(methods.references.begin(), methods.references.end()));
        // Every work the paragraph cites is in the references, by its first author and year.
        for (const std::string& reference : methods.references) {
            const std::string author = reference.substr(0, reference.find(' '));
            const std::string year = reference.substr(reference.find('(') + 1, 4);
            EXPECT_TRUE(contains(methods.paragraph, author)) << author;
            EXPECT_TRUE(contains(methods.paragraph, year)) << year;
        }
    }
}

TEST(Methods, EveryDefaultAtlasHasItsOwnWordsAndReferences) {
    for (const std::string& atlas : voikit::defaultAtlases()) {
        const voikit::Methods methods =
            voikit::methodsFor({voikit::MniToTal::kSpm, {atlas}, true, "", {}, {}, {}});
        EXPECT_FALSE(contains(methods.paragraph, "label image")) << atlas;
        // Talairach, Lancaster, Holmes, Rorden and the atlas's own.
        EXPECT_GT(methods.references.size(), 4u) << atlas;
    }
    const std::string text = voikit::methodsText(voikit::methodsFor({}));
    EXPECT_EQ(text.rfind("Methods\n\nVolumes of interest", 0), 0u) << text;
    // Without atlases: the transform and the brain's template, in their authors' order.
    EXPECT_TRUE(contains(text, "\n\nReferences\n\nHolmes CJ, ")) << text;
    EXPECT_TRUE(contains(text, "\nLancaster JL, ")) << text;
}

TEST(InstalledFiles, ThePluginBesideTheProgramThenInThePrefixsFolder) {
    const std::string folder = glomera::programFolder();
    ASSERT_EQ(std::filesystem::path(folder), std::filesystem::path(PLUGIN_LIBRARY).parent_path());
    const std::filesystem::path prefix = std::filesystem::path(folder).parent_path();
    EXPECT_EQ(glomera::pluginPlaces("Glomera.so"),
              (std::vector<std::string>{folder + "/Glomera.so",
                                        (std::filesystem::path(folder) /
                                         glomera::pluginFolderFromPrograms() / "Glomera.so")
                                            .lexically_normal()
                                            .string()}));
    // The build tree holds the data as a prefix does, beside the programs' folder.
    const std::string example = glomera::dataPath("examples/mni_table.txt");
    EXPECT_EQ(example, (prefix / "share/glomera/examples/mni_table.txt").string());
    EXPECT_EQ(readFile(example), readFile(std::string(EXAMPLES_DIR) + "/mni_table.txt"));
    EXPECT_EQ(glomera::firstExisting({folder + "/none", example, PLUGIN_LIBRARY}), example);
    EXPECT_EQ(glomera::firstExisting({folder + "/none"}), std::nullopt);
    // No templates in the build's data folder: those of mricron-data.
    EXPECT_EQ(voikit::templateFolder(), voikit::kTemplateFolder);
}

}  // namespace
