// Option values typed while CLI11 parses: what each kind takes, and the words of a refusal.
#include "apps/option-values/option_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "apps/exit-codes/exit_codes.h"

namespace {

// Parses `arguments` after the program name; the refusal's text, or "" when all was taken.
std::string parse(CLI::App& app, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "program");
    std::vector<char*> argv;
    argv.reserve(arguments.size());
    for (std::string& argument : arguments) argv.push_back(argument.data());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& error) {
        return error.what();
    }
    return "";
}

TEST(OptionValues, RadiusTakesStrictNumbersAboveZero) {
    const struct {
        const char* text;
        double value;  // 0: refused
    } cases[] = {
        {"2.5", 2.5},
        {"+3", 3},
        {"1e-3", 0.001},
        {".5", 0.5},
        {"0", 0},
        {"-1", 0},
        {"", 0},
        {"abc", 0},
        {"22x", 0},
        {"1e400", 0},
        {"inf", 0},
        {" 5", 0},
        {"\xe2\x88\x92"
         "2",
         0},  // a typographic minus
    };
    for (const auto& c : cases) {
        CLI::App app;
        std::optional<double> radius;
        options::addValue(app, "--radius", radius, options::radiusKind(), "");
        const std::string refusal = parse(app, {"--radius", c.text});
        if (c.value > 0) {
            EXPECT_EQ(refusal, "") << c.text;
            EXPECT_EQ(radius, c.value) << c.text;
            continue;
        }
        EXPECT_EQ(refusal,
                  std::string("--radius: wants a radius in mm above 0, not \"") + c.text + "\"");
        EXPECT_FALSE(radius.has_value()) << c.text;
    }
}

TEST(OptionValues, EachKindReadsItsTextOrRefusesInTheOptionsWords) {
    const struct {
        const char* text;
        const char* refusal;  // "" when taken
    } cases[] = {
        {"mni", ""},
        {"tal", ""},
        {"icbm", "--space: icbm not in {tal,mni}"},
        {"MNI", "--space: MNI not in {tal,mni}"},
        {"", "--space:  not in {tal,mni}"},
    };
    for (const auto& c : cases) {
        CLI::App app;
        voikit::Space space = voikit::Space::kTal;
        options::addValue(app, "--space", space, options::spaceKind(), "");
        EXPECT_EQ(parse(app, {"--space", c.text}), c.refusal) << c.text;
        if (c.refusal[0] == '\0') {
            EXPECT_EQ(space, voikit::spaceNamed(c.text)) << c.text;
        }
    }

    for (const char* name : voikit::kTransformNames) {
        CLI::App app;
        voikit::MniToTal transform = voikit::MniToTal::kSpm;
        options::addValue(app, "--mni-to-tal", transform, options::transformKind(), "");
        EXPECT_EQ(parse(app, {"--mni-to-tal", name}), "");
        EXPECT_STREQ(voikit::transformName(transform), name);
    }
    CLI::App app;
    voikit::MniToTal transform = voikit::MniToTal::kSpm;
    options::addValue(app, "--mni-to-tal", transform, options::transformKind(), "");
    EXPECT_EQ(parse(app, {"--mni-to-tal", "lancaster"}),
              "--mni-to-tal: lancaster not in {spm,fsl,other,brett}");
}

TEST(OptionValues, ColourIsNamedByItsFirstLongNameWhicheverIsGiven) {
    const struct {
        std::vector<std::string> arguments;
        std::array<int, 3> colour;
        const char* refusal;
    } cases[] = {
        {{"--colour", "1,2,3"}, {1, 2, 3}, ""},
        {{"--color", "+0,255,7"}, {0, 255, 7}, ""},
        {{"--colour", "1,2"},
         {},
         "--color: wants R,G,B: three whole numbers from 0 to 255, not \"1,2\""},
        {{"--color", "1,2,256"},
         {},
         "--color: wants R,G,B: three whole numbers from 0 to 255, not \"1,2,256\""},
        {{"--color", ",,"},
         {},
         "--color: wants R,G,B: three whole numbers from 0 to 255, not \",,\""},
    };
    for (const auto& c : cases) {
        CLI::App app;
        std::optional<std::array<int, 3>> colour;
        options::addValue(app, "--color,--colour", colour, options::colourKind(), "");
        EXPECT_EQ(parse(app, c.arguments), c.refusal) << c.arguments[1];
        if (c.refusal[0] == '\0') {
            EXPECT_EQ(colour, c.colour) << c.arguments[1];
        }
    }
}

TEST(OptionValues, TargetsKeepTheirDefaultUnlessGivenAndListsKeepTheOrder) {
    CLI::App app;
    std::optional<double> radius;
    voikit::MniToTal transform = voikit::MniToTal::kBrett;
    std::vector<voikit::Space> spaces;
    options::addValue(app, "--radius", radius, options::radiusKind(), "");
    options::addValue(app, "--mni-to-tal", transform, options::transformKind(), "");
    options::addValue(app, "--in", spaces, options::spaceKind(), "");
    EXPECT_EQ(parse(app, {"--in", "mni", "--in", "tal", "--in", "mni"}), "");
    EXPECT_FALSE(radius.has_value());
    EXPECT_EQ(transform, voikit::MniToTal::kBrett);
    EXPECT_EQ(spaces, (std::vector<voikit::Space>{voikit::Space::kMni, voikit::Space::kTal,
                                                  voikit::Space::kMni}));
    // A single value given twice is refused, as CLI11 refuses it.
    CLI::App twice;
    options::addValue(twice, "--radius", radius, options::radiusKind(), "");
    EXPECT_EQ(parse(twice, {"--radius", "1", "--radius", "2"}),
              "--radius: At Most 1 required but received 2");
}

TEST(OptionValues, HelpShowsTheChoicesOfANameTable) {
    CLI::App app;
    voikit::Space space = voikit::Space::kTal;
    voikit::MniToTal transform = voikit::MniToTal::kSpm;
    std::optional<double> radius;
    options::addValue(app, "--space", space, options::spaceKind(), "the space");
    options::addValue(app, "--mni-to-tal", transform, options::transformKind(), "the transform")
        ->type_name("NAME");
    options::addValue(app, "--radius", radius, options::radiusKind(), "the radius");
    const std::string help = app.help();
    EXPECT_NE(help.find("--space TEXT:{tal,mni}"), std::string::npos) << help;
    EXPECT_NE(help.find("--mni-to-tal NAME:{spm,fsl,other,brett}"), std::string::npos) << help;
    EXPECT_NE(help.find("--radius TEXT "), std::string::npos) << help;
}

TEST(ExitCodes, HelpParagraphTellsEveryStatusInLinesOfTheWidth) {
    EXPECT_EQ(exitStatusHelp({{kExitSuccess, "on success"},
                              {kExitUsage, "on a usage error"},
                              {kExitIncomplete, "when lines were dropped"}},
                             30),
              "Exit status: 0 on success; 2\n"
              "on a usage error; 3 when lines\n"
              "were dropped.");
    // A word longer than the width stands on a line of its own.
    EXPECT_EQ(exitStatusHelp({{kExitFailure, "when /a/very/long/path/name/here fails"}}, 12),
              "Exit status:\n1 when\n/a/very/long/path/name/here\nfails.");
}

}  // namespace
