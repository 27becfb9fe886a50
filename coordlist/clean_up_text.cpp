#include "coordlist/clean_up_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/buffer_capacities.h"
#include "common/classic_locale.h"
#include "common/format_line.h"
#include "coordlist/text_lines.h"

namespace glomera {
namespace {

constexpr std::size_t kTextLimit = kTextCapacity - 1;
constexpr float kUnread = 1000.0f;
constexpr std::int32_t kUnreadInt = 1000;

bool isDelimiter(char c) { return c == ',' || c == ';' || c == ':' || c == '"' || c == '\''; }

// The first axis whose coordinate lies outside the box, or -1.
int axisOutsideBox(const VoiLineValues& v) {
    using Box = CoordinateBox;
    const float low[3] = {Box::kXLow, Box::kYLow, Box::kZLow};
    const float high[3] = {Box::kXHigh, Box::kYHigh, Box::kZHigh};
    const float value[3] = {v.x, v.y, v.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (!(value[axis] >= low[axis] && value[axis] <= high[axis])) return axis;
    }
    return -1;
}

void clamp(VoiLineValues& v) {
    v.radius = std::min(std::max(v.radius, 0.5f), 20.0f);
    v.r = std::min(std::max(v.r, 0), 255);
    v.g = std::min(std::max(v.g, 0), 255);
    v.b = std::min(v.b, 255);
}

}  // namespace

std::string formatCleanedLine(const VoiLineValues& v) {
    ClassicLocaleScope classic;
    char line[512];
    const int length =
        std::snprintf(line, sizeof line, "% 7.1f % 7.1f % 7.1f %7.1f %25s %7i %4i %4i",
                      static_cast<double>(v.x), static_cast<double>(v.y), static_cast<double>(v.z),
                      static_cast<double>(v.radius), v.name.c_str(), v.r, v.g, v.b);
    return std::string(line, static_cast<std::size_t>(std::clamp(length, 0, 511)));
}

ListLineJudgement judgeListLine(std::string_view line) {
    ListLineJudgement judgement;
    std::string work(line);
    std::replace_if(work.begin(), work.end(), isDelimiter, ' ');
    if (work.find_first_not_of(" \t\r\f\v") == std::string::npos) return judgement;
    VoiLineValues& values = judgement.values;
    values.x = values.y = values.z = values.radius = kUnread;
    values.r = values.g = values.b = kUnreadInt;
    StreamFields fields;
    const bool complete = readVoiFields(fields, work, values);
    judgement.axis = axisOutsideBox(values);
    // A name that does not fit the 255-character limit is no valid definition.
    if (values.nameCut) {
        judgement.verdict = ListLineJudgement::kNameTooLong;
    } else if (!complete) {
        judgement.verdict = ListLineJudgement::kIncomplete;
    } else if (judgement.axis >= 0) {
        judgement.verdict = ListLineJudgement::kOutsideBox;
    } else if (values.b < CoordinateBox::kBlueLow || values.b > CoordinateBox::kBlueHigh) {
        judgement.verdict = ListLineJudgement::kBlueOutOfRange;
    } else {
        judgement.verdict = ListLineJudgement::kKept;
        clamp(values);
    }
    return judgement;
}

std::string dropReason(const ListLineJudgement& judgement) {
    using Box = CoordinateBox;
    const VoiLineValues& v = judgement.values;
    switch (judgement.verdict) {
        case ListLineJudgement::kKept:
            return std::string();
        case ListLineJudgement::kEmpty:
            return "empty";
        case ListLineJudgement::kIncomplete:
            return "fewer than the eight fields x y z radius name r g b (read " +
                   std::to_string(v.fieldsRead) + ")";
        case ListLineJudgement::kNameTooLong:
            return "the name is longer than 255 characters";
        case ListLineJudgement::kOutsideBox: {
            const char* names[3] = {"x", "y", "z"};
            const float low[3] = {Box::kXLow, Box::kYLow, Box::kZLow};
            const float high[3] = {Box::kXHigh, Box::kYHigh, Box::kZHigh};
            const float value[3] = {v.x, v.y, v.z};
            const int a = judgement.axis;
            return formatLine("outside the accepted box: %s = %.1f is not within %g..%g", names[a],
                              static_cast<double>(value[a]), static_cast<double>(low[a]),
                              static_cast<double>(high[a]));
        }
        case ListLineJudgement::kBlueOutOfRange:
            return formatLine("the blue component %d is not within %d..%d", v.b, Box::kBlueLow,
                              Box::kBlueHigh);
    }
    return std::string();
}

std::int32_t cleanUpText(char* text, CleanUpOutcome* outcome) {
    const std::string input(text);
    std::string output;
    CleanUpOutcome result;
    TextLines lines(input);
    std::string_view line;
    while (lines.next(line)) {
        const ListLineJudgement judgement = judgeListLine(line);
        if (judgement.verdict != ListLineJudgement::kKept) continue;
        const std::string cleaned = formatCleanedLine(judgement.values);
        const std::size_t separator = result.lines > 0 ? 1 : 0;
        if (output.size() + separator + cleaned.size() > kTextLimit) {
            result.cut = true;
            break;
        }
        if (separator) output += '\n';
        output += cleaned;
        ++result.lines;
    }
    std::memcpy(text, output.c_str(), output.size() + 1);
    if (outcome) *outcome = result;
    return result.lines;
}

}  // namespace glomera
