// The Python module _glomera: the toolbox's libraries as Python functions, with numpy arrays
// for images' values. The pure-Python package glomera wraps it (glomera/__init__.py).
#include <pybind11/eval.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "python/binding.h"
#include "voikit/io/error.h"
#include "voikit/provenance/version.h"
#include "voikit/space/coordinate_space.h"

namespace binding {
namespace {

// The exception class, made once when the module is imported.
py::object& fileError() {
    static py::object* error = nullptr;
    if (!error) error = new py::object();  // kept for the interpreter's life
    return *error;
}

// The file a message is about: the longest of `files` that opens it ("PATH: reason") or that
// it names elsewhere ("cannot read PATH: ..."); empty when it names none.
std::string fileNamed(const std::string& message, const std::vector<std::string>& files) {
    std::string best;
    std::size_t bestAt = std::string::npos;
    for (const std::string& file : files) {
        if (file.empty() || file == "-") continue;
        const std::size_t at = message.find(file);
        if (at == std::string::npos) continue;
        if (at < bestAt || (at == bestAt && file.size() > best.size())) {
            best = file;
            bestAt = at;
        }
    }
    return best;
}

}  // namespace

void declareFileError(py::module_& module) {
    py::dict scope;
    scope["__builtins__"] = py::module_::import("builtins");
    py::exec(R"(
class FileError(OSError, ValueError):
    """A file that cannot be read, or whose content cannot be taken, or an output that cannot
    be made. `filename` names the file; the text is the message the command line prints."""

    def __str__(self):
        return str(self.args[0]) if self.args else ""
)",
             scope);
    fileError() = scope["FileError"];
    fileError().attr("__module__") = "glomera";
    module.attr("FileError") = fileError();
}

void raiseError(const std::exception& error, const std::vector<std::string>& files) {
    const std::string message = error.what();
    // The file the toolbox named when it threw, else the one of the call's files its
    // message names.
    const auto* known = dynamic_cast<const voikit::Error*>(&error);
    const std::string file = known && !known->path().empty() ? known->path()
                             : known                         ? fileNamed(message, files)
                                                             : "";
    if (file.empty()) throw py::value_error(message);
    py::object instance = fileError()(message);
    instance.attr("filename") = file;
    PyErr_SetObject(fileError().ptr(), instance.ptr());
    throw py::error_already_set();
}

std::optional<voikit::Space> spaceOf(const py::object& name, const char* argument) {
    if (name.is_none()) return std::nullopt;
    const std::string text = py::str(name);
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (const std::optional<voikit::Space> space = voikit::spaceNamed(lower)) return space;
    throw py::value_error(std::string(argument) + "=" + py::repr(name).cast<std::string>() +
                          ": give 'tal' or 'mni'");
}

voikit::MniToTal transformOf(const std::string& name) {
    if (const std::optional<voikit::MniToTal> transform = voikit::transformNamed(name)) {
        return *transform;
    }
    throw py::value_error("mni_to_tal='" + name + "': give 'spm', 'fsl', 'other' or 'brett'");
}

std::string spaceWord(voikit::Space space) {
    return voikit::kSpaceNames[static_cast<std::size_t>(space)];
}

voikit::Log Gathered::log() {
    voikit::Log log;
    log.warning = [this](const std::string& line) {
        const std::lock_guard<std::mutex> lock(mutex_);
        warnings_.push_back(line);
    };
    return log;
}

void Gathered::warn() const {
    const py::object warn = py::module_::import("warnings").attr("warn");
    const py::object category = py::module_::import("builtins").attr("UserWarning");
    for (const std::string& line : warnings_) warn(line, category, 3);
}

}  // namespace binding

PYBIND11_MODULE(_glomera, module) {
    module.doc() =
        "Glomera's toolbox as Python functions: tables of peaks, spheres and .voi files, what "
        "lies at a point, values extracted from images as numpy arrays, and the interactive "
        "page. Import the package glomera, which wraps this module.";
    module.attr("__version__") = voikit::glomeraVersion();
    module.attr("build_commit") = voikit::buildCommit();
    binding::declareFileError(module);
    binding::declareTables(module);
    binding::declareOutputs(module);
    binding::declareExtract(module);
}
