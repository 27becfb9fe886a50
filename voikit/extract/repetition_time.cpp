#include "voikit/extract/repetition_time.h"

#include <nifti2_io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "common/ends_with.h"
#include "voikit/extract/extraction_tables.h"
#include "voikit/io/error.h"
#include "voikit/io/text_input.h"

namespace voikit {
namespace {

bool exists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

std::optional<double> fromSidecar(const std::string& path) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(readTextInput(path));
    } catch (const nlohmann::json::exception& error) {
        throw Error(path + ": the sidecar is no JSON: " + error.what());
    }
    if (!document.is_object() || !document.contains("RepetitionTime")) return std::nullopt;
    const nlohmann::json& value = document["RepetitionTime"];
    if (!value.is_number() || !(value.get<double>() > 0) || !std::isfinite(value.get<double>())) {
        throw Error(path + ": RepetitionTime is " + value.dump() +
                    ", not a positive number of seconds");
    }
    return value.get<double>();
}

// pixdim[4] in seconds, for a series; `unitless` tells that the header gives no time unit.
std::optional<double> fromHeader(double step, int unit, std::int64_t volumes, bool& unitless) {
    unitless = false;
    if (volumes < 2 || !(step > 0) || !std::isfinite(step)) return std::nullopt;
    switch (unit) {
        case NIFTI_UNITS_MSEC:
            return step / 1e3;
        case NIFTI_UNITS_USEC:
            return step / 1e6;
        case NIFTI_UNITS_SEC:
            return step;
        default:
            unitless = true;
            return step;
    }
}

bool differ(double a, double b) { return std::fabs(a - b) > 1e-6 * std::max(a, b); }

}  // namespace

std::string sidecarBeside(const std::string& image) {
    for (const char* extension : {".nii.gz", ".nii"}) {
        if (glomera::endsWith(image, extension)) {
            return image.substr(0, image.size() - std::string(extension).size()) + ".json";
        }
    }
    return image + ".json";
}

RepetitionTime repetitionTimeOf(const std::string& image, double timeStep, int timeUnit,
                                std::int64_t volumes, const std::string& sidecar,
                                std::optional<double> given) {
    const std::string sidecarPath = sidecar.empty() ? sidecarBeside(image) : sidecar;
    std::optional<double> fromJson;
    if (!sidecar.empty() && !exists(sidecar)) {
        throw Error(image + ": its sidecar " + sidecar + " is missing");
    }
    if (exists(sidecarPath)) fromJson = fromSidecar(sidecarPath);
    bool unitless = false;
    const std::optional<double> fromPixdim = fromHeader(timeStep, timeUnit, volumes, unitless);

    RepetitionTime out;
    if (given) {
        out.seconds = given;
        out.source = "--t-r";
    } else if (fromJson) {
        out.seconds = fromJson;
        out.source = sidecarPath;
    } else if (fromPixdim) {
        out.seconds = fromPixdim;
        out.source = "pixdim[4]";
        if (unitless) {
            out.warnings.push_back(image + ": the header sets no time unit; pixdim[4] " +
                                   tableNumber(*fromPixdim) +
                                   " taken as seconds (give --t-r to say otherwise)");
        }
    }
    if (!out.seconds) return out;
    std::string others;
    if (given && fromJson && differ(*given, *fromJson)) {
        others += ", " + sidecarPath + " RepetitionTime " + tableNumber(*fromJson) + " s";
    }
    if (fromPixdim && out.source != "pixdim[4]" && differ(*out.seconds, *fromPixdim)) {
        others += ", pixdim[4] " + tableNumber(*fromPixdim) + " s";
    }
    if (!others.empty()) {
        out.warnings.push_back(image + ": the repetition times differ: " + out.source + " " +
                               tableNumber(*out.seconds) + " s (used)" + others);
    }
    return out;
}

}  // namespace voikit
