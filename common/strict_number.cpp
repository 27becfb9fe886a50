#include "common/strict_number.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace glomera {
namespace {

// from_chars takes no plus sign; a user may type one.
std::string_view withoutPlus(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    return text;
}

}  // namespace

std::optional<double> parseFiniteNumber(std::string_view text, bool asFloat) {
    text = withoutPlus(text);
    if (text.empty()) return std::nullopt;
    // from_chars would also take "inf" and "nan"; a number here starts like one.
    const char first = text[0] == '-' && text.size() > 1 ? text[1] : text[0];
    if ((first < '0' || first > '9') && first != '.') return std::nullopt;
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    if (asFloat && std::fabs(value) > std::numeric_limits<float>::max()) return std::nullopt;
    return value;
}

std::optional<std::int64_t> parseWholeNumber(std::string_view text, std::int64_t low,
                                             std::int64_t high) {
    text = withoutPlus(text);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::array<int, 3>> parseRgb(std::string_view text) {
    const std::vector<std::string> parts = splitAtCommas(text);
    if (parts.size() != 3) return std::nullopt;
    std::array<int, 3> channels{};
    for (std::size_t k = 0; k < 3; ++k) {
        const auto value = parseWholeNumber(parts[k], 0, 255);
        if (!value) return std::nullopt;
        channels[k] = static_cast<int>(*value);
    }
    return channels;
}

std::vector<std::string> splitAtCommas(std::string_view text) {
    std::vector<std::string> parts;
    for (;;) {
        const std::size_t comma = text.find(',');
        parts.emplace_back(text.substr(0, comma));
        if (comma == std::string_view::npos) return parts;
        text.remove_prefix(comma + 1);
    }
}

}  // namespace glomera
