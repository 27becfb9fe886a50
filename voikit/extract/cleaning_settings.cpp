#include "voikit/extract/cleaning_settings.h"

#include "voikit/io/utf8.h"

namespace voikit {
namespace {

using nlohmann::json;

json optionalNumber(const std::optional<double>& value) {
    return value ? json(*value) : json(nullptr);
}

}  // namespace

bool CleaningSettings::cleans() const {
    return dropVolumes > 0 || detrend || highPass || lowPass || readsConfounds() ||
           standardize != Standardize::kNone;
}

bool CleaningSettings::readsConfounds() const {
    return !confoundColumns.empty() || !censorColumn.empty() || fdThreshold.has_value();
}

const char* summaryName(Summary summary) {
    switch (summary) {
        case Summary::kMedian:
            return "median";
        case Summary::kEig1:
            return "eig1";
        default:
            return "mean";
    }
}

const char* standardizeName(Standardize standardize) {
    switch (standardize) {
        case Standardize::kZscore:
            return "zscore";
        case Standardize::kPsc:
            return "psc";
        default:
            return "none";
    }
}

const char* connectivityName(Connectivity connectivity) {
    switch (connectivity) {
        case Connectivity::kCorrelation:
            return "correlation";
        case Connectivity::kPartial:
            return "partial";
        default:
            return "none";
    }
}

json toJson(const CleaningSettings& s) {
    json out = {
        {"summary", summaryName(s.summary)},
        {"mask", s.mask.empty() ? json(nullptr) : json(asUtf8(s.mask))},
        {"mask_threshold", s.maskThreshold},
        {"drop_volumes", s.dropVolumes},
        {"detrend", s.detrend ? "linear" : "none"},
        {"high_pass_hz", optionalNumber(s.highPass)},
        {"low_pass_hz", optionalNumber(s.lowPass)},
        {"filter", s.highPass || s.lowPass ? json("Butterworth, order 5, forward and backward")
                                           : json(nullptr)},
        {"confound_columns", utf8Texts(s.confoundColumns)},
        {"censor_column", s.censorColumn.empty() ? json(nullptr) : json(asUtf8(s.censorColumn))},
        {"fd_threshold_mm", optionalNumber(s.fdThreshold)},
        {"standardize", standardizeName(s.standardize)},
        {"t_r", optionalNumber(s.repetitionTime)},
        {"connectivity", connectivityName(s.connectivity)},
        {"fisher_z", s.fisherZ}};
    return out;
}

json toJson(const CleaningRecord& r) {
    json filled = json::object();
    for (const auto& [column, cells] : r.filledColumns) filled[asUtf8(column)] = cells;
    return {{"RepetitionTime", optionalNumber(r.repetitionTime)},
            {"repetition_time_source",
             r.repetitionTime ? json(asUtf8(r.repetitionTimeSource)) : json(nullptr)},
            {"confounds", r.confounds.empty() ? json(nullptr) : json(asUtf8(r.confounds))},
            {"confound_columns", utf8Texts(r.confoundColumns)},
            {"dependent_columns_left_out", r.dependentColumns},
            {"na_cells_given_column_mean", filled},
            {"censored_volumes", r.censored},
            {"volumes_written", r.volumesKept}};
}

}  // namespace voikit
