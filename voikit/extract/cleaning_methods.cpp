#include "voikit/extract/cleaning_methods.h"

#include <cstdio>

#include "voikit/io/word_list.h"

namespace voikit {
namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

std::vector<std::string> cleaningSentences(const CleaningSettings& s,
                                           const CleaningRecord* record) {
    std::vector<std::string> steps;
    if (s.dropVolumes > 0) {
        steps.push_back("The first " + counted(s.dropVolumes, "volume") +
                        " of each series (and of its confounds table) were dropped.");
    }
    if (s.detrend) steps.emplace_back("Each series was detrended (a linear trend removed).");
    if (s.highPass || s.lowPass) {
        const std::string band =
            s.highPass && s.lowPass
                ? "band-pass filter (" + number(*s.highPass) + " to " + number(*s.lowPass) + " Hz)"
            : s.highPass ? "high-pass filter (" + number(*s.highPass) + " Hz)"
                         : "low-pass filter (" + number(*s.lowPass) + " Hz)";
        steps.push_back("A Butterworth " + band +
                        " of order 5 was applied forward and backward (zero phase), to the "
                        "series and to the confounds alike.");
    }
    if (!s.confoundColumns.empty()) {
        std::vector<std::string> columns = record && !record->confoundColumns.empty()
                                               ? record->confoundColumns
                                               : s.confoundColumns;
        std::string step = "The series were regressed on " +
                           counted(static_cast<long long>(columns.size()), "confound") + " (" +
                           listedInWords(columns) +
                           ") and an intercept by least squares, and the fit taken away";
        if (record && !record->filledColumns.empty()) {
            step += "; n/a cells of a confound were given the mean of the column's other values";
        }
        steps.push_back(step + ".");
    }
    if (!s.censorColumn.empty() || s.fdThreshold) {
        std::string rule =
            !s.censorColumn.empty() ? "marked 1 in the column " + s.censorColumn : std::string();
        if (s.fdThreshold) {
            rule += std::string(rule.empty() ? "" : " or ") +
                    "with a framewise displacement above " + number(*s.fdThreshold) + " mm";
        }
        std::string step = "Volumes " + rule;
        if (record)
            step += " (" + counted(static_cast<long long>(record->censored.size()), "volume") + ")";
        steps.push_back(step +
                        " were censored after filtering: left out of the confound fit and of "
                        "the standardisation, and written as n/a.");
    }
    if (s.standardize == Standardize::kZscore) {
        steps.emplace_back("Each series was z-scored with its sample standard deviation (n - 1).");
    } else if (s.standardize == Standardize::kPsc) {
        steps.emplace_back(
            "Each series was expressed as percent signal change from its mean before "
            "cleaning.");
    }
    if (s.connectivity != Connectivity::kNone) {
        steps.push_back(std::string("Connectivity was the ") +
                        (s.connectivity == Connectivity::kPartial
                             ? "partial correlation (from the inverse of the correlation matrix)"
                             : "Pearson correlation") +
                        " of the cleaned series of each pair of VOIs" +
                        (s.fisherZ ? ", Fisher z-transformed." : "."));
    }
    return steps;
}

}  // namespace voikit
