#pragma once

#include <stdexcept>

namespace voikit {

// Anything the toolbox cannot do, with a message for the user that names the file and the
// reason. Programs catch it once, in main.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace voikit
