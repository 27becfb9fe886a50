#include "coordlist/clean_up_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/classic_locale.h"
#include "coordlist/text_lines.h"
#include "host/host_operations.h"

namespace glomera {
namespace {

constexpr std::size_t kTextLimit = host::kTextCapacity - 1;
constexpr float kUnread = 1000.0f;
constexpr std::int32_t kUnreadInt = 1000;

bool isDelimiter(char c) { return c == ',' || c == ';' || c == ':' || c == '"' || c == '\''; }

bool insideBox(const VoiLineValues& v) {
    using Box = CoordinateBox;
    return v.x >= Box::kXLow && v.x <= Box::kXHigh && v.y >= Box::kYLow && v.y <= Box::kYHigh &&
           v.z >= Box::kZLow && v.z <= Box::kZHigh && v.b >= Box::kBlueLow && v.b <= Box::kBlueHigh;
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

std::int32_t cleanUpText(char* text, CleanUpOutcome* outcome) {
    const std::string input(text);
    std::string output;
    CleanUpOutcome result;
    TextLines lines(input);
    StreamFields fields;
    std::string_view line;
    std::string work;
    while (lines.next(line)) {
        work.assign(line);
        std::replace_if(work.begin(), work.end(), isDelimiter, ' ');
        VoiLineValues values;
        values.x = values.y = values.z = values.radius = kUnread;
        values.r = values.g = values.b = kUnreadInt;
        readVoiFields(fields, work, values);
        // A name that does not fit the 255-character limit is no valid definition.
        if (values.nameCut || !insideBox(values)) continue;
        clamp(values);
        const std::string cleaned = formatCleanedLine(values);
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
