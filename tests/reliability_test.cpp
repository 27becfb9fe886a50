// What happens to files and to memory when runs are killed, race one another, repeat for a
// long time or run short of memory.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/atomic_file.h"
#include "plugin/glomera.h"
#include "tests/in_process_host.h"
#include "tests/support/voi_file_loading.h"
#include "tests/test_files.h"
#include "voi/voi_reader.h"

extern "C" HLZTPluginInterface* createPlugin();

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// A list of `spheres` spheres of `radius` mm spread over the accepted box; `variant` moves
// them, so that two variants make different files.
std::string sphereList(int spheres, int radius, int variant) {
    std::string list;
    for (int i = 0; i < spheres; ++i) {
        const int x = -60 + (i * 37 + variant * 5) % 121;
        const int y = -95 + (i * 53 + variant * 7) % 161;
        const int z = -35 + (i * 29 + variant * 3) % 106;
        list += std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + " " +
                std::to_string(radius) + " S" + std::to_string(i) + " 200 100 " +
                std::to_string(variant) + "\n";
    }
    return list;
}

// Starts the host stand-in on a list, its output silenced, optionally under a limit of its
// address space; returns its process id.
pid_t startHost(const std::string& folder, const std::string& list, const std::string& output,
                rlim_t addressSpace = RLIM_INFINITY) {
    const pid_t child = fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0) _exit(126);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (addressSpace != RLIM_INFINITY) {
            const rlimit limit{addressSpace, addressSpace};
            setrlimit(RLIMIT_AS, &limit);
        }
        execl(HEADLESS_HOST, HEADLESS_HOST, "--quiet", "--no-load", "--raw-list", list.c_str(),
              "-o", output.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

int waitFor(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

std::vector<std::string> ourTemporaries(const std::string& folder) {
    std::vector<std::string> found;
    DIR* directory = opendir(folder.c_str());
    while (const dirent* entry = directory ? readdir(directory) : nullptr) {
        if (std::string(entry->d_name).rfind(".glomera-", 0) == 0) found.push_back(entry->d_name);
    }
    if (directory) closedir(directory);
    return found;
}

// Whether `child` has ended, without reaping it: its process id stays its own until waitFor.
bool hasEnded(pid_t child) {
    siginfo_t info{};
    return waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child;
}

// Waits until the writer `child` has created its temporary file in `folder`, that is until
// its write has begun; false when it ended first (a write too quick to be seen).
bool waitForItsTemporary(const std::string& folder, pid_t child) {
    const std::string prefix = ".glomera-" + std::to_string(child) + "-";
    while (!hasEnded(child)) {
        for (const std::string& name : ourTemporaries(folder)) {
            if (name.rfind(prefix, 0) == 0) return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Crash, AKilledWriteLeavesTheEarlierFileOrTheNewOneAndItsTemporaryGoesLater) {
    TempFolder folder;
    // Two lists whose files differ; about 25 MB each.
    writeFile(folder.file("a.txt"), sphereList(160, 15, 1));
    writeFile(folder.file("b.txt"), sphereList(160, 15, 2));
    std::string reference[2];
    double seconds = 0;       // a whole run
    double writeSeconds = 0;  // from the temporary's creation to the end of the run
    for (int v = 0; v < 2; ++v) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = startHost(folder.path(), v ? "b.txt" : "a.txt", "ref.voi");
        ASSERT_TRUE(waitForItsTemporary(folder.path(), child)) << "the write was not seen";
        const auto writing = std::chrono::steady_clock::now();
        const int status = waitFor(child);
        seconds = std::max(seconds, secondsSince(start));
        writeSeconds = std::max(writeSeconds, secondsSince(writing));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        reference[v] = readFile(folder.file("ref.voi"));
        EXPECT_NO_THROW(glomera::loadVoiFile(folder.file("ref.voi")));
    }
    ASSERT_NE(reference[0], reference[1]);
    std::remove(folder.file("ref.voi").c_str());

    // A third of the kills come at any moment of a run, before its write or after it as
    // well; the others are aimed at the write: they wait for the temporary file to appear,
    // then kill at once or at a random moment of the write's usual length.
    std::mt19937 random(2026);
    std::uniform_real_distribution<double> moment(0.2 * seconds, 1.1 * seconds);
    std::uniform_real_distribution<double> intoTheWrite(0.0, writeSeconds);
    std::string previous;  // the target's bytes, "" while it does not exist
    int killsInTheWrite = 0;
    constexpr int kKills = 100;
    for (int i = 0; i < kKills; ++i) {
        const int v = i % 2;
        const pid_t child = startHost(folder.path(), v ? "b.txt" : "a.txt", "out.voi");
        if (i % 3 == 0) {
            std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
        } else if (waitForItsTemporary(folder.path(), child) && i % 3 == 2) {
            std::this_thread::sleep_for(std::chrono::duration<double>(intoTheWrite(random)));
        }
        // Stopped first, so that what the folder holds is what the kill interrupts: a
        // temporary file still there means the kill lands inside the write.
        kill(child, SIGSTOP);
        siginfo_t info{};
        waitid(P_PID, child, &info, WSTOPPED | WEXITED | WNOWAIT);
        const bool inTheWrite =
            info.si_code == CLD_STOPPED && !ourTemporaries(folder.path()).empty();
        kill(child, SIGKILL);
        waitFor(child);
        const std::string now =
            fileExists(folder.file("out.voi")) ? readFile(folder.file("out.voi")) : "";
        // Never a mix or a part: what was there before, or the whole new file; and a write
        // killed before its end leaves the earlier file untouched.
        ASSERT_TRUE(now == previous || now == reference[v]) << "after kill " << i;
        if (inTheWrite) {
            ASSERT_TRUE(now == previous) << "kill " << i << " in the write replaced the file";
            ++killsInTheWrite;
        }
        previous = now;
        // A later write removes what the killed one left behind.
        if (!ourTemporaries(folder.path()).empty()) {
            glomera::AtomicFile::removeStaleTemporaries(folder.file("out.voi"));
            ASSERT_TRUE(ourTemporaries(folder.path()).empty());
        }
    }
    // A third of the kills are stopped as soon as the temporary appears, which a write of
    // 25 MB outlasts whatever the machine's load; they alone prove the point.
    EXPECT_GT(killsInTheWrite, 0) << "of " << kKills;
    std::printf("[ kills    ] %d kills, %d of them during the write of the temporary file\n",
                kKills, killsInTheWrite);
    EXPECT_NO_THROW(glomera::loadVoiFile(folder.file("out.voi")));

    // A killed writer's temporary goes with the next write into the folder; nothing else does.
    const pid_t dead = startHost(folder.path(), "a.txt", "out.voi");
    ASSERT_TRUE(waitForItsTemporary(folder.path(), dead));
    kill(dead, SIGKILL);
    waitFor(dead);
    ASSERT_EQ(ourTemporaries(folder.path()).size(), 1u);
    const std::string mine = ".glomera-" + std::to_string(getpid()) + "-7.tmp";
    for (const char* name : {".glomera-notours.tmp", ".glomera-12-x.tmp", "keep.txt"}) {
        writeFile(folder.file(name), "x");
    }
    writeFile(folder.file(mine), "a write of a running process");
    writeFile(folder.file(".glomera-" + std::to_string(dead) + "-3.tmp.nii.gz"), "left by a kill");
    const int status = waitFor(startHost(folder.path(), "b.txt", "out.voi"));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile(folder.file("out.voi")), reference[1]);
    std::vector<std::string> left = ourTemporaries(folder.path());
    std::sort(left.begin(), left.end());
    std::vector<std::string> kept = {".glomera-12-x.tmp", ".glomera-notours.tmp", mine};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(left, kept);
    EXPECT_TRUE(fileExists(folder.file("keep.txt")));
}

TEST(Concurrency, EveryReadBetweenWritersFindsOneWholeFile) {
    TempFolder folder;
    constexpr int kWriters = 3, kWrites = 12;
    std::vector<std::string> reference;
    for (int w = 0; w < kWriters; ++w) {
        const std::string list = "l" + std::to_string(w) + ".txt";
        writeFile(folder.file(list), sphereList(60, 10, w));
        waitFor(startHost(folder.path(), list, "ref.voi"));
        reference.push_back(readFile(folder.file("ref.voi")));
    }
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t writer = fork();
        if (writer == 0) {
            for (int n = 0; n < kWrites; ++n) {
                const int status = waitFor(
                    startHost(folder.path(), "l" + std::to_string(w) + ".txt", "shared.voi"));
                if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) _exit(1);
            }
            _exit(0);
        }
        writers.push_back(writer);
    }
    int reads = 0;
    bool running = true;
    while (running) {
        running = false;
        for (pid_t writer : writers) running = running || waitpid(writer, nullptr, WNOHANG) == 0;
        std::ifstream in(folder.file("shared.voi"), std::ios::binary);
        if (!in) continue;
        std::ostringstream bytes;
        bytes << in.rdbuf();
        const std::string now = bytes.str();
        ASSERT_TRUE(std::find(reference.begin(), reference.end(), now) != reference.end())
            << "read " << reads << " found " << now.size() << " bytes that are no writer's file";
        ++reads;
    }
    for (pid_t writer : writers) waitpid(writer, nullptr, 0);
    // The writers are slower under the sanitizers, the reads too; a few reads prove the point.
    EXPECT_GT(reads, 2);
    std::printf("[ races    ] %d writers, %d writes each, %d reads of whole files\n", kWriters,
                kWrites, reads);
    EXPECT_TRUE(ourTemporaries(folder.path()).empty());
}

long residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int openDescriptors() {
    int count = 0;
    DIR* directory = opendir("/proc/self/fd");
    while (readdir(directory) != nullptr) ++count;
    closedir(directory);
    return count;
}

TEST(Soak, TenThousandLifetimesKeepMemoryAndDescriptorsFlat) {
    TempFolder folder;
    InProcessHost host("zt");
    headless::HostSession& session = *host.session();
    session.keepLog = false;
    writeFile(folder.file("list.txt"), "10 10 10 3 A 255 0 0\n-20 -30 5 2 B 0 255 0\n");
    constexpr int kLifetimes = 10000;
    long residentAfterWarmUp = 0;
    int descriptorsAfterWarmUp = 0;
    for (int i = 0; i < kLifetimes; ++i) {
        std::unique_ptr<HLZTPluginInterface> plugin(createPlugin());
        ASSERT_TRUE(plugin->initPlugin());
        auto& p = session.parameters;
        // A sphere from the dialog, written and loaded back; a list read, cleaned and run.
        p["Command"] = "Start";
        p["listVOIinfoFrom"] = "0";
        p["tX"] = "1.5";
        p["tY"] = "-2";
        p["tZ"] = "3";
        p["Radius"] = "2";
        p["Name_of_VOI"] = "Soak";
        p["cR"] = p["cG"] = p["cB"] = "9";
        p["FileName"] = folder.file("soak");
        p["LoadInHL"] = "1";
        ASSERT_TRUE(plugin->execute());
        session.openFileAnswers.push_back(folder.file("list.txt"));
        p["Command"] = "ReadTextFile";
        ASSERT_TRUE(plugin->execute());
        p["VOItext"] = p["AllText"];
        p["Command"] = "CleanUpText";
        ASSERT_TRUE(plugin->execute());
        p["listVOIinfoFrom"] = "1";
        p["Command"] = "Start";
        ASSERT_TRUE(plugin->execute());
        plugin.reset();
        if (i == 999) {
            residentAfterWarmUp = residentKilobytes();
            descriptorsAfterWarmUp = openDescriptors();
        }
    }
    EXPECT_EQ(session.failedLoads, 0);
    EXPECT_EQ(session.loads, 2 * kLifetimes);
    EXPECT_EQ(session.messageBoxes, 0);
    EXPECT_EQ(openDescriptors(), descriptorsAfterWarmUp);
    // Under AddressSanitizer freed memory waits in quarantine; the bound holds elsewhere.
    if (!kSanitized) {
        EXPECT_LT(residentKilobytes() - residentAfterWarmUp, 2048);
    }
    std::printf(
        "[ soak     ] %d lifetimes: resident %ld kB after 1000, %ld kB after %d; %d open "
        "descriptors\n",
        kLifetimes, residentAfterWarmUp, residentKilobytes(), kLifetimes, openDescriptors());
}

