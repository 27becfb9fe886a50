// glomera-voi's bash completion, as bash with the bash-completion package runs it.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "apps/glomera-voi/program.h"
#include "tests/test_files.h"

namespace {

constexpr const char kBashCompletion[] = "/usr/share/bash-completion/bash_completion";

// What the completion offers for each command line, the cursor at its end: one line of
// sorted words per command line.
std::vector<std::string> offered(const std::vector<std::string>& lines) {
    TempFolder folder;
    writeFile(folder.file("spheres.voi"), "");
    writeFile(folder.file("table.txt"), "");
    std::string script =
        std::string("source ") + kBashCompletion + "\nsource " + COMPLETION_SCRIPT + R"(
offer() {
    COMP_LINE=$1
    COMP_POINT=${#1}
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _glomera_voi glomera-voi "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
    echo
}
)";
    for (const std::string& line : lines) script += "offer '" + line + "'\n";
    writeFile(folder.file("try.sh"), script);
    const ProgramResult r = runProgram(folder.path(), "/bin/bash", "try.sh");
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> results;
    std::istringstream out(r.out);
    for (std::string result; std::getline(out, result);) results.push_back(result);
    return results;
}

TEST(BashCompletion, OffersCommandsOptionsChoicesAndFiles) {
    ASSERT_TRUE(fileExists(kBashCompletion)) << "install bash-completion (scripts/install-deps.sh)";
    const struct {
        const char* line;
        const char* offered;
    } cases[] = {
        {"glomera-voi ",
         "--help --version -h extract import info nifti outputs png report view where "},
        {"glomera-voi w", "where "},
        {"glomera-voi where 21,-13,8 --space ", "mni tal "},
        {"glomera-voi report s.voi --atlas-sides ", "check ignore "},
        {"glomera-voi re", "report "},
        {"glomera-voi report --m", "--methods --mni-to-tal "},
        {"glomera-voi report s.voi --mni-to-tal ", "brett fsl other spm "},
        {"glomera-voi report --mni-to-tal=b", "brett "},
        {"glomera-voi import --space ", "mni tal "},
        {"glomera-voi nifti s.voi --grid-space m", "mni "},
        {"glomera-voi import --col", "--color --colour "},
        {"glomera-voi info sph", "spheres.voi "},
        {"glomera-voi import -o ta", "table.txt "},
        {"glomera-voi import --allow-dropped ta", "table.txt "},
        {"glomera-voi png --", ""},  // filled in below from --help
    };
    std::vector<std::string> lines;
    for (const auto& c : cases) lines.emplace_back(c.line);
    const std::vector<std::string> results = offered(lines);
    ASSERT_EQ(results.size(), lines.size());
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_EQ(results[i], cases[i].offered) << lines[i];
    }
    EXPECT_EQ(results.back(), "--brain --help --mni-to-tal --pdf --quiet --radiological --svg ");
}

// The option names a --help lists at the start of its lines: "-o,--output LIST ..." gives -o
// and --output.
std::set<std::string> helpOptions(const std::string& help) {
    std::set<std::string> names;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos || line[start] != '-') continue;
        std::istringstream flags(line.substr(start, line.find(' ', start) - start));
        for (std::string name; std::getline(flags, name, ',');) names.insert(name);
    }
    return names;
}

TEST(BashCompletion, OffersEveryOptionEachCommandsHelpLists) {
    // Every command of the table, those added later too.
    CLI::App app;
    declareProgram(app);
    std::vector<std::string> commands, lines;
    for (const CLI::App* command : app.get_subcommands({})) {
        commands.push_back(command->get_name());
        lines.push_back("glomera-voi " + command->get_name() + " -");
    }
    ASSERT_GE(commands.size(), 6u);
    const std::vector<std::string> results = offered(lines);
    ASSERT_EQ(results.size(), commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const ProgramResult help = runProgram(".", GLOMERA_VOI, commands[i] + " --help");
        ASSERT_EQ(help.status, 0);
        const std::set<std::string> listed = helpOptions(help.out);
        EXPECT_GT(listed.size(), 2u) << commands[i];
        std::set<std::string> offeredNames;
        std::istringstream words(results[i]);
        for (std::string word; words >> word;) offeredNames.insert(word);
        EXPECT_EQ(offeredNames, listed) << commands[i];
    }
}

}  // namespace
