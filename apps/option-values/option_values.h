#pragma once

#include <CLI/CLI.hpp>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "voikit/space/atlas_sides.h"
#include "voikit/space/coordinate_space.h"

// Values the command lines take, typed while CLI11 parses them: each text is read once, by the
// strict number rules or a name table, into the variable the program uses, or refused at once
// with the option's name, what it wants and the text. Nothing reaches a program's work as a
// string to be read again.
namespace options {

// A kind of value: how a text is read, and what an option of this kind wants.
template <typename T>
struct ValueKind {
    std::function<std::optional<T>(std::string_view)> read;  // nothing: not a value of the kind
    std::string wants;                                       // "a radius in mm above 0"
    std::string names;  // a name table's choices as CLI11 shows them, "{tal,mni}"; else empty
};

// The kinds both programs take.
const ValueKind<double>& radiusKind();                        // a radius in mm above 0
const ValueKind<std::array<int, 3>>& colourKind();            // R,G,B: three whole numbers 0..255
const ValueKind<voikit::Space>& spaceKind();                  // tal or mni
const ValueKind<voikit::MniToTal>& transformKind();           // spm, fsl, other or brett
const ValueKind<voikit::AtlasSideRule>& atlasSideRuleKind();  // check or ignore

// The help of an option of the spheres' radius: `what` it is, "... for rows", then "without
// one" and the default radius.
std::string radiusHelp(const std::string& what);

// What `option` says of a `text` that is not what it `wants`, in CLI11's own words:
// "--radius: wants a radius in mm above 0, not \"0\"", or for a name table
// "--space: icbm not in {tal,mni}".
std::string refusal(const std::string& option, const std::string& wants, const std::string& names,
                    std::string_view text);

// What `text` is as a value of `kind`; throws CLI::ValidationError with the refusal for
// `option` when it is none.
template <typename T>
T valueOf(const std::string& option, std::string_view text, const ValueKind<T>& kind) {
    std::optional<T> value = kind.read(text);
    if (!value) throw CLI::ValidationError(refusal(option, kind.wants, kind.names, text));
    return std::move(*value);
}

namespace detail {

template <typename T>
void store(T& target, T value) {
    target = std::move(value);
}
template <typename T>
void store(std::optional<T>& target, T value) {
    target = std::move(value);
}
template <typename T>
void store(std::vector<T>& target, T value) {
    target.push_back(std::move(value));
}

template <typename Target>
struct IsList : std::false_type {};
template <typename T>
struct IsList<std::vector<T>> : std::true_type {};

}  // namespace detail

// Adds an option that reads what it is given into `target`: a T, a std::optional<T> left empty
// unless the option is given, or a std::vector<T> of every value in the order given. Its type
// shows as TEXT (with a name table's choices) unless type_name() says else.
template <typename Target, typename T>
CLI::Option* addValue(CLI::App& app, const std::string& names, Target& target,
                      const ValueKind<T>& kind, const std::string& description) {
    // The callback names the option as CLI11 does, known once the option exists.
    auto name = std::make_shared<std::string>();
    CLI::Option* option = app.add_option(
        names,
        [&target, kind, name](const CLI::results_t& texts) {
            for (const std::string& text : texts) {
                detail::store(target, valueOf(*name, text, kind));
            }
            return true;
        },
        description);
    *name = option->get_name();
    option->type_name("TEXT")->type_size(1)->expected(
        detail::IsList<Target>::value ? CLI::detail::expected_max_vector_size : 1);
    if (!kind.names.empty()) {
        option->check(CLI::Validator(kind.names));  // shows the choices in the help
    }
    return option;
}

}  // namespace options
