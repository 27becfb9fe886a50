#pragma once

#include <fmt/format.h>

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace voikit {

// Text set in a column whose width counts bytes, as printf's "%-25s" does, where {fmt} counts
// code points. The toolbox's tables (info, report, colour table) have always been laid out in
// bytes, and names in .voi files may be Latin-1 as well as UTF-8: "{:<25}" of InBytes{name}
// pads `name` with blanks to 25 bytes and cuts nothing. A width known only at run time goes
// in `width` (the larger of the two counts).
struct InBytes {
    std::string_view text;
    std::size_t width = 0;
};

}  // namespace voikit

// Takes "{}", "{:<N}" and "{:>N}".
template <>
struct fmt::formatter<voikit::InBytes> {
    char align = '<';
    std::size_t width = 0;

    constexpr format_parse_context::iterator parse(format_parse_context& context) {
        auto at = context.begin();
        if (at != context.end() && (*at == '<' || *at == '>')) align = *at++;
        while (at != context.end() && *at >= '0' && *at <= '9') {
            width = width * 10 + static_cast<std::size_t>(*at++ - '0');
        }
        if (at != context.end() && *at != '}') {
            throw format_error("a width in bytes takes only '<' or '>' and a number");
        }
        return at;
    }

    template <typename Context>
    auto format(const voikit::InBytes& value, Context& context) const {
        const std::size_t wanted = std::max(width, value.width);
        const std::size_t padding = value.text.size() < wanted ? wanted - value.text.size() : 0;
        auto out = context.out();
        if (align == '>') out = std::fill_n(out, padding, ' ');
        out = std::copy(value.text.begin(), value.text.end(), out);
        if (align == '<') out = std::fill_n(out, padding, ' ');
        return out;
    }
};
