#include "coordlist/text_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "host/host_api.h"
#include "host/host_operations.h"
#include "tests/in_process_host.h"
#include "tests/test_files.h"

namespace {

using glomera::host::kTextCapacity;

class TextFilesTest : public testing::Test {
  protected:
    InProcessHost host{"zt"};
    TempFolder folder;
    std::string path = folder.file("list.txt");

    void SetUp() override { ASSERT_TRUE(glomera::host::bindHostApi()); }

    // Reads the file, returning the text; count receives the line count.
    std::string readBack(const std::string& bytes, std::int32_t& count) {
        writeFile(path, bytes);
        std::vector<char> text(kTextCapacity, '#');
        count = glomera::readTextFile(path.c_str(), text.data());
        return text.data();
    }

    const std::deque<std::string>& log() const { return host.session()->logLines; }
};

TEST_F(TextFilesTest, ReadsLinesJoinedByLineFeeds) {
    struct Case {
        std::string bytes;
        std::int32_t lines;
        std::string text;
    } cases[] = {
        {"a\nb\n", 2, "a\nb"},
        {"a\r\nb\r\n", 2, "a\nb"},
        {"a\n\nb", 3, "a\n\nb"},
        {"\n", 1, ""},
        {"", 0, ""},
        {"a\rb\r\r\n", 1, "a\rb\r"},                  // only a CR right before LF is a line end
        {"last\r", 1, "last\r"},                      // a CR at the very end stays
        {std::string("ab\0cd\nef", 8), 2, "ab\nef"},  // a zero byte ends the line's text
        {std::string("\0\n", 2), 1, ""},
    };
    for (const Case& c : cases) {
        std::int32_t count = -1;
        EXPECT_EQ(readBack(c.bytes, count), c.text);
        EXPECT_EQ(count, c.lines);
    }
    EXPECT_TRUE(log().empty());
}

TEST_F(TextFilesTest, UnreadableFileGivesNoLines) {
    std::vector<char> text(kTextCapacity, '#');
    EXPECT_EQ(glomera::readTextFile(folder.file("missing.txt").c_str(), text.data()), 0);
    EXPECT_STREQ(text.data(), "");
    EXPECT_EQ(glomera::readTextFile("", text.data()), 0);
    EXPECT_EQ(glomera::readTextFile(folder.path().c_str(), text.data()), 0);
}

TEST_F(TextFilesTest, FileWithoutReadPermissionGivesNoLines) {
    writeFile(path, "a\nb\n");
    chmod(path.c_str(), 0200);
    chmod(folder.path().c_str(), 0755);
    const int lines = runWithoutPrivileges(
        [](void* p) {
            std::vector<char> text(kTextCapacity, '#');
            return static_cast<int>(
                glomera::readTextFile(static_cast<std::string*>(p)->c_str(), text.data()));
        },
        &path);
    EXPECT_EQ(lines, 0);
}

TEST_F(TextFilesTest, SaveIntoUnwritableFolderFails) {
    writeFile(path, "earlier");
    chmod(folder.path().c_str(), 0555);
    const int saved = runWithoutPrivileges(
        [](void* p) {
            return glomera::saveTextFile(static_cast<std::string*>(p)->c_str(), "new") ? 1 : 0;
        },
        &path);
    chmod(folder.path().c_str(), 0700);
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(readFile(path), "earlier");
    EXPECT_EQ(folder.listing(), "list.txt");
}

TEST_F(TextFilesTest, FileTooLargeIsCutAfterTheLastWholeLine) {
    // 20,000 lines of "1234" joined need 99,999 characters: exactly full.
    std::string bytes;
    for (int i = 0; i < 20000; ++i) bytes += "1234\r\n";
    std::int32_t count = 0;
    std::string text = readBack(bytes, count);
    EXPECT_EQ(count, 20000);
    EXPECT_EQ(text.size(), 99999u);
    EXPECT_TRUE(log().empty());

    bytes += "5\n";
    text = readBack(bytes, count);
    EXPECT_EQ(count, 20000);
    EXPECT_EQ(text.size(), 99999u);
    ASSERT_EQ(log().size(), 1u);
    EXPECT_EQ(log().back(),
              "Plugin>  The file does not fit the text box: only its first 20000 lines were read.");

    // One line longer than the whole buffer.
    text = readBack("ok\n" + std::string(300000, 'x') + "\nmore\n", count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(text, "ok");
}

TEST_F(TextFilesTest, SavesLineFeedsAsCrLf) {
    ASSERT_TRUE(glomera::saveTextFile(path.c_str(), "a\nb"));
    EXPECT_EQ(readFile(path), "a\r\nb");
    ASSERT_TRUE(glomera::saveTextFile(path.c_str(), "x\r\ny\n"));
    EXPECT_EQ(readFile(path), "x\r\r\ny\r\n");
    ASSERT_TRUE(glomera::saveTextFile(path.c_str(), ""));
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(folder.listing(), "list.txt");
}

TEST_F(TextFilesTest, SaveAndReadRoundTrip) {
    const std::string text = "   12.0   -20.5\n\n  last line";
    ASSERT_TRUE(glomera::saveTextFile(path.c_str(), text.c_str()));
    std::vector<char> back(kTextCapacity);
    EXPECT_EQ(glomera::readTextFile(path.c_str(), back.data()), 3);
    EXPECT_EQ(std::string(back.data()), text);
}

TEST_F(TextFilesTest, FailedSaveKeepsTheEarlierFile) {
    writeFile(path, "earlier");
    EXPECT_FALSE(glomera::saveTextFile(folder.file("none/list.txt").c_str(), "x"));
    EXPECT_FALSE(glomera::saveTextFile("", "x"));
    EXPECT_FALSE(glomera::saveTextFile(folder.path().c_str(), "x"));
    std::string big(5000000, 'x');
    {
        FileSizeLimit limit(1 << 20);
        EXPECT_FALSE(glomera::saveTextFile(path.c_str(), big.c_str()));
    }
    EXPECT_EQ(readFile(path), "earlier");
    EXPECT_EQ(folder.listing(), "list.txt");
    ASSERT_EQ(log().size(), 4u);
    for (const auto& line : log()) EXPECT_EQ(line, "Plugin>  Error while writing *.txt file.");
}

}  // namespace
