#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace voikit {

// An image's repetition time and where it came from.
struct RepetitionTime {
    std::optional<double> seconds;
    std::string source;  // "--t-r", the sidecar's path, or "pixdim[4]"
    std::vector<std::string> warnings;
};

// The JSON sidecar a BIDS image has beside it: its name with .json for .nii or .nii.gz.
std::string sidecarBeside(const std::string& image);

// The repetition time of the image: `given` (--t-r), else the sidecar's RepetitionTime, else
// the header's pixdim[4] in its time unit (taken as seconds where the unit is not set,
// with a warning). Where the sources disagree, a warning names each. `sidecar` empty means
// the one beside the image, if it is there; a sidecar named that is missing, is no JSON or
// holds a RepetitionTime that is no positive number throws Error naming it.
// `timeStep` and `timeUnit` are the header's (pixdim[4], its xyzt_units' time part), for a
// series of `volumes`.
RepetitionTime repetitionTimeOf(const std::string& image, double timeStep, int timeUnit,
                                std::int64_t volumes, const std::string& sidecar,
                                std::optional<double> given);

}  // namespace voikit
