// Times the whole run of the largest list through the headless host against copying the
// file it produces, and prints the ratio, the peak resident size and how the time grows
// with the list length and the radius. Runs are interleaved with their copies and the
// median of several is reported, so the ratios hold on a busy machine.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/workload.h"
#include "common/atomic_file.h"
#include "plugin/sphere_voxels.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Measured {
    double seconds = 0;
    long peakKilobytes = 0;
};

// Runs a program with its arguments, its standard error silenced, and waits for it.
Measured runProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Measured m;
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.peakKilobytes = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "workload_timer: %s failed\n", arguments[0].c_str());
        std::exit(1);
    }
    return m;
}

// Runs the host on the list; the output file is `output`. With `load` the host reads the
// file back strictly, as every job does by default.
Measured runHost(const std::string& host, const std::string& list, const std::string& output,
                 bool load = false) {
    std::vector<std::string> arguments = {host, "--quiet", "--raw-list", list, "--output", output};
    if (!load) arguments.insert(arguments.begin() + 1, "--no-load");
    return runProgram(arguments);
}

// Reads a file through, so that its pages are in the cache.
void warm(const std::string& path) {
    const int in = ::open(path.c_str(), O_RDONLY);
    std::unique_ptr<char[]> buffer(new char[1 << 20]);
    while (::read(in, buffer.get(), 1 << 20) > 0) {
    }
    ::close(in);
}

