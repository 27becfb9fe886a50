// Times the largest run, the strict reader and the toolbox's outputs of the run's file, each
// against copying that file (the floor any writer of these bytes pays), side by side in one
// loop; then each output of the toolbox alone; then the run's time and peak resident size as
// the list grows and the radius grows. Each step is a median of several, interleaved with the
// others, so the ratios hold on a busy machine.
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
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/workload.h"
#include "common/atomic_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// Wall-clock time, which the ratios use, and processor time (user and system, all
// threads), which tells how much of a slow step was waiting for a busy machine.
struct Measured {
    double seconds = 0;
    double processorSeconds = 0;
    double peakMb = 0;
};

double secondsOf(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double processorSecondsOf(const rusage& usage) {
    return secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
}

// Runs a program with its arguments, its output silenced, and waits for it.
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
        ::dup2(null, 1);
        ::dup2(null, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Measured m;
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.processorSeconds = processorSecondsOf(usage);
    m.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
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
// could cost. It runs in a process of its own, as every measured step does.
Measured copyOnce(const std::string& from, const std::string& to) {
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        constexpr std::size_t kBlock = glomera::AtomicFile::kBufferSize;
        const int in = ::open(from.c_str(), O_RDONLY);
        const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::unique_ptr<char[]> buffer(new char[kBlock]);
        for (ssize_t got; (got = ::read(in, buffer.get(), kBlock)) > 0;) {
            if (::write(out, buffer.get(), static_cast<std::size_t>(got)) != got) _exit(1);
        }
        _exit(::close(out) == 0 ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    Measured m;
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.processorSeconds = processorSecondsOf(usage);
    std::remove(to.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "workload_timer: the copy of %s failed\n", from.c_str());
        std::exit(1);
    }
    return m;
}

// The copy measured in the state the run meets: the run writes into the page cache just
// after the file of the round before was deleted, and reuses its pages. A first copy (not
// timed, deleted at once) gives the measured one the same. Without it, on these virtual
// machines the copy drew pages the machine had handed back to its host, and took five to
// eight times as long as `dd` of the same file, which made every ratio look far better
// than it is.
Measured copyFile(const std::string& from, const std::string& to) {
    warm(from);
    copyOnce(from, to);
    return copyOnce(from, to);
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

double fileMb(const std::string& path) {
    struct stat s {};
    return ::stat(path.c_str(), &s) == 0 ? static_cast<double>(s.st_size) / 1048576.0 : -1;
}

std::string writeList(const std::string& folder, int lines, float radius) {
    std::string list = folder + "/list-" + std::to_string(lines) + "-" +
                       std::to_string(static_cast<int>(radius)) + ".txt";
    std::FILE* f = std::fopen(list.c_str(), "w");
    const std::string text = bench::makeCoordinateList(lines, radius);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return list;
}

// Medians and peaks of one step measured several times.
struct Step {
    std::vector<double> seconds;
    std::vector<double> processorSeconds;
    double peakMb = 0;

    void add(const Measured& m) {
        seconds.push_back(m.seconds);
        processorSeconds.push_back(m.processorSeconds);
        peakMb = std::max(peakMb, m.peakMb);
    }
    double median() const { return ::median(seconds); }
    double processorMedian() const { return ::median(processorSeconds); }
};

// Deletes what `outputs` wrote into the folder.
void removeOutputs(const std::string& folder) {
    for (const char* name : {"/o.nii.gz", "/o.tsv", "/o.json", "/o_ColorLUT.txt",
                             "/o_wb_labels.txt", "/o.png", "/o.txt"}) {
        std::remove((folder + name).c_str());
    }
}

// The ratios of the largest run against a copy of its file, each step measured side by
// side with the copy in one loop. The lines "NAME: RATIO ..." and "peak NAME: MB" are read
// by bench/run-benchmarks.sh.
void largestRatios(const std::string& host, const std::string& folder, int repeats) {
    const std::string toolbox = host.substr(0, host.rfind('/')) + "/glomera-voi";
    const std::string list = writeList(folder, bench::kLargestListLines, bench::kLargestRadius);
    const std::string output = folder + "/largest.voi";
    const std::vector<std::string> allThree = {
        toolbox, "outputs",         output,     "--nifti",         folder + "/o.nii.gz",
        "--png", folder + "/o.png", "--report", folder + "/o.txt", "-q"};
    Step run, copy, info, outputs, load;
    double megabytes = 0;
    for (int i = 0; i < repeats; ++i) {
        // Every run makes a new file, as the copy does: none pays for deleting an old one.
        std::remove(output.c_str());
        settle();
        run.add(runHost(host, list, output));
        megabytes = fileMb(output);
        settle();
        copy.add(copyFile(output, folder + "/copy.voi"));
        settle();
        info.add(runProgram({toolbox, "info", output}));
        settle();
        outputs.add(runProgram(allThree));
        std::remove(output.c_str());
        settle();
        load.add(runHost(host, list, output, true));
    }
    const double floor = copy.median();
    const double processorFloor = copy.processorMedian();
    std::printf(
        "Against a copy of the file (%d lines of radius %.0f, %.0f MB; copy %.3f s, processor "
        "%.3f s), medians of %d side by side:\n",
        bench::kLargestListLines, bench::kLargestRadius, megabytes, floor, processorFloor, repeats);
    const struct {
        const char* name;
        const Step& step;
    } ratios[] = {{"run / copy", run},
                  {"info / copy", info},
                  {"outputs / copy", outputs},
                  {"run with load-back / copy", load}};
    for (const auto& r : ratios) {
        std::printf("  %-26s %5.2f  (%.3f s; processor %.3f s, %.2f times the copy's)\n",
                    (std::string(r.name) + ":").c_str(), r.step.median() / floor, r.step.median(),
                    r.step.processorMedian(), r.step.processorMedian() / processorFloor);
    }
    std::printf("  peak run:                  %5.1f MB\n", run.peakMb);
    std::printf("  peak outputs:              %5.1f MB\n\n", outputs.peakMb);
    std::remove(output.c_str());
    std::remove(list.c_str());
    removeOutputs(folder);
}

// Each output of the largest file on its own, and all three, against the copy: wall and
// processor time. The outputs' processor time adds up, and divided by the cores it is the
// least wall time the three together can take, however their work is shared out.
void outputsApart(const std::string& host, const std::string& folder, int repeats) {
    const std::string toolbox = host.substr(0, host.rfind('/')) + "/glomera-voi";
    const std::string list = writeList(folder, bench::kLargestListLines, bench::kLargestRadius);
    const std::string output = folder + "/apart.voi";
    runHost(host, list, output);
    const std::vector<std::string> nifti = {"--nifti", folder + "/o.nii.gz"};
    const std::vector<std::string> png = {"--png", folder + "/o.png"};
    const std::vector<std::string> report = {"--report", folder + "/o.txt"};
    struct Part {
        const char* name;
        std::vector<std::string> arguments;
        Step step;
    };
    const auto outputs = [&](std::initializer_list<const std::vector<std::string>*> asked) {
        std::vector<std::string> arguments = {toolbox, "outputs", output, "-q"};
        for (const auto* more : asked)
            arguments.insert(arguments.end(), more->begin(), more->end());
        return arguments;
    };
    std::vector<Part> parts = {{"info (reading)", {toolbox, "info", output}, {}},
                               {"--nifti", outputs({&nifti}), {}},
                               {"--png", outputs({&png}), {}},
                               {"--report", outputs({&report}), {}},
                               {"all three", outputs({&nifti, &png, &report}), {}}};
    Step copy;
    for (int i = 0; i < repeats; ++i) {
        settle();
        copy.add(copyFile(output, folder + "/copy.voi"));
        for (Part& part : parts) {
            settle();
            part.step.add(runProgram(part.arguments));
        }
    }
    const double floor = copy.median();
    const double reading = parts.front().step.processorMedian();
    std::printf("Each output alone and all three, against the copy (%.3f s), medians of %d:\n",
                floor, repeats);
    std::printf("  %-16s %7s %7s %12s %15s\n", "", "wall s", "/ copy", "processor s",
                "beyond reading");
    for (const Part& part : parts) {
        const double processor = part.step.processorMedian();
        std::printf("  %-16s %7.3f %7.2f %12.3f %15.3f\n", part.name, part.step.median(),
                    part.step.median() / floor, processor, processor - reading);
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const double least = parts.back().step.processorMedian() / cores;
    std::printf("  All three on %u cores take at least %.3f s, %.2f times the copy.\n\n", cores,
                least, least / floor);
    std::remove(output.c_str());
    std::remove(list.c_str());
    removeOutputs(folder);
}

struct Row {
    double run = 0;
    double copy = 0;
    double peakMb = 0;
    double fileMb = 0;
};

// One list through the host, without the load-back, against a copy of its file.
Row measureList(const std::string& host, const std::string& folder, int lines, float radius,
                int repeats) {
    const std::string list = writeList(folder, lines, radius);
    const std::string output = folder + "/run.voi";
    Step run;
    std::vector<double> copies;
    Row row;
    for (int i = 0; i < repeats; ++i) {
        std::remove(output.c_str());
        settle();
        run.add(runHost(host, list, output));
        row.fileMb = fileMb(output);
        settle();
        copies.push_back(copyFile(output, folder + "/copy.voi").seconds);
    }
    std::remove(output.c_str());
    std::remove(list.c_str());
    row.run = run.median();
    row.copy = median(copies);
    row.peakMb = run.peakMb;
    return row;
}

// The peak resident size of one dialog sphere, which holds all of its voxels at once.
double dialogSpherePeak(const std::string& host, const std::string& folder, int radius) {
    const std::string output = folder + "/dialog.voi";
    settle();
    const Measured m = runProgram({host, "--quiet", "--no-load", "--sphere",
                                   "0,0,0," + std::to_string(radius), "--output", output});
    std::remove(output.c_str());
    return m.peakMb;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string host = argc > 1 ? argv[1] : "build/bin/HelmoraZT.exe";
    const std::string folder = argc > 2 ? argv[2] : ".";
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 5;
    largestRatios(host, folder, repeats);
    // "ratios" stops here, for the spread of the ratios over several runs.
    if (argc > 4 && std::string(argv[4]) == "ratios") return 0;
    outputsApart(host, folder, repeats);

    std::printf("The run through the headless host, --no-load, medians of %d:\n", repeats);
    std::printf("  %6s %6s %9s %9s %11s %9s %10s\n", "lines", "radius", "file MB", "run s",
                "ms per line", "run/copy", "peak MB");
    for (const int lines : {10, 100, bench::kLargestListLines}) {
        for (const float radius : {5.0f, 10.0f, bench::kLargestRadius}) {
            const Row r = measureList(host, folder, lines, radius, repeats);
            std::printf("  %6d %6.0f %9.1f %9.3f %11.3f %9.2f %10.1f\n", lines, radius, r.fileMb,
                        r.run, 1000 * r.run / lines, r.run / r.copy, r.peakMb);
        }
    }
    std::printf("\nOne sphere from the dialog, which holds all of its voxels at once:\n");
    std::printf("  %6s %10s\n", "radius", "peak MB");
    for (const int radius : {20, 50, 100}) {
        std::printf("  %6d %10.1f\n", radius, dialogSpherePeak(host, folder, radius));
    }
    return 0;
}
