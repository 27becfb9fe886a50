#pragma once

#include <string_view>

namespace glomera {

constexpr bool endsWith(std::string_view text, std::string_view end) noexcept {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace glomera
