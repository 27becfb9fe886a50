// A host that lacks one of the entries the plug-in calls: the plug-in never calls through
// the missing entry, does without it, and finishes every command.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "plugin/glomera.h"
#include "tests/in_process_host.h"
#include "tests/test_files.h"

namespace {

using glomera::host::HostEntry;
using Facts = std::set<std::string>;
using Situation = std::function<void(headless::HostSession&)>;

// What a plug-in lifetime can do, as facts; log lines, message boxes and the dialog's two
// texts are facts too ("log: ...", "box: ...", "VOItext: ...", "AllText: ...").
const std::string kStarted = "started";
const std::string kRan = "Start returned true";
const std::string kWritten = "VOI file written";
const std::string kLoaded = "VOI file loaded";
const std::string kSaved = "list saved";
const std::string kLogTabShown = "log tab shown";
const std::string kCleaned =
    "VOItext:    12.0   -20.0     5.0     8.0                         V       1    2    3";
const std::string kRead = "AllText: a\nb";

struct Lifetime {
    Facts facts;
    std::vector<std::string> unbound;  // the used entries the plug-in found no host function for
};

// One plug-in lifetime in the host of `hostFolder`: start-up, a sphere from the dialog, a
// clean-up, reading and saving a list, destruction; `situation` changes the host first.
Lifetime live(const std::string& hostFolder, const Situation& situation) {
    TempFolder folder;
    writeFile(folder.file("list.txt"), "a\r\nb\r\n");
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
    if (situation) situation(s);
    Lifetime result;
    Facts& facts = result.facts;
    {
        Glomera plugin;
        if (plugin.initPlugin()) facts.insert(kStarted);
        for (const HostEntry entry : glomera::host::kUsedHostEntries) {
            if (!glomera::host::isBound(entry))
                result.unbound.push_back(glomera::host::kHostEntryNames[entry]);
        }
        if (facts.count(kStarted)) {
            s.parameters["Command"] = "Start";
            if (plugin.execute()) facts.insert(kRan);
            for (const char* command : {"CleanUpText", "ReadTextFile", "SaveTextFile"}) {
                s.parameters["Command"] = command;
                plugin.execute();
            }
        }
    }
    if (fileExists(folder.file("out.voi"))) facts.insert(kWritten);
    if (fileExists(folder.file("saved.txt"))) facts.insert(kSaved);
    if (s.loads > 0) facts.insert(kLoaded);
    if (s.logTabShows > 0) facts.insert(kLogTabShown);
    for (const std::string& line : s.logLines) facts.insert("log: " + line);
    for (const std::string& text : s.messageBoxTexts) facts.insert("box: " + text);
    facts.insert("VOItext: " + s.parameters["VOItext"]);
    facts.insert("AllText: " + s.parameters["AllText"]);
    return result;
}

void notInTalAnsweredYes(headless::HostSession& s) {
    s.header.referenceSpace = 0;
    s.yesNoAnswer = 1;
}

void saveCancelled(headless::HostSession& s) { s.saveFileAnswers.clear(); }

TEST(MissingHostEntry, CompleteHostRunsEveryCommand) {
    const Lifetime l = live("zt", nullptr);
    EXPECT_TRUE(l.unbound.empty());
    for (const std::string& fact :
         {kStarted, kRan, kWritten, kLoaded, kSaved, kLogTabShown, kCleaned, kRead,
          std::string("log: Plugin>  Glomera Plugin finished!")}) {
        EXPECT_EQ(l.facts.count(fact), 1u) << fact;
    }
    for (const std::string& fact : l.facts) EXPECT_NE(fact.rfind("box: ", 0), 0u) << fact;
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

// Each row: the missing entry, the situation that makes the plug-in call it, what must still
// happen, and what must not. Every "must not" is first seen to happen with the complete host
// in the same situation, so that the row shows the plug-in doing without, not a lifetime
// that never needed the entry.
TEST(MissingHostEntry, EachMissingEntryIsDoneWithout) {
    using namespace glomera::host;
    const struct {
        HostEntry entry;
        Situation situation;
        Facts must;
        Facts mustNot;
    } rows[] = {
        {kShowLogTab,
         nullptr,
         {kStarted, kWritten, "log: Plugin>  Running Glomera Plugin..."},
         {kLogTabShown}},
        {kLogText,
         nullptr,
         {kStarted, kWritten, kLoaded, kSaved, kCleaned, kRead},
         {"log: Plugin>  Running Glomera Plugin...", "log: Plugin>  Glomera Plugin finished!"}},
        {kMessageBox,
         saveCancelled,
         {kStarted, kWritten, "log: Plugin>  Error while writing *.txt file."},
         {"box: Error saving file"}},
        // The question counts as No: the run ends without a file; the other commands go on.
        {kYesNoMessageBox,
         notInTalAnsweredYes,
         {kStarted, kCleaned, kRead, kSaved},
         {kRan, kWritten,
          "box: VMR properties don't indicate TAL space. Do you want to continue?"}},
        {kGetOpenFileName,
         nullptr,
         {kWritten, "log: Plugin>  Read 0 lines in ", "AllText: "},
         {kRead}},
        {kGetSaveFileName,
         nullptr,
         {kWritten, "log: Plugin>  Error while writing *.txt file.", "box: Error saving file"},
         {kSaved}},
        {kGetDocumentType,
         nullptr,
         {"box: The currently active document is not a VMR document."},
         {kStarted, kWritten}},
        {kGetIdOfCurrentDocument,
         nullptr,
         {"box: No current document available."},
         {kStarted, kWritten}},
        // The other commands do not need the header.
        {kGetMainHeaderOfCurrentVmr,
         nullptr,
         {kRan, kCleaned, kSaved,
          "box: The host cannot provide the header of the current VMR document. No VOI file "
          "was written."},
         {kWritten}},
        {kLoadVois, nullptr, {kRan, kWritten, kSaved}, {kLoaded}},
        // Every command arrives as the empty command.
        {kGetStringParameter,
         nullptr,
         {kStarted, "log: Plugin>  Received unknown command: \"\"."},
         {kWritten, kCleaned, kRead, kSaved}},
        // Dialog mode and no load.
        {kGetIntParameter, nullptr, {kRan, kWritten, kCleaned}, {kLoaded}},
        {kGetFloatParameter,
         nullptr,
         {kWritten, "log: Plugin>  Added VOI at TAL (0.0, 0.0, 0.0) with 0.0 mm radius"},
         {"log: Plugin>  Added VOI at TAL (1.0, 2.0, 3.0) with 1.0 mm radius"}},
        {kSetStringParameter,
         nullptr,
         {"log: Plugin>  1 valid lines left after cleaning", "VOItext: 12,-20,5,8,V,1,2,3",
          "AllText: "},
         {kCleaned, kRead}},
    };
    ASSERT_EQ(std::size(rows), std::size(kUsedHostEntries) - 1);  // all but the version
    for (const auto& row : rows) {
        const std::string name = kHostEntryNames[row.entry];
        const Lifetime complete = live("zt", row.situation);
        const Lifetime without = live("without-" + name, row.situation);
        EXPECT_EQ(without.unbound, std::vector<std::string>{name});
        for (const std::string& fact : row.must)
            EXPECT_EQ(without.facts.count(fact), 1u) << "without " << name << ", still: " << fact;
        for (const std::string& fact : row.mustNot) {
            EXPECT_EQ(complete.facts.count(fact), 1u) << "with " << name << ": " << fact;
            EXPECT_EQ(without.facts.count(fact), 0u) << "without " << name << ", not: " << fact;
        }
    }
}

}  // namespace