TEST(MemoryLimit, ListsRunInLittleMemoryAndASphereTooLargeIsRefusedCleanly) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers reserve more address space than any limit";
    TempFolder folder;
    const rlim_t limit = rlim_t{64} << 20;
    // 200 spheres of radius 20 hold 80 MB of voxels. The run holds one sphere's at a time,
    // so under a 64 MB limit of its address space it writes the same file as without.
    writeFile(folder.file("list.txt"), sphereList(200, 20, 0));
    ASSERT_EQ(WEXITSTATUS(waitFor(startHost(folder.path(), "list.txt", "free.voi"))), 0);
    const int limited = waitFor(startHost(folder.path(), "list.txt", "limited.voi", limit));
    ASSERT_TRUE(WIFEXITED(limited)) << "the host died of a signal";
    EXPECT_EQ(WEXITSTATUS(limited), 0);
    const std::string written = readFile(folder.file("free.voi"));
    EXPECT_GT(written.size(), limit);  // the file alone would not fit
    EXPECT_TRUE(readFile(folder.file("limited.voi")) == written) << "the files differ";

    // One sphere of radius 500 from the dialog needs its 6 GB of voxels at once.
    writeFile(folder.file("big.voi"), "an earlier file");
    const pid_t child = fork();
    if (child == 0) {
        const rlimit cap{limit, limit};
        setrlimit(RLIMIT_AS, &cap);
        const std::string out = folder.file("host.out");
        const int file = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(file, 2);
        ::dup2(file, 1);
        execl(HEADLESS_HOST, HEADLESS_HOST, "--quiet", "--no-load", "--sphere", "0,0,0,500", "-o",
              folder.file("big.voi").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const int status = waitFor(child);
    ASSERT_TRUE(WIFEXITED(status)) << "the host died of a signal";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(readFile(folder.file("host.out")).find("[message box] Not enough memory"),
              std::string::npos)
        << readFile(folder.file("host.out"));
    EXPECT_EQ(readFile(folder.file("big.voi")), "an earlier file");
    EXPECT_TRUE(ourTemporaries(folder.path()).empty());

    // The toolbox, short of memory for a large file's outputs, says so and leaves nothing.
    writeFile(folder.file("mid.txt"), sphereList(400, 20, 0));
    ASSERT_EQ(WEXITSTATUS(waitFor(startHost(folder.path(), "mid.txt", "mid.voi"))), 0);
    const ProgramResult toolbox = runProgram(
        folder.path(), "/bin/sh",
        std::string("-c 'ulimit -v 120000; exec \"") + GLOMERA_VOI + "\" report mid.voi r.txt'");
    EXPECT_EQ(toolbox.status, 1);
    EXPECT_NE(toolbox.err.find("glomera-voi: "), std::string::npos);
    EXPECT_EQ(toolbox.err.find("Segmentation"), std::string::npos);
    EXPECT_FALSE(fileExists(folder.file("r.txt")));
    EXPECT_TRUE(ourTemporaries(folder.path()).empty());
}

}  // namespace
