#include "apps/helmora-zt/host_values.h"

#include <fmt/format.h>

#include <limits>

#include "common/strict_number.h"

namespace {

using options::valueOf;

constexpr std::int64_t kInt32Low = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32High = std::numeric_limits<std::int32_t>::max();

std::optional<std::int32_t> readWholeNumber(std::string_view text) {
    const auto value = glomera::parseWholeNumber(text, kInt32Low, kInt32High);
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

std::optional<std::array<int, 3>> readVersion(std::string_view text) {
    std::array<int, 3> version{};
    for (std::size_t i = 0; i < version.size(); ++i) {
        const std::size_t dot = i + 1 < version.size() ? text.find('.') : text.size();
        if (dot == std::string_view::npos) return std::nullopt;
        const auto part = glomera::parseWholeNumber(text.substr(0, dot), 0, kInt32High);
        if (!part) return std::nullopt;
        version[i] = static_cast<int>(*part);
        text.remove_prefix(i + 1 < version.size() ? dot + 1 : dot);
    }
    return version;
}

std::optional<headless::SphereFields> readSphere(std::string_view text) {
    const std::vector<std::string> parts = glomera::splitAtCommas(text);
    headless::SphereFields sphere{};
    if (parts.size() != sphere.text.size()) return std::nullopt;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto value = glomera::parseFiniteNumber(parts[i], true);
        if (!value) return std::nullopt;
        sphere.text[i] = parts[i];
        sphere.value[i] = *value;
    }
    return sphere;
}

std::optional<std::pair<std::string, std::string>> readAssignment(std::string_view text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) return std::nullopt;
    return std::make_pair(std::string(text.substr(0, equals)),
                          std::string(text.substr(equals + 1)));
}

const options::ValueKind<float>& resolutionKind() {
    static const options::ValueKind<float> kind{[](std::string_view text) -> std::optional<float> {
                                                    const auto value =
                                                        glomera::parseFiniteNumber(text, true);
                                                    if (!value) return std::nullopt;
                                                    return static_cast<float>(*value);
                                                },
                                                "a number", ""};
    return kind;
}

}  // namespace

const options::ValueKind<std::int32_t>& wholeNumberKind() {
    static const options::ValueKind<std::int32_t> kind{
        readWholeNumber, fmt::format("a whole number from {} to {}", kInt32Low, kInt32High), ""};
    return kind;
}

const options::ValueKind<std::array<int, 3>>& versionKind() {
    static const options::ValueKind<std::array<int, 3>> kind{readVersion, "MAJOR.MINOR.REVISION",
                                                             ""};
    return kind;
}

const options::ValueKind<headless::SphereFields>& sphereKind() {
    static const options::ValueKind<headless::SphereFields> kind{readSphere,
                                                                 "X,Y,Z,R: four numbers", ""};
    return kind;
}

options::ValueKind<std::pair<std::string, std::string>> assignmentKind(const std::string& form) {
    return {readAssignment, form, ""};
}

void setHeaderField(const std::string& assignment, headless::HostSession::VmrHeader& header) {
    const auto [field, value] = valueOf("--header", assignment, assignmentKind("FIELD=VALUE"));
    const std::string option = "--header " + field;
    const std::string axes = "xyz";
    if (field == "reference-space") {
        header.referenceSpace = valueOf(option, value, wholeNumberKind());
    } else if (field == "framing-cube") {
        header.framingCubeDim = valueOf(option, value, wholeNumberKind());
    } else if (field == "lr-convention") {
        header.leftRightConvention = valueOf(option, value, wholeNumberKind());
    } else if (field == "resolution") {
        const float number = valueOf(option, value, resolutionKind());
        for (float& r : header.resolution) r = number;
    } else if (field == "offset") {
        const std::int32_t number = valueOf(option, value, wholeNumberKind());
        for (std::int32_t& o : header.offset) o = number;
    } else if (field.size() > 2 && field[field.size() - 2] == '-' &&
               axes.find(field.back()) != std::string::npos &&
               (field.rfind("resolution-", 0) == 0 || field.rfind("offset-", 0) == 0)) {
        const std::size_t axis = axes.find(field.back());
        if (field[0] == 'r') {
            header.resolution[axis] = valueOf(option, value, resolutionKind());
        } else {
            header.offset[axis] = valueOf(option, value, wholeNumberKind());
        }
    } else {
        throw CLI::ValidationError("unknown --header field \"" + field + "\"");
    }
}
