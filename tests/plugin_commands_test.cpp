#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <memory>
#include <string>
#include <vector>

#include "plugin/glomera.h"
#include "tests/in_process_host.h"
#include "tests/test_files.h"

extern "C" {
HLZTPluginInterface* createPlugin();
const char* getAuthor();
const char* getGUIScript();
const char* getHelpFile();
const char* getPluginDescription();
const char* getPluginName();
const char* getPluginVersion();
}

namespace {

using Lines = std::vector<std::string>;

const Lines kStartupLines = {" ", "Plugin>  Running Glomera Plugin...", "Plugin>"};
const Lines kClosingLines = {"Plugin>  Glomera Plugin finished!", " "};

class PluginTest : public testing::Test {
  protected:
    InProcessHost host{"zt"};
    headless::HostSession& session = *host.session();

    Lines log() const { return Lines(session.logLines.begin(), session.logLines.end()); }
    Lines boxes() const {
        return Lines(session.messageBoxTexts.begin(), session.messageBoxTexts.end());
    }
    bool run(Glomera& plugin, const std::string& command) {
        session.parameters["Command"] = command;
        return plugin.execute();
    }
};

TEST(Exports, GettersReturnFixedStringsAtFixedAddresses) {
    EXPECT_STREQ(getAuthor(), "<i>KW</i>");
    EXPECT_STREQ(getGUIScript(), "Glomera.js");
    EXPECT_STREQ(getHelpFile(), "HelpFolder/index.html");
    EXPECT_STREQ(getPluginDescription(), "Creates Spherical VOIs");
    EXPECT_STREQ(getPluginName(), "Glomera");
    EXPECT_STREQ(getPluginVersion(), "1.0");
    EXPECT_EQ(getPluginName(), getPluginName());
    EXPECT_EQ(getPluginVersion(), getPluginVersion());
}

TEST(Exports, CreatePluginMakesAnObjectTheHostDeletes) {
    clearHostTable();
    HLZTPluginInterface* plugin = createPlugin();
    ASSERT_NE(plugin, nullptr);
    EXPECT_NE(dynamic_cast<Glomera*>(plugin), nullptr);
    delete plugin;  // no host bound: the closing lines are skipped, nothing is called
}

TEST(VersionCheck, ComparesFieldByField) {
    struct Case {
        int major, minor, revision;
        bool accepted;
    } cases[] = {{2, 2, 0, true},   {2, 1, 9, false},          {1, 99, 99, false}, {3, 0, 0, true},
                 {2, 3, 0, true},   {2, 3, -1, true},          {2, 2, -1, false},  {2, 2, 7, true},
                 {-3, 9, 9, false}, {2147483647, -5, -5, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(glomera::isVersionAtLeast(c.major, c.minor, c.revision, 2, 2, 0), c.accepted)
            << c.major << "." << c.minor << "." << c.revision;
    }
}

TEST_F(PluginTest, StartsWithThreeLogLines) {
    {
        Glomera plugin;
        EXPECT_TRUE(plugin.initPlugin());
        EXPECT_EQ(log(), kStartupLines);
        EXPECT_TRUE(boxes().empty());
    }
    Lines expected = kStartupLines;
    expected.insert(expected.end(), kClosingLines.begin(), kClosingLines.end());
    EXPECT_EQ(log(), expected);
}

TEST_F(PluginTest, OldHostIsRefusedBeforeAnythingIsLogged) {
    for (auto version : {std::vector<int>{2, 1, 9}, {1, 99, 99}, {2, 2, -1}}) {
        session.logLines.clear();
        session.messageBoxTexts.clear();
        std::copy(version.begin(), version.end(), session.version);
        Glomera plugin;
        EXPECT_FALSE(plugin.initPlugin());
        EXPECT_TRUE(log().empty());
        EXPECT_EQ(boxes(),
                  Lines{"Can not execute this plugin - HelmoraZT version 2.2 or higher required."});
    }
}

TEST_F(PluginTest, NewerHostsAreAccepted) {
    for (auto version : {std::vector<int>{3, 0, 0}, {2, 3, 0}, {2, 3, -1}}) {
        std::copy(version.begin(), version.end(), session.version);
        Glomera plugin;
        EXPECT_TRUE(plugin.initPlugin());
    }
}

TEST_F(PluginTest, DocumentChecksFollowTheStartupLines) {
    session.documentId = -1;
    {
        Glomera plugin;
        EXPECT_FALSE(plugin.initPlugin());
        EXPECT_EQ(log(), kStartupLines);
        EXPECT_EQ(boxes(), Lines{"No current document available."});
    }
    session.logLines.clear();
    session.messageBoxTexts.clear();
    session.documentId = 0;  // a real document
    session.documentType = 2;
    Glomera plugin;
    EXPECT_FALSE(plugin.initPlugin());
    EXPECT_EQ(log(), kStartupLines);
    EXPECT_EQ(boxes(), Lines{"The currently active document is not a VMR document."});
    session.documentType = 3;
    EXPECT_TRUE(plugin.initPlugin());
}

TEST_F(PluginTest, ExecuteDoesNothingWithoutASuccessfulStart) {
    Glomera never;
    session.parameters["Command"] = "CleanUpText";
    EXPECT_FALSE(never.execute());

    session.documentType = 2;
    Glomera failed;
    EXPECT_FALSE(failed.initPlugin());
    session.logLines.clear();
    session.parameters["VOItext"] = "1 2 3 4 n 5 6 7";
    EXPECT_FALSE(failed.execute());
    EXPECT_TRUE(log().empty());
    EXPECT_EQ(session.parameters["VOItext"], "1 2 3 4 n 5 6 7");
}

TEST_F(PluginTest, SecondObjectRebindsTheSameHost) {
    auto first = std::make_unique<Glomera>();
    ASSERT_TRUE(first->initPlugin());
    auto second = std::make_unique<Glomera>();
    ASSERT_TRUE(second->initPlugin());
    session.logLines.clear();
    EXPECT_TRUE(run(*first, "Nope1"));
    first.reset();
    EXPECT_TRUE(run(*second, "Nope2"));
    second.reset();
    EXPECT_EQ(log(), (Lines{"Plugin>  Received unknown command: \"Nope1\".",
                            "Plugin>  Glomera Plugin finished!", " ",
                            "Plugin>  Received unknown command: \"Nope2\".",
                            "Plugin>  Glomera Plugin finished!", " "}));
}

TEST_F(PluginTest, CancelledOpenDialogReadsNothing) {
    Glomera plugin;
    ASSERT_TRUE(plugin.initPlugin());
    session.logLines.clear();
    session.parameters["AllText"] = "stale";
    EXPECT_TRUE(run(plugin, "ReadTextFile"));
    EXPECT_EQ(log(), Lines{"Plugin>  Read 0 lines in "});
    EXPECT_EQ(session.parameters["AllText"], "");
}

TEST_F(PluginTest, UnknownCommandsAreLoggedWhole) {
    Glomera plugin;
    ASSERT_TRUE(plugin.initPlugin());
    const std::string long255(255, 'c');
    for (const std::string command : {"start", "Start ", "StartNow", "", "CleanUpText\n"}) {
        session.logLines.clear();
        EXPECT_TRUE(run(plugin, command));
        EXPECT_EQ(log(), Lines{"Plugin>  Received unknown command: \"" + command + "\"."});
    }
    session.logLines.clear();
    EXPECT_TRUE(run(plugin, long255));
    EXPECT_EQ(log(), Lines{"Plugin>  Received unknown command: \"" + long255 + "\"."});
}

TEST_F(PluginTest, CleanUpTextCommandWritesTheListBack) {
    Glomera plugin;
    ASSERT_TRUE(plugin.initPlugin());
    session.logLines.clear();
    session.parameters["VOItext"] =
        "header\n12,-20.46,5,8,'Amygdala_L',300,-4,128\n80 0 0 5 F 1 1 1";
    EXPECT_TRUE(run(plugin, "CleanUpText"));
    EXPECT_EQ(session.parameters["VOItext"],
              "   12.0   -20.5     5.0     8.0                Amygdala_L     255    0  128");
    EXPECT_EQ(log(), Lines{"Plugin>  1 valid lines left after cleaning"});
}

TEST_F(PluginTest, CleanUpTextReportsACutList) {
    Glomera plugin;
    ASSERT_TRUE(plugin.initPlugin());
    session.logLines.clear();
    std::string list;
    for (int i = 0; i < 10000; ++i) list += "1 2 3 4 n 5 6 7\n";  // 99,999 bytes at most
    session.parameters["VOItext"] = list;
    EXPECT_TRUE(run(plugin, "CleanUpText"));
    EXPECT_EQ(log(), (Lines{"Plugin>  The cleaned list does not fit the text box: only its first "
                            "1315 valid lines are kept.",
                            "Plugin>  1315 valid lines left after cleaning"}));
    EXPECT_EQ(session.parameters["VOItext"].size(), 1315u * 76 - 1);
}

// A host may switch its process to a locale with a decimal comma; the plug-in still reads
// and writes numbers with a full stop.
TEST_F(PluginTest, HostLocaleDoesNotChangeNumbers) {
    TempFolder locales;
    const std::string make =
        "localedef -i de_DE -f UTF-8 '" + locales.file("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0 && !fileExists(locales.file("de_DE.UTF-8"))) {
        GTEST_SKIP() << "localedef cannot make a German locale here";
    }
    setenv("LOCPATH", locales.path().c_str(), 1);
    ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    std::locale::global(std::locale(setlocale(LC_ALL, nullptr)));
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5");  // the host's locale is really in force

    Glomera plugin;
    EXPECT_TRUE(plugin.initPlugin());
    session.logLines.clear();
    session.parameters["VOItext"] = "12.5 -20.46 5 8 N 1 2 3";
    EXPECT_TRUE(run(plugin, "CleanUpText"));
    const std::string cleaned = session.parameters["VOItext"];
    session.parameters = {{"listVOIinfoFrom", "1"},
                          {"VOItext", "12.5 -20.46 5 8 N 1 2 3"},
                          {"FileName", locales.file("out")}};
    EXPECT_TRUE(run(plugin, "Start"));

    setlocale(LC_ALL, "C");
    std::locale::global(std::locale::classic());
    unsetenv("LOCPATH");
    EXPECT_EQ(cleaned,
              "   12.5   -20.5     5.0     8.0                         N       1    2    3");
    EXPECT_EQ(session.logLines.at(2),
              "Plugin>  Added VOI at TAL (12.5, -20.5, 5.0) with 8.0 mm radius");
}

}  // namespace
