#pragma once

#include <pybind11/pybind11.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "voikit/io/error.h"
#include "voikit/io/log.h"
#include "voikit/space/coordinate_space.h"

// What the parts of the module share: turning the toolbox's errors into Python's, the names
// of spaces and transforms, and the call a result records as what made it.
namespace binding {

namespace py = pybind11;

// The module's exception for a file that cannot be read or made: both an OSError and a
// ValueError, with `filename` set and the toolbox's message as its text.
void declareFileError(py::module_& module);

// Raises the Python exception for a toolbox error: a UsageError is a ValueError; an Error
// whose message names one of `files` is a FileError with that file as `filename`; any other
// Error a ValueError. The message is the one the command line prints.
[[noreturn]] void raiseError(const std::exception& error, const std::vector<std::string>& files);

// Runs `work`, raising a toolbox error as raiseError says.
template <typename Work>
auto translated(const std::vector<std::string>& files, Work&& work) -> decltype(work()) {
    try {
        return work();
    } catch (const voikit::UsageError& error) {
        raiseError(error, files);
    } catch (const voikit::Error& error) {
        raiseError(error, files);
    }
}

// "tal" or "mni" to a space; None to nothing. Raises ValueError naming the choices.
std::optional<voikit::Space> spaceOf(const py::object& name, const char* argument);
voikit::MniToTal transformOf(const std::string& name);
// "tal" or "mni".
std::string spaceWord(voikit::Space space);

// The parts of the module, each declared by its own file.
void declareTables(py::module_& module);
void declareOutputs(py::module_& module);
void declareExtract(py::module_& module);

}  // namespace binding

namespace binding {

// What the toolbox warns of, gathered from any thread while the GIL is released, and then
// given to Python's warnings once it is held again. Notes (what was written) are dropped:
// the caller knows what it asked for.
class Gathered {
  public:
    voikit::Log log();
    void warn() const;

  private:
    std::mutex mutex_;
    std::vector<std::string> warnings_;
};

}  // namespace binding
