#include "common/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "tests/test_files.h"

namespace {

mode_t permissionsOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

bool writeWhole(const std::string& path, const std::string& text) {
    glomera::AtomicFile out;
    if (!out.open(path)) return false;
    out.append(text.data(), text.size());
    return out.commit();
}

TEST(AtomicFile, ReplacedFileKeepsItsPermissions) {
    TempFolder folder;
    const std::string path = folder.file("list.txt");
    writeFile(path, "old");
    for (mode_t mode : {0600, 0640, 0755}) {
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(writeWhole(path, "new " + std::to_string(mode)));
        EXPECT_EQ(permissionsOf(path), mode);
        EXPECT_EQ(readFile(path), "new " + std::to_string(mode));
    }
    EXPECT_EQ(folder.listing(), "list.txt");
}

TEST(AtomicFile, NewFileTakesTheUmask) {
    TempFolder folder;
    const mode_t previous = ::umask(027);
    const bool written = writeWhole(folder.file("fresh.txt"), "x");
    ::umask(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(permissionsOf(folder.file("fresh.txt")), 0640);
}

TEST(AtomicFile, AbandonedWriteLeavesTheEarlierFileAndNoTemporary) {
    TempFolder folder;
    const std::string path = folder.file("a.voi");
    writeFile(path, "earlier");
    {
        glomera::AtomicFile out;
        ASSERT_TRUE(out.open(path));
        out.append("partial", 7);
    }
    EXPECT_EQ(readFile(path), "earlier");
    EXPECT_EQ(folder.listing(), "a.voi");
}

// A pipe, or a link to one as /dev/stdout is, is written into and stays what it was:
// renaming over it would put a regular file in its place (over /dev/null, for root).
TEST(AtomicFile, APipeOrALinkToOneIsWrittenIntoNotReplaced) {
    for (const bool throughLink : {false, true}) {
        SCOPED_TRACE(throughLink ? "a link to a pipe" : "a pipe");
        TempFolder folder;
        const std::string pipe = folder.file("pipe");
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        const std::string target = throughLink ? folder.file("link") : pipe;
        if (throughLink) {
            ASSERT_EQ(::symlink(pipe.c_str(), target.c_str()), 0);
        }
        // The reading end, open before the write so that neither side waits for the other.
        const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        const std::string text = "through the pipe\n";
        EXPECT_TRUE(writeWhole(target, text));
        char received[64] = {};
        EXPECT_EQ(::read(reader, received, sizeof received), static_cast<ssize_t>(text.size()));
        ::close(reader);
        EXPECT_EQ(std::string(received), text);
        struct stat status {};
        ASSERT_EQ(::lstat(target.c_str(), &status), 0);
        EXPECT_TRUE(throughLink ? S_ISLNK(status.st_mode) : S_ISFIFO(status.st_mode));
        EXPECT_EQ(folder.listing(), throughLink ? "link pipe" : "pipe");
    }
}

TEST(AtomicFile, StaleTemporariesOfGoneWritersGoAndNothingElse) {
    TempFolder folder;
    // A process that has ended: its id names no process any more.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), alive = std::to_string(getpid());
    const char* staleNames[] = {".tmp", ".tmp.nii.gz"};
    for (const char* suffix : staleNames)
        writeFile(folder.file(".glomera-" + dead + "-4" + suffix), "x");
    const std::string kept[] = {".glomera-" + alive + "-1.tmp",  // a running writer
                                ".glomera-" + dead + "-x.tmp",   // not a name we make
                                ".glomera-" + dead + "-2.txt", ".glomera--2.tmp", "notes.txt"};
    for (const std::string& name : kept) writeFile(folder.file(name), "x");
    ASSERT_EQ(::mkdir(folder.file(".glomera-" + dead + "-9.tmp").c_str(), 0755), 0);
    EXPECT_EQ(glomera::AtomicFile::removeStaleTemporaries(folder.file("target.voi")), 2);
    for (const std::string& name : kept) EXPECT_TRUE(fileExists(folder.file(name))) << name;
    EXPECT_TRUE(fileExists(folder.file(".glomera-" + dead + "-9.tmp")));
    // Opening a new write does the same.
    writeFile(folder.file(".glomera-" + dead + "-5.tmp"), "x");
    ASSERT_TRUE(writeWhole(folder.file("target.voi"), "whole"));
    EXPECT_FALSE(fileExists(folder.file(".glomera-" + dead + "-5.tmp")));
}

// Text written through reserve() and advance() in pieces of every size, mixed with appends,
// arrives whole and in order however the buffer is cut into the blocks handed to the system
// (whole pages, with the rest of a page carried over).
TEST(AtomicFile, PiecesOfEverySizeArriveWholeAndInOrder) {
    TempFolder folder;
    const std::string path = folder.file("pieces.txt");
    glomera::AtomicFile out;
    ASSERT_TRUE(out.open(path));
    std::string expected;
    unsigned state = 12345;
    for (int piece = 0; expected.size() < 3 * glomera::AtomicFile::kBufferSize; ++piece) {
        state = state * 1103515245u + 12345u;
        const std::size_t size = 1 + (state >> 8) % 70000;
        std::string text(size, '\0');
        for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + (piece + i) % 26);
        if (piece % 3 == 0) {
            out.append(text.data(), text.size());
        } else {
            // Room for more than is written, as the voxel writer asks for.
            char* at = out.reserve(size + 5000);
            std::copy(text.begin(), text.end(), at);
            out.advance(size);
        }
        expected += text;
    }
    ASSERT_TRUE(out.commit());
    EXPECT_TRUE(readFile(path) == expected) << "the file differs from what was written";
}

}  // namespace
