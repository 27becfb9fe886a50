// A whole plug-in lifetime in an in-process host, driven by the fuzzer's bytes: the host's
// version and document, the VMR header, every dialog parameter (non-finite, huge and
// negative numbers, names and paths at and past their limits), the answers of the dialogs,
// and commands in any order, with or without a successful start. Checked: nothing crashes
// or leaks, a plug-in that did not start does nothing, and no temporary file is left.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "plugin/glomera.h"
#include "tests/in_process_host.h"
#include "tests/test_files.h"

extern "C" HLZTPluginInterface* createPlugin();

namespace {

const char* const kNumbers[] = {
    "0",          "-0",          "1",           "-1",  "0.5",  "2.5",  "20",    "-20.46", "68",
    "-103",       "76",          "nan",         "inf", "-inf", "1e30", "-1e30", "3e9",    "1e39",
    "2147483647", "-2147483648", "99999999999", "abc", "",     " 12",  "1000",  "0x10"};
// Radii stay small or refused outright, so that no input asks for gigabytes of voxels.
const char* const kRadii[] = {"0",    "-1",   "-0",  "0.5", "1",    "5", "20",
                              "1000", "1e30", "nan", "inf", "-inf", "",  "x"};
const char* const kCommands[] = {"Start", "CleanUpText", "ReadTextFile", "SaveTextFile", "start",
                                 "",      "Start "};
const char* const kParameters[] = {"tX", "tY", "tZ",       "Name_of_VOI",    "cR",
                                   "cG", "cB", "LoadInHL", "listVOIinfoFrom"};

template <std::size_t N>
std::string pick(FuzzedDataProvider& input, const char* const (&values)[N]) {
    return values[input.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

// A value of one of the interesting kinds.
std::string value(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return pick(input, kNumbers);
        case 1:
            return std::string(input.PickValueInArray({255, 256, 511, 512, 600}), 'n');
        case 2:
            return input.ConsumeRandomLengthString(700);
        default:
            return std::to_string(input.ConsumeIntegral<std::int32_t>());
    }
}

// A list of VOI lines with interesting fields, or any text.
std::string list(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) return input.ConsumeRandomLengthString(4000);
    std::string text;
    const int lines = input.ConsumeIntegralInRange(0, 30);
    for (int i = 0; i < lines; ++i) {
        for (int field = 0; field < 8; ++field) {
            text += (field == 4 ? value(input) : pick(input, kNumbers));
            text += input.PickValueInArray({" ", ",", "; ", "\t", "'"});
        }
        text += input.ConsumeBool() ? "\n" : "\r\n";
    }
    return text;
}

// A path inside the folder, from a short name to one past every limit, sometimes in a
// folder that does not exist or naming the folder itself.
std::string path(FuzzedDataProvider& input, const std::string& folder) {
    switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0:
            return folder + "/missing/file";
        case 1:
            return folder;
        case 2:
            return folder + "/" + std::string(input.ConsumeIntegralInRange(200, 300), 'p');
        case 3:
            return "";
        default:
            return folder + "/f" + std::to_string(input.ConsumeIntegralInRange(0, 3));
    }
}

bool temporaryFileLeft(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind(".glomera-", 0) == 0) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static InProcessHost* host = new InProcessHost("zt");
    static TempFolder* folder = new TempFolder();
    // Relative paths, such as the ".voi" of an empty file name, stay in the folder too.
    static const bool inFolder = chdir(folder->path().c_str()) == 0;
    if (!inFolder) std::abort();
    if (!host->loaded()) std::abort();
    for (const auto& entry : std::filesystem::directory_iterator(folder->path())) {
        std::filesystem::remove_all(entry.path());
    }
    writeFile(folder->file("f1"), "1 2 3 4 A 5 6 7\r\n8 9 10 5 B 1 2 3\r\n");

    FuzzedDataProvider input(data, size);
    headless::HostSession& s = *host->session();
    s = headless::HostSession{};
    s.log = nullptr;
    s.messages = nullptr;
    s.dialogs = nullptr;
    const int versions[][3] = {{2, 2, 0}, {2, 1, 9}, {3, 0, -1}, {2, 2, -1}, {1, 99, 99}};
    const auto& version = versions[input.ConsumeIntegralInRange(0, 4)];
    std::copy(version, version + 3, s.version);
    s.documentId = input.PickValueInArray({1, 0, -1, 7});
    s.documentType = input.PickValueInArray({3, 3, 3, 1});
    s.header.referenceSpace = input.PickValueInArray({1, 1, 0, 2});
    for (float& r : s.header.resolution) r = input.PickValueInArray({1.0f, 0.9f, -1.9f, 3e9f});
    for (std::int32_t& o : s.header.offset) o = input.ConsumeIntegral<std::int32_t>();
    s.yesNoAnswer = input.ConsumeBool();
    for (const char* name : kParameters) {
        if (input.ConsumeBool()) s.parameters[name] = value(input);
    }
    s.parameters["Radius"] = pick(input, kRadii);
    s.parameters["FileName"] = path(input, folder->path());
    s.parameters["VOItext"] = list(input);
    s.openFileAnswers = {path(input, folder->path())};
    s.saveFileAnswers = {path(input, folder->path())};

    std::unique_ptr<HLZTPluginInterface> plugin(createPlugin());
    const bool started = input.ConsumeBool() && plugin->initPlugin();
    while (input.remaining_bytes() > 0) {
        s.parameters["Command"] =
            input.ConsumeBool() ? pick(input, kCommands) : input.ConsumeRandomLengthString(300);
        const bool result = plugin->execute();
        if (!started && result) std::abort();
        if (temporaryFileLeft(folder->path())) std::abort();
    }
    plugin.reset();
    return 0;
}
