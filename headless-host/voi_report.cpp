#include "headless-host/voi_report.h"

#include <cstdio>

namespace headless {
namespace {

std::string format(const char* pattern, double a, double b, double c) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

std::string extent(const VoiStatistics::Voi& voi) {
    if (voi.voxels == 0) return "-";
    std::string text;
    for (int axis = 0; axis < 3; ++axis) {
        text += (axis ? " " : "") + std::to_string(voi.low[axis]) + ".." +
                std::to_string(voi.high[axis]);
    }
    return text;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            // Names are 8-bit text of unknown encoding: every byte beyond ASCII is escaped.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

std::string reportText(const std::string& source, const VoiFileContents& contents,
                       const VoiStatistics& statistics) {
    std::string text = "VOIs of " + source + ": " + std::to_string(contents.vois.size()) + "\n\n";
    char line[512];
    std::snprintf(line, sizeof line, "%5s  %-25s %-11s %9s  %-22s  %s\n", "#", "name", "colour",
                  "voxels", "centre of mass (mm)", "extent x y z (mm)");
    text += line;
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& info = contents.vois[i].info;
        const auto& voi = statistics.vois[i];
        const std::string colour = std::to_string(info.color[0]) + " " +
                                   std::to_string(info.color[1]) + " " +
                                   std::to_string(info.color[2]);
        const std::string centre =
            voi.voxels ? format("%.1f %.1f %.1f", voi.centre[0], voi.centre[1], voi.centre[2])
                       : "-";
        std::snprintf(line, sizeof line, "%5zu  %-25s %-11s %9lld  %-22s  %s\n", i + 1,
                      info.name.c_str(), colour.c_str(), static_cast<long long>(voi.voxels),
                      centre.c_str(), extent(voi).c_str());
        text += line;
    }
    text += "\nOverlaps: ";
    if (statistics.overlaps.empty()) return text + "none\n";
    text += std::to_string(statistics.overlaps.size()) + " pairs of VOIs share voxels\n";
    for (const auto& overlap : statistics.overlaps) {
        text += "  " + std::to_string(overlap.first + 1) + " " +
                contents.vois[overlap.first].info.name + " and " +
                std::to_string(overlap.second + 1) + " " + contents.vois[overlap.second].info.name +
                ": " + std::to_string(overlap.sharedVoxels) + " voxels\n";
    }
    return text;
}

std::string reportJson(const std::string& source, const VoiFileContents& contents,
                       const VoiStatistics& statistics) {
    std::string json = "{\n  \"file\": " + jsonString(source) + ",\n  \"vois\": [";
    for (std::size_t i = 0; i < contents.vois.size(); ++i) {
        const auto& info = contents.vois[i].info;
        const auto& voi = statistics.vois[i];
        json += i ? ",\n    {" : "\n    {";
        json += "\"index\": " + std::to_string(i + 1) + ", \"name\": " + jsonString(info.name) +
                ", \"color\": [" + std::to_string(info.color[0]) + ", " +
                std::to_string(info.color[1]) + ", " + std::to_string(info.color[2]) +
                "], \"voxels\": " + std::to_string(voi.voxels);
        if (voi.voxels > 0) {
            json += format(", \"centre\": [%.3f, %.3f, %.3f]", voi.centre[0], voi.centre[1],
                           voi.centre[2]);
            json += ", \"low\": [" + std::to_string(voi.low[0]) + ", " +
                    std::to_string(voi.low[1]) + ", " + std::to_string(voi.low[2]) +
                    "], \"high\": [" + std::to_string(voi.high[0]) + ", " +
                    std::to_string(voi.high[1]) + ", " + std::to_string(voi.high[2]) + "]";
        }
        json += "}";
    }
    json += contents.vois.empty() ? "],\n  \"overlaps\": [" : "\n  ],\n  \"overlaps\": [";
    for (std::size_t i = 0; i < statistics.overlaps.size(); ++i) {
        const auto& overlap = statistics.overlaps[i];
        json += (i ? ",\n    " : "\n    ") + std::string("{\"first\": ") +
                std::to_string(overlap.first + 1) +
                ", \"second\": " + std::to_string(overlap.second + 1) +
                ", \"shared\": " + std::to_string(overlap.sharedVoxels) + "}";
    }
    json += statistics.overlaps.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return json;
}

}  // namespace headless