// A plain read/write loop into a new file on the same disk, from a file in the page cache,
// in the blocks the writer hands to the system: the least any program writing that file
// could cost.
double copyFile(const std::string& from, const std::string& to) {
    warm(from);
    constexpr std::size_t kBlock = glomera::AtomicFile::kBufferSize;
    const auto start = Clock::now();
    const int in = ::open(from.c_str(), O_RDONLY);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::unique_ptr<char[]> buffer(new char[kBlock]);
    for (ssize_t got; (got = ::read(in, buffer.get(), kBlock)) > 0;) {
        if (::write(out, buffer.get(), static_cast<std::size_t>(got)) != got) break;
    }
    ::close(in);
    ::close(out);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Untimed, before each measured step, so that every step starts from the same state:
// - every dirty page is written out, instead of the step paying for the pages the step before
//   it left behind;
// - memory enough for any step is touched and freed again. A virtual machine that reports
//   free memory to its host (as these do) gets it back only through a fault in the host on
//   first use, which can cost more than the step itself; whichever step happens to meet
//   such memory first would pay for it. Freed just now, the memory is the guest's own again
//   and is handed out before any it has reported.
void settle() {
    ::sync();
    constexpr std::size_t kTouched = std::size_t{1536} << 20;
    void* memory = ::mmap(nullptr, kTouched, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (memory != MAP_FAILED) ::munmap(memory, kTouched);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long long fileSize(const std::string& path) {
    struct stat s {};
    return ::stat(path.c_str(), &s) == 0 ? s.st_size : -1;
}

long long voxelCount(int lines, float radius) {
    long long total = 0;
    const glomera::VoiSet set = bench::makeVoiSet(lines, radius, "");
    for (const auto& voi : set.vois) total += voi.voxelCount;
    return total;
}

struct Row {
    int lines;
    float radius;
    double run;
    double copy;
    long peakKilobytes;
    long long bytes;
};

Row measure(const std::string& host, const std::string& folder, int lines, float radius,
            int repeats) {
    const std::string list = folder + "/list-" + std::to_string(lines) + "-" +
                             std::to_string(static_cast<int>(radius)) + ".txt";
    {
        std::FILE* f = std::fopen(list.c_str(), "w");
        const std::string text = bench::makeCoordinateList(lines, radius);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    const std::string output = folder + "/run.voi";
    const std::string copy = folder + "/copy.voi";
    std::vector<double> runs, copies;
    long peak = 0;
    for (int i = 0; i < repeats; ++i) {
        // Both the run and the copy make a new file: neither pays for deleting an old one.
        std::remove(output.c_str());
        settle();
        const Measured m = runHost(host, list, output);
        runs.push_back(m.seconds);
        peak = std::max(peak, m.peakKilobytes);
        settle();
        copies.push_back(copyFile(output, copy));
        std::remove(copy.c_str());
    }
    Row row{lines, radius, median(runs), median(copies), peak, fileSize(output)};
    std::remove(output.c_str());
    std::remove(list.c_str());
    return row;
}

}  // namespace

// The three ratios of a run on the largest list, each measured side by side in one loop:
// the run with its load-back against the run without, the toolbox's three outputs of its
// file (one command) against the run that wrote it, and the run against copying its file.
void largestRatios(const std::string& host, const std::string& folder, int repeats) {
    const std::string toolbox = host.substr(0, host.rfind('/')) + "/glomera-voi";
    const std::string list = folder + "/largest.txt";
    {
        std::FILE* f = std::fopen(list.c_str(), "w");
        const std::string text =
            bench::makeCoordinateList(bench::kLargestListLines, bench::kLargestRadius);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    const std::string output = folder + "/largest.voi";
    std::vector<double> run, load, copy, outputs, noAtlas, separate;
    long runPeak = 0, outputsPeak = 0;
    const std::vector<std::string> allThree = {
        toolbox, "outputs",         output,     "--nifti",         folder + "/o.nii.gz",
        "--png", folder + "/o.png", "--report", folder + "/o.txt", "-q"};
    for (int i = 0; i < repeats; ++i) {
        std::remove(output.c_str());
        settle();
        const Measured plain = runHost(host, list, output);
        run.push_back(plain.seconds);
        runPeak = std::max(runPeak, plain.peakKilobytes);
        settle();
        copy.push_back(copyFile(output, folder + "/copy.voi"));
        std::remove((folder + "/copy.voi").c_str());
        std::remove(output.c_str());
        settle();
        load.push_back(runHost(host, list, output, true).seconds);
        settle();
        // The three outputs from one command, as a user asks for them together.
        const Measured together = runProgram(allThree);
        outputs.push_back(together.seconds);
        outputsPeak = std::max(outputsPeak, together.peakKilobytes);
        std::vector<std::string> bare = allThree;
        bare.push_back("--no-atlas");
        noAtlas.push_back(runProgram(bare).seconds);
        // And from three commands, each reading the file anew.
        separate.push_back(
            runProgram({toolbox, "nifti", output, folder + "/o.nii.gz", "-q"}).seconds +
            runProgram({toolbox, "png", output, folder + "/o.png", "-q"}).seconds +
            runProgram({toolbox, "report", output, folder + "/o.txt", "-q"}).seconds);
    }
    std::printf(
        "Ratios on the largest list (%d lines of radius %.0f), medians of %d side by side:\n",
        bench::kLargestListLines, bench::kLargestRadius, repeats);
    std::printf("  run with load-back / run with --no-load:      %5.2f  (%.3f s / %.3f s)\n",
                median(load) / median(run), median(load), median(run));
    std::printf(
        "  nifti + png + report of its file / the run:   %5.2f  (%.3f s; peak %.0f MB "
        "against the run's %.0f MB)\n",
        median(outputs) / median(run), median(outputs), outputsPeak / 1024.0, runPeak / 1024.0);
    std::printf("    the same with the report's atlases off:     %5.2f  (%.3f s)\n",
                median(noAtlas) / median(run), median(noAtlas));
    std::printf("    the same as three commands:                 %5.2f  (%.3f s)\n",
                median(separate) / median(run), median(separate));
    std::printf("  run / copy of its file:                       %5.2f  (%.3f s / %.3f s)\n\n",
                median(run) / median(copy), median(run), median(copy));
    std::remove(output.c_str());
    std::remove(list.c_str());
    for (const char* name :
         {"/o.nii.gz", "/o.tsv", "/o_ColorLUT.txt", "/o_wb_labels.txt", "/o.png", "/o.txt"}) {
        std::remove((folder + name).c_str());
    }
}

int main(int argc, char** argv) {
    const std::string host = argc > 1 ? argv[1] : "build/bin/HelmoraZT.exe";
    const std::string folder = argc > 2 ? argv[2] : ".";
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 5;
    largestRatios(host, folder, repeats);
    // "ratios" stops here, for the spread of the ratios over several runs.
    if (argc > 4 && std::string(argv[4]) == "ratios") return 0;

    std::printf(
        "Workload 1: text-box \"Start\" on %d lines of radius %.0f through the headless "
        "host (median of %d)\n",
        bench::kLargestListLines, bench::kLargestRadius, repeats);
    const Row big = measure(host, folder, bench::kLargestListLines, bench::kLargestRadius, repeats);
    const long long voxels = voxelCount(bench::kLargestListLines, bench::kLargestRadius);
    const double arraysMb = voxels * 12.0 / (1 << 20);
    std::printf("  file:            %.1f MB, %lld voxels\n", big.bytes / 1048576.0, voxels);
    std::printf("  run:             %.3f s\n", big.run);
    std::printf("  copy of file:    %.3f s\n", big.copy);
    std::printf("  run / copy:      %.2f\n", big.run / big.copy);
    std::printf("  peak resident:   %.1f MB (voxel arrays %.1f MB + %.1f MB)\n",
                big.peakKilobytes / 1024.0, arraysMb, big.peakKilobytes / 1024.0 - arraysMb);

    std::printf("\nGrowth with the list length (radius 20):\n");
    std::printf("  %6s %10s %12s %10s\n", "lines", "run s", "ms per line", "run/copy");
    for (int lines : {10, 100, bench::kLargestListLines}) {
        const Row r = lines == bench::kLargestListLines
                          ? big
                          : measure(host, folder, lines, bench::kLargestRadius, repeats);
        std::printf("  %6d %10.3f %12.3f %10.2f\n", lines, r.run, 1000 * r.run / lines,
                    r.run / r.copy);
    }
    std::printf("\nGrowth with the radius (%d lines):\n", bench::kLargestListLines);
    std::printf("  %6s %10s %10s %10s\n", "radius", "file MB", "run s", "run/copy");
    for (float radius : {5.0f, 10.0f, 20.0f}) {
        const Row r = radius == bench::kLargestRadius
                          ? big
                          : measure(host, folder, bench::kLargestListLines, radius, repeats);
        std::printf("  %6.0f %10.1f %10.3f %10.2f\n", radius, r.bytes / 1048576.0, r.run,
                    r.run / r.copy);
    }
    return 0;
}
