// Kernels of the sphere run, each beside the physical limit it is measured against:
// enumeration against filling an array of the same size, the writer against writing the
// same bytes from one prepared buffer, the clean-up per line for growing lists.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/workload.h"
#include "common/atomic_file.h"
#include "coordlist/clean_up_text.h"
#include "coordlist/stream_fields.h"
#include "coordlist/text_lines.h"
#include "host/host_operations.h"
#include "plugin/sphere_voxels.h"
#include "tests/support/voi_line_reader.h"
#include "voi/voi_writer.h"

namespace {

constexpr float kCx = 0.3f, kCy = -0.7f, kCz = 0.45f;

std::int32_t sphereCount(float radius) {
    std::int32_t count = 0;
    glomera::makeSphereVoxels(kCx, kCy, kCz, radius, &count);
    return count;
}

void MakeSphereVoxels(benchmark::State& state) {
    const float radius = static_cast<float>(state.range(0));
    for (auto _ : state) {
        std::int32_t count = 0;
        auto voxels = glomera::makeSphereVoxels(kCx, kCy, kCz, radius, &count);
        benchmark::DoNotOptimize(voxels.get());
    }
    state.SetItemsProcessed(state.iterations() * sphereCount(radius));
}

// The enumeration as first described: two passes over the whole bounding cube.
void LiteralSphereVoxels(benchmark::State& state) {
    const float r = static_cast<float>(state.range(0));
    for (auto _ : state) {
        const int xl = static_cast<int>(kCx - r), xh = static_cast<int>(kCx + r);
        const int yl = static_cast<int>(kCy - r), yh = static_cast<int>(kCy + r);
        const int zl = static_cast<int>(kCz - r), zh = static_cast<int>(kCz + r);
        const float r2 = r * r;
        std::int32_t count = 0;
        std::unique_ptr<std::int32_t[]> voxels;
        for (int pass = 0; pass < 2; ++pass) {
            std::int32_t* out = voxels.get();
            for (int x = xl; x <= xh; ++x) {
                const float dx = kCx - static_cast<float>(x);
                for (int y = yl; y <= yh; ++y) {
                    const float dy = kCy - static_cast<float>(y);
                    const float dxy = dx * dx + dy * dy;
                    for (int z = zl; z <= zh; ++z) {
                        const float dz = kCz - static_cast<float>(z);
                        if (dz * dz + dxy <= r2) {
                            if (pass == 0) {
                                ++count;
                            } else {
                                *out++ = x;
                                *out++ = y;
                                *out++ = z;
                            }
                        }
                    }
                }
            }
            if (pass == 0) voxels.reset(new std::int32_t[3 * static_cast<std::size_t>(count)]);
        }
        benchmark::DoNotOptimize(voxels.get());
    }
    state.SetItemsProcessed(state.iterations() * sphereCount(r));
}

// The limit: a fresh array of the same size, filled.
void FillFreshArray(benchmark::State& state) {
    const std::size_t size =
        3 * static_cast<std::size_t>(sphereCount(static_cast<float>(state.range(0))));
    for (auto _ : state) {
        std::unique_ptr<std::int32_t[]> voxels(new std::int32_t[size]);
        std::int32_t* out = voxels.get();
        for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::int32_t>(i);
        benchmark::DoNotOptimize(voxels.get());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(size / 3));
}

BENCHMARK(MakeSphereVoxels)->Arg(5)->Arg(20)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(LiteralSphereVoxels)->Arg(5)->Arg(20)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(FillFreshArray)->Arg(5)->Arg(20)->Arg(100)->Unit(benchmark::kMicrosecond);

// Workload 1's VOIs, built once: 1,315 spheres of radius 20.
const glomera::VoiSet& largestSet() {
    static const glomera::VoiSet set =
        bench::makeVoiSet(bench::kLargestListLines, bench::kLargestRadius, "bench-out.voi");
    return set;
}

void WriteVoiFile(benchmark::State& state) {
    const glomera::VoiSet& set = largestSet();
    for (auto _ : state) {
        if (!glomera::writeVoiFile(set)) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(
        state.iterations() *
        static_cast<std::int64_t>(
            std::ifstream(set.fileName, std::ios::ate | std::ios::binary).tellg()));
    std::remove(set.fileName);
}

// The same bytes written from one prepared buffer, in the same large blocks.
void WritePreparedBuffer(benchmark::State& state) {
    const glomera::VoiSet& set = largestSet();
    glomera::writeVoiFile(set);
    std::string bytes;
    {
        std::ifstream in(set.fileName, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    for (auto _ : state) {
        const int fd = ::open("bench-copy.voi", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (std::size_t done = 0; done < bytes.size();) {
            const std::size_t chunk =
                std::min(bytes.size() - done, glomera::AtomicFile::kBufferSize);
            const ssize_t written = ::write(fd, bytes.data() + done, chunk);
            if (written <= 0) break;
            done += static_cast<std::size_t>(written);
        }
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
    std::remove("bench-copy.voi");
    std::remove(set.fileName);
}

// The writer as first described: one formatted stream insertion per number.
void StreamInsertionWriter(benchmark::State& state) {
    const glomera::VoiSet& set = largestSet();
    for (auto _ : state) {
        std::ofstream out("bench-stream.voi", std::ios::binary);
        for (const glomera::VoiEntry& voi : set.vois) {
            out << "NameOfVOI:  " << voi.name << "\r\n";
            for (std::size_t j = 0; j < static_cast<std::size_t>(voi.voxelCount); ++j) {
                out << voi.voxels[3 * j] << " " << voi.voxels[3 * j + 1] << " "
                    << voi.voxels[3 * j + 2] << "\r\n";
            }
        }
    }
    std::remove("bench-stream.voi");
}

BENCHMARK(WriteVoiFile)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(WritePreparedBuffer)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(StreamInsertionWriter)->Unit(benchmark::kMillisecond)->Iterations(1);

// Cleaning lists of growing length: the time per line should stay flat.
void CleanUpText(benchmark::State& state) {
    // The last size is a full text box: as many lines as 99,999 characters hold.
    const std::string list = bench::makeCoordinateList(static_cast<int>(state.range(0)), 8.0f)
                                 .substr(0, glomera::host::kTextCapacity - 1);
    const auto lines = std::count(list.begin(), list.end(), '\n');
    std::vector<char> buffer(glomera::host::kTextCapacity);
    for (auto _ : state) {
        std::memcpy(buffer.data(), list.c_str(), list.size() + 1);
        benchmark::DoNotOptimize(glomera::cleanUpText(buffer.data()));
    }
    state.SetItemsProcessed(state.iterations() * lines);
}

BENCHMARK(CleanUpText)->Arg(10)->Arg(100)->Arg(1315)->Arg(4000)->Unit(benchmark::kMicrosecond);

// Reading every line of a cleaned full list: once through, as the run does, against a
// reread from the start for every line.
std::string cleanedFullList() {
    std::vector<char> buffer(glomera::host::kTextCapacity);
    const std::string list = bench::makeCoordinateList(bench::kLargestListLines, 8.0f);
    std::memcpy(buffer.data(), list.c_str(), list.size() + 1);
    glomera::cleanUpText(buffer.data());
    return buffer.data();
}

void ReadListOnce(benchmark::State& state) {
    const std::string text = cleanedFullList();
    glomera::StreamFields fields;
    glomera::VoiLineValues values;
    for (auto _ : state) {
        glomera::TextLines lines(text);
        std::string_view line;
        while (lines.next(line)) glomera::readVoiFields(fields, line, values);
        benchmark::DoNotOptimize(values.b);
    }
    state.SetItemsProcessed(state.iterations() * bench::kLargestListLines);
}

void ReadListLineByIndex(benchmark::State& state) {
    const std::string text = cleanedFullList();
    float x = 0, y = 0, z = 0, r = 0;
    std::int32_t red = 0, green = 0, blue = 0;
    char name[512];
    for (auto _ : state) {
        for (std::int32_t i = 0; i < bench::kLargestListLines; ++i) {
            glomera::readVoiLine(text.c_str(), i, &x, &y, &z, &r, name, &red, &green, &blue);
        }
        benchmark::DoNotOptimize(blue);
    }
    state.SetItemsProcessed(state.iterations() * bench::kLargestListLines);
}

BENCHMARK(ReadListOnce)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadListLineByIndex)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
