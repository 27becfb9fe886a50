#include "apps/option-values/option_values.h"

#include <fmt/format.h>

#include "common/strict_number.h"
#include "voikit/tables/list_voi.h"

namespace options {
namespace {

// A name table as a kind: "tal or mni" as it wants, "{tal,mni}" as CLI11 shows and refuses it.
template <typename Enum, std::size_t kCount>
ValueKind<Enum> nameKind(const std::array<const char*, kCount>& names,
                         std::optional<Enum> (*named)(std::string_view)) {
    ValueKind<Enum> kind{named, "", "{"};
    for (std::size_t i = 0; i < kCount; ++i) {
        kind.wants += (i == 0 ? "" : i + 1 == kCount ? " or " : ", ") + std::string(names[i]);
        kind.names += (i == 0 ? "" : ",") + std::string(names[i]);
    }
    kind.names += '}';
    return kind;
}

}  // namespace

std::string radiusHelp(const std::string& what) {
    return fmt::format("{} without one (default {:g} mm)", what, voikit::kDefaultRadius);
}

const ValueKind<double>& radiusKind() {
    static const ValueKind<double> kind{[](std::string_view text) {
                                            const auto value = glomera::parseFiniteNumber(text);
                                            return value && *value > 0 ? value : std::nullopt;
                                        },
                                        "a radius in mm above 0", ""};
    return kind;
}

const ValueKind<std::array<int, 3>>& colourKind() {
    static const ValueKind<std::array<int, 3>> kind{glomera::parseRgb,
                                                    "R,G,B: three whole numbers from 0 to 255", ""};
    return kind;
}

const ValueKind<voikit::Space>& spaceKind() {
    static const ValueKind<voikit::Space> kind = nameKind(voikit::kSpaceNames, voikit::spaceNamed);
    return kind;
}

const ValueKind<voikit::MniToTal>& transformKind() {
    static const ValueKind<voikit::MniToTal> kind =
        nameKind(voikit::kTransformNames, voikit::transformNamed);
    return kind;
}

const ValueKind<voikit::AtlasSideRule>& atlasSideRuleKind() {
    static const ValueKind<voikit::AtlasSideRule> kind =
        nameKind(voikit::kAtlasSideRuleNames, voikit::atlasSideRuleNamed);
    return kind;
}

std::string refusal(const std::string& option, const std::string& wants, const std::string& names,
                    std::string_view text) {
    const std::string given(text);
    if (!names.empty()) return option + ": " + given + " not in " + names;
    return option + ": wants " + wants + ", not \"" + given + "\"";
}

}  // namespace options
