#pragma once

#include <string_view>

namespace glomera {

// Splits a text into lines at line feeds, as reading with a line-feed delimiter does: the
// line feed is not part of the line, a final line needs none, and a line feed at the very
// end does not begin another, empty line.
class TextLines {
  public:
    explicit TextLines(std::string_view text) : text_(text) {}

    bool next(std::string_view& line) {
        if (position_ >= text_.size()) return false;
        const std::size_t end = text_.find('\n', position_);
        if (end == std::string_view::npos) {
            line = text_.substr(position_);
            position_ = text_.size();
        } else {
            line = text_.substr(position_, end - position_);
            position_ = end + 1;
        }
        return true;
    }

  private:
    std::string_view text_;
    std::size_t position_ = 0;
};

}  // namespace glomera
