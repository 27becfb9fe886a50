// A host that lacks one of the entries the plug-in calls: the plug-in never calls through
// the missing entry, does without it, and finishes every command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/glomera.h"
#include "tests/in_process_host.h"
#include "tests/test_files.h"

namespace {

using Lines = std::vector<std::string>;

// What one plug-in lifetime did in a host: start-up, a sphere from the dialog, a clean-up,
// reading and saving a list, destruction.
struct Lifetime {
    bool started = false;
    bool startResult = false;
    bool voiWritten = false;
    int loads = 0;
    Lines log;
    Lines boxes;
    std::string cleanedText;
    std::string allText;
    bool listSaved = false;
};

Lifetime live(const std::string& hostFolder) {
    TempFolder folder;
    writeFile(folder.file("list.txt"), "a\r\nb\r\n");
    Lifetime result;
    InProcessHost host(hostFolder);
    EXPECT_TRUE(host.loaded()) << hostFolder;
    headless::HostSession& s = *host.session();
    s.parameters = {{"tX", "1"},
                    {"tY", "2"},
                    {"tZ", "3"},
                    {"Radius", "1"},
                    {"cR", "255"},
                    {"cG", "0"},
                    {"cB", "0"},
                    {"Name_of_VOI", "V"},
                    {"FileName", folder.file("out")},
                    {"LoadInHL", "1"},
                    {"listVOIinfoFrom", "0"},
                    {"VOItext", "12,-20,5,8,V,1,2,3"}};
    s.openFileAnswers = {folder.file("list.txt")};
    s.saveFileAnswers = {folder.file("saved.txt")};
    {
        Glomera plugin;
        result.started = plugin.initPlugin();
        if (result.started) {
            s.parameters["Command"] = "Start";
            result.startResult = plugin.execute();
            s.parameters["Command"] = "CleanUpText";
            plugin.execute();
            s.parameters["Command"] = "ReadTextFile";
            plugin.execute();
            s.parameters["Command"] = "SaveTextFile";
            plugin.execute();
        }
    }
    result.voiWritten = fileExists(folder.file("out.voi"));
    result.listSaved = fileExists(folder.file("saved.txt"));
    result.loads = s.loads;
    result.log.assign(s.logLines.begin(), s.logLines.end());
    result.boxes.assign(s.messageBoxTexts.begin(), s.messageBoxTexts.end());
    result.cleanedText = s.parameters["VOItext"];
    result.allText = s.parameters["AllText"];
    return result;
}

bool has(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

const std::string kCleaned =
    "   12.0   -20.0     5.0     8.0                         V       1    2    3";

TEST(MissingHostEntry, CompleteHostRunsEveryCommand) {
    const Lifetime l = live("zt");
    EXPECT_TRUE(l.started);
    EXPECT_TRUE(l.startResult);
    EXPECT_TRUE(l.voiWritten);
    EXPECT_EQ(l.loads, 1);
    EXPECT_EQ(l.cleanedText, kCleaned);
    EXPECT_EQ(l.allText, "a\nb");
    EXPECT_TRUE(l.listSaved);
    EXPECT_TRUE(l.boxes.empty());
    EXPECT_EQ(l.log.back(), " ");
}

TEST(MissingHostEntry, HostWithOnlyTheVersionCannotStartThePlugin) {
    clearHostTable();
    InProcessHost host("version-only");
    ASSERT_TRUE(host.loaded());
    Glomera plugin;
    // No document can be asked for; nothing is shown or logged, and nothing runs.
    EXPECT_FALSE(plugin.initPlugin());
    EXPECT_FALSE(plugin.execute());
}

TEST(MissingHostEntry, ShowLogTab) {
    const Lifetime l = live("without-ztShowLogTab");
    EXPECT_TRUE(l.started);
    EXPECT_TRUE(l.voiWritten);
    EXPECT_EQ(l.log.front(), " ");
}

TEST(MissingHostEntry, LogTextWorksSilently) {
    const Lifetime l = live("without-ztLogText");
    EXPECT_TRUE(l.started);
    EXPECT_TRUE(l.voiWritten);
    EXPECT_EQ(l.loads, 1);
    EXPECT_TRUE(l.log.empty());
    EXPECT_TRUE(l.listSaved);
}

TEST(MissingHostEntry, MessageBoxIsSkipped) {
    const Lifetime l = live("without-ztMessageBox");
    EXPECT_TRUE(l.started);
    EXPECT_TRUE(l.voiWritten);
    EXPECT_TRUE(l.boxes.empty());
}

TEST(MissingHostEntry, YesNoCountsAsNo) {
    // The default header is in TAL space, so no question is asked and all goes on.
    const Lifetime l = live("without-ztYesNoMessageBox");
    EXPECT_TRUE(l.startResult);
    EXPECT_TRUE(l.voiWritten);
}

TEST(MissingHostEntry, OpenDialogCountsAsCancelled) {
    const Lifetime l = live("without-ztGetOpenFileName");
    EXPECT_TRUE(has(l.log, "Plugin>  Read 0 lines in "));
    EXPECT_EQ(l.allText, "");
}

TEST(MissingHostEntry, SaveDialogCountsAsCancelled) {
    const Lifetime l = live("without-ztGetSaveFileName");
    EXPECT_FALSE(l.listSaved);
    EXPECT_TRUE(has(l.log, "Plugin>  Error while writing *.txt file."));
    EXPECT_EQ(l.boxes, Lines{"Error saving file"});
}

TEST(MissingHostEntry, DocumentTypeMeansNoVmr) {
    const Lifetime l = live("without-ztGetDocumentType");
    EXPECT_FALSE(l.started);
    EXPECT_EQ(l.boxes, Lines{"The currently active document is not a VMR document."});
}

TEST(MissingHostEntry, DocumentIdMeansNoDocument) {
    const Lifetime l = live("without-ztGetIDOfCurrentDocument");
    EXPECT_FALSE(l.started);
    EXPECT_EQ(l.boxes, Lines{"No current document available."});
}

TEST(MissingHostEntry, MainHeaderRefusesTheRun) {
    const Lifetime l = live("without-ztGetMainHeaderOfCurrentVMR");
    EXPECT_TRUE(l.startResult);
    EXPECT_FALSE(l.voiWritten);
    EXPECT_EQ(l.boxes, Lines{"The host cannot provide the header of the current VMR document. "
                             "No VOI file was written."});
    // The other commands do not need the header.
    EXPECT_EQ(l.cleanedText, kCleaned);
}

TEST(MissingHostEntry, LoadVoisIsSkipped) {
    const Lifetime l = live("without-ztLoadVOIs");
    EXPECT_TRUE(l.voiWritten);
    EXPECT_EQ(l.loads, 0);
}

TEST(MissingHostEntry, StringParametersReadAsEmpty) {
    const Lifetime l = live("without-ztGetStringParameter");
    EXPECT_TRUE(l.started);
    // Every command arrives as the empty command.
    EXPECT_EQ(std::count(l.log.begin(), l.log.end(), "Plugin>  Received unknown command: \"\"."),
              4);
    EXPECT_FALSE(l.voiWritten);
}

TEST(MissingHostEntry, IntParametersReadAsZero) {
    // Dialog mode, no load; colours 0.
    const Lifetime l = live("without-ztGetIntParameter");
    EXPECT_TRUE(l.voiWritten);
    EXPECT_EQ(l.loads, 0);
}

TEST(MissingHostEntry, FloatParametersReadAsZero) {
    const Lifetime l = live("without-ztGetFloatParameter");
    EXPECT_TRUE(has(l.log, "Plugin>  Added VOI at TAL (0.0, 0.0, 0.0) with 0.0 mm radius"));
    EXPECT_TRUE(l.voiWritten);
}

TEST(MissingHostEntry, SetStringParameterLeavesTheDialogAlone) {
    const Lifetime l = live("without-ztSetStringParameter");
    EXPECT_EQ(l.cleanedText, "12,-20,5,8,V,1,2,3");
    EXPECT_EQ(l.allText, "");
    EXPECT_TRUE(has(l.log, "Plugin>  1 valid lines left after cleaning"));
}

}  // namespace
