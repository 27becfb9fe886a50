#pragma once

#include <stdexcept>
#include <string>

namespace voikit {

// Anything the toolbox cannot do, with a message for the user that names the file and the
// reason. Programs catch it once, in main (exit status 1).
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
    // "path: reason", thrown where the file is known.
    Error(const std::string& path, const std::string& reason)
        : std::runtime_error(path + ": " + reason), path_(path) {}

    // The file the error is about, when it was thrown with one; else empty.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A command line that cannot be taken as given: what is missing or contradicts what, said in
// the user's words. Both programs' mains turn it into exit status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace voikit
