#include "headless/host_session.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "host/host_operations.h"
#include "plugin/dialog_parameters.h"
#include "voi/voi_reader.h"
#include "voikit/io/print.h"

namespace headless {
namespace {

// Counts what it is shown of a .voi file; keeps nothing else.
class LoadSummary : public glomera::VoiFileVisitor {
  public:
    void beginVoi(const glomera::VoiInfo& info) override {
        ++vois;
        voxels += info.voxelCount;
        if (vois <= kListed) {
            fmt::format_to(std::back_inserter(listed), "  {}: {} voxels, colour {} {} {}\n",
                           info.name, info.voxelCount, info.color[0], info.color[1], info.color[2]);
        }
    }
    // Runs are the reader's cheapest way to hand voxels over.
    bool takesRuns() const override { return true; }

    static constexpr long kListed = 10;
    long vois = 0;
    long long voxels = 0;
    std::string listed;
};

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    return text;
}

}  // namespace

HostSession& session() {
    static HostSession instance;
    return instance;
}

std::size_t parameterCapacity(const std::string& name) {
    namespace param = glomera::param;
    namespace host = glomera::host;
    if (name == param::kCommand) return host::kCommandCapacity;
    if (name == param::kVoiText || name == param::kAllText) return host::kTextCapacity;
    return host::kStringParameterCapacity;
}

void HostSession::VmrHeader::fill(glomera::host::VmrMainHeader& record) const {
    using Record = glomera::host::VmrMainHeader;
    record = Record();
    const std::size_t offsets[3] = {Record::kOffsetX, Record::kOffsetY, Record::kOffsetZ};
    const std::size_t resolutions[3] = {Record::kResolutionX, Record::kResolutionY,
                                        Record::kResolutionZ};
    for (int i = 0; i < 3; ++i) {
        record.setInt(offsets[i], offset[i]);
        record.setFloat(resolutions[i], resolution[i]);
    }
    record.setInt(Record::kFramingCubeDim, framingCubeDim);
    record.setInt(Record::kReferenceSpace, referenceSpace);
    record.setInt(Record::kLeftRightConvention, leftRightConvention);
}

std::string HostSession::parameter(const std::string& name) const {
    const auto found = parameters.find(name);
    if (found == parameters.end()) return std::string();
    std::string value = found->second;
    const std::size_t limit = parameterCapacity(name) - 1;
    if (value.size() > limit) {
        if (messages) {
            voikit::print(messages,
                          "{}: parameter \"{}\" cut to {} characters to fit the plug-in's buffer\n",
                          kHostName, name, limit);
        }
        value.resize(limit);
    }
    return value;
}

template <typename Number>
Number HostSession::numberParameter(const std::string& name) const {
    const std::string value = parameter(name);
    const std::string_view text = trimmed(value);
    Number number{};
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

int HostSession::intParameter(const std::string& name) const { return numberParameter<int>(name); }

float HostSession::floatParameter(const std::string& name) const {
    return numberParameter<float>(name);
}

void HostSession::logLine(const char* text) {
    if (keepLog) logLines.emplace_back(text);
    if (log) {
        std::fputs(text, log);
        std::fputc('\n', log);
        std::fflush(log);
    }
}

void HostSession::messageBox(const char* text) {
    ++messageBoxes;
    if (keepLog) messageBoxTexts.emplace_back(text);
    if (messages) voikit::print(messages, "[message box] {}\n", text);
}

int HostSession::askYesNo(const char* question) {
    if (keepLog) messageBoxTexts.emplace_back(question);
    if (messages) {
        voikit::print(messages, "[yes/no] {} -> {}\n", question, yesNoAnswer ? "Yes" : "No");
    }
    return yesNoAnswer;
}

std::string HostSession::nextAnswer(std::deque<std::string>& answers, const char* title) {
    std::string answer;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (dialogs) {
        voikit::print(dialogs, "[file dialog] {} -> {}\n", title,
                      answer.empty() ? "(cancelled)" : answer);
    }
    return answer;
}

void HostSession::loadVois(const char* path) {
    ++loads;
    LoadSummary summary;
    try {
        glomera::readVoiFile(path, summary);
    } catch (const std::exception& error) {
        // Nothing may unwind into the plug-in that asked for the load.
        ++failedLoads;
        lastLoadError = error.what();
        if (messages)
            voikit::print(messages, "{}: cannot load {}: {}\n", kHostName, path, error.what());
        return;
    }
    if (log) {
        voikit::print(log, "{}: loaded {}: {} VOIs, {} voxels\n{}", kHostName, path, summary.vois,
                      summary.voxels, summary.listed);
        if (summary.vois > LoadSummary::kListed) {
            voikit::print(log, "  ... and {} more\n", summary.vois - LoadSummary::kListed);
        }
        std::fflush(log);
    }
}

}  // namespace headless
