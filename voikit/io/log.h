#pragma once

#include <functional>
#include <string>

namespace voikit {

// Where the toolbox tells what it did and what it noticed. The program decides where the
// lines go and how they are marked; either may be empty to drop them.
struct Log {
    std::function<void(const std::string&)> note;     // what was written
    std::function<void(const std::string&)> warning;  // what the user should look at

    void tell(const std::string& line) const {
        if (note) note(line);
    }
    void warn(const std::string& line) const {
        if (warning) warning(line);
    }
};

}  // namespace voikit
