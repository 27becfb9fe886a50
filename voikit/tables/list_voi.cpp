#include "voikit/tables/list_voi.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "coordlist/clean_up_text.h"

namespace voikit {
namespace {

// Colours for rows that bring none: distinct, and each readable on a dark background.
constexpr int kPalette[][3] = {{230, 25, 75},  {60, 180, 75},   {255, 225, 25}, {0, 130, 200},
                               {245, 130, 48}, {145, 30, 180},  {70, 240, 240}, {240, 50, 230},
                               {210, 245, 60}, {250, 190, 212}, {0, 128, 128},  {220, 190, 255},
                               {170, 110, 40}, {255, 250, 200}, {128, 0, 0},    {170, 255, 195}};
constexpr std::size_t kPaletteSize = sizeof kPalette / sizeof kPalette[0];

// A name the list format and the plug-in take: one token of at most 255 bytes, without the
// characters the clean-up treats as delimiters, cut at a character's boundary.
std::string listName(std::string name) {
    for (char& c : name) {
        if (c == ' ' || c == ',' || c == ';' || c == ':' || c == '"' || c == '\'' ||
            (static_cast<unsigned char>(c) < 0x20)) {
            c = '_';
        }
    }
    constexpr std::size_t kLimit = glomera::VoiLineValues::kNameLimit;
    if (name.size() > kLimit) {
        std::size_t cut = kLimit;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name;
}

}  // namespace

ListVoi makeListVoi(int index, const std::string& name, const Point& tal, const VoiLooks& looks) {
    ListVoi voi;
    glomera::VoiLineValues values;
    values.x = static_cast<float>(tal[0]);
    values.y = static_cast<float>(tal[1]);
    values.z = static_cast<float>(tal[2]);
    double radius = looks.radius.value_or(looks.defaultRadius.value_or(kDefaultRadius));
    if (!(radius >= 0.5 && radius <= 20.0)) {
        const double clamped = std::min(std::max(radius, 0.5), 20.0);
        voi.notes += fmt::format("; radius {:g} mm taken as {:.1f}", radius, clamped);
        radius = clamped;
    }
    values.radius = static_cast<float>(radius);
    std::array<double, 3> colour{};
    if (looks.colour) {
        colour = *looks.colour;
    } else if (looks.defaultColour) {
        for (int k = 0; k < 3; ++k) colour[k] = (*looks.defaultColour)[k];
    } else {
        const int* entry = kPalette[static_cast<std::size_t>(index - 1) % kPaletteSize];
        colour = {static_cast<double>(entry[0]), static_cast<double>(entry[1]),
                  static_cast<double>(entry[2])};
    }
    std::int32_t* channels[3] = {&values.r, &values.g, &values.b};
    for (int k = 0; k < 3; ++k) {
        const double clamped = std::min(std::max(std::round(colour[k]), 0.0), 255.0);
        if (clamped != colour[k]) {
            voi.notes += fmt::format("; colour {:g} taken as {:g}", colour[k], clamped);
        }
        *channels[k] = static_cast<std::int32_t>(clamped);
    }
    values.name = listName(name.empty() ? fmt::format("VOI_{}", index) : name);
    voi.line = glomera::formatCleanedLine(values);
    // The plug-in's own rules decide; what it keeps it reads as written here.
    const glomera::ListLineJudgement judgement = glomera::judgeListLine(voi.line);
    voi.values = judgement.values;
    voi.kept = judgement.verdict == glomera::ListLineJudgement::kKept;
    if (!voi.kept) voi.reason = glomera::dropReason(judgement);
    return voi;
}

}  // namespace voikit
