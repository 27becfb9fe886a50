#include "voikit/extract/series_cleaning.h"

#include <cmath>
#include <limits>

#include "voikit/extract/extraction_tables.h"
#include "voikit/io/error.h"
#include "voikit/io/word_list.h"
#include "voikit/signal/linear_fit.h"
#include "voikit/signal/standardize.h"
#include "voikit/signal/zero_phase_filter.h"

namespace voikit {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

std::string hertz(double value) { return tableNumber(value) + " Hz"; }

// "3 Amygdala_L, 5 Insula_R" for the VOIs listed.
std::string listed(const std::vector<std::size_t>& vois, const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t n = 0; n < vois.size(); ++n) {
        text += (n > 0 ? ", " : "") + std::to_string(vois[n] + 1) + " " + names[vois[n]];
    }
    return text;
}

// The band filter for the repetition time, checked against it.
std::vector<Biquad> bandFilter(const CleaningSettings& settings, const RepetitionTime& tr,
                               const std::string& image, std::int64_t volumes) {
    if (!tr.seconds) {
        throw Error(image +
                    ": the band filter needs the repetition time, and none is known: give "
                    "--t-r SECONDS, a BIDS sidecar with RepetitionTime, or a header whose "
                    "pixdim[4] holds it");
    }
    const double nyquist = 0.5 / *tr.seconds;
    for (const auto& [option, cut] : {std::make_pair("--high-pass", settings.highPass),
                                      std::make_pair("--low-pass", settings.lowPass)}) {
        if (cut && !(*cut < nyquist)) {
            throw Error(image + ": " + option + " " + hertz(*cut) +
                        " is not below the Nyquist frequency " + hertz(nyquist) +
                        " of a repetition time of " + tableNumber(*tr.seconds) + " s");
        }
    }
    std::vector<Biquad> filter =
        butterworth(kFilterOrder, settings.highPass, settings.lowPass, 1.0 / *tr.seconds);
    const std::size_t padding = paddingOf(filter);
    if (volumes <= static_cast<std::int64_t>(padding)) {
        throw Error(image + ": " + counted(volumes, "volume") +
                    " are too few for the band filter, which pads each end with " +
                    std::to_string(padding) + ": it needs more than " + std::to_string(padding));
    }
    return filter;
}

}  // namespace

SeriesTable summarySeries(const ImageExtraction& extraction, Summary summary) {
    SeriesTable out;
    out.volumes = extraction.volumes;
    out.vois = extraction.vois();
    out.values.resize(static_cast<std::size_t>(out.volumes) * out.vois);
    for (std::int64_t t = 0; t < out.volumes; ++t) {
        for (std::size_t v = 0; v < out.vois; ++v) {
            const CellStatistics& s = extraction.at(t, v);
            double value = summary == Summary::kMedian ? s.median : s.mean;
            if (summary == Summary::kEig1) {
                const std::vector<double>& series = extraction.eigenvariates.at(v);
                value = series.empty() ? kNone : series[static_cast<std::size_t>(t)];
            }
            out.at(t, v) = value;
        }
    }
    return out;
}

void checkCleaning(const CleaningSettings& s) {
    if (s.highPass && s.lowPass && !(*s.highPass < *s.lowPass)) {
        throw Error("--high-pass " + hertz(*s.highPass) + " must lie below --low-pass " +
                    hertz(*s.lowPass) + " for a band between them");
    }
    if (s.repetitionTime && (s.highPass || s.lowPass)) {
        RepetitionTime given;
        given.seconds = s.repetitionTime;
        bandFilter(s, given, "--t-r " + tableNumber(*s.repetitionTime), 1 << 30);
    }
}

SeriesTable cleanSeries(SeriesTable series, const std::string& image,
                        const ConfoundsTable* confounds, const RepetitionTime& tr,
                        const CleaningSettings& settings, const std::vector<std::string>& names,
                        std::vector<std::string>& warnings, CleaningRecord& record) {
    const std::int64_t all = series.volumes;
    if (series.volumes < 2 && settings.cleans()) {
        throw Error(image + ": a 3D image (one volume) has no series to clean");
    }
    if (confounds != nullptr && static_cast<std::int64_t>(confounds->rows) != all) {
        throw Error(image + ": its confounds table " + confounds->path + " has " +
                    counted(static_cast<long long>(confounds->rows), "row") +
                    " of volumes, the image " + counted(all, "volume") +
                    " (the table must cover every volume, those dropped too)");
    }
    const std::int64_t drop = settings.dropVolumes;
    if (drop >= all) {
        throw Error(image + ": --drop-volumes " + std::to_string(drop) + " leaves nothing of " +
                    counted(all, "volume"));
    }
    const std::int64_t n = all - drop;
    const auto count = static_cast<std::size_t>(n);
    record.repetitionTime = tr.seconds;
    record.repetitionTimeSource = tr.source;
    // What is uncertain of the repetition time matters where the filters use it.
    if (settings.highPass || settings.lowPass) {
        for (const std::string& warning : tr.warnings) warnings.push_back(warning);
    }

    // Each VOI's series on its own, from the first volume kept.
    std::vector<std::vector<double>> voi(series.vois, std::vector<double>(count));
    for (std::size_t v = 0; v < series.vois; ++v) {
        for (std::int64_t t = 0; t < n; ++t)
            voi[v][static_cast<std::size_t>(t)] = series.at(t + drop, v);
    }

    // Censoring: 1 in the censor column, or framewise displacement above the threshold.
    std::vector<bool> kept(count, true);
    std::vector<std::vector<double>> columns;
    if (confounds != nullptr) {
        record.confounds = confounds->path;
        if (!settings.censorColumn.empty()) {
            const std::vector<double>& censor = *confounds->column(settings.censorColumn);
            for (std::int64_t t = 0; t < n; ++t) {
                const double value = censor[static_cast<std::size_t>(t + drop)];
                if (!std::isnan(value) && value != 0 && value != 1) {
                    throw Error(confounds->path + ": the censor column " + settings.censorColumn +
                                " holds " + tableNumber(value) + " in row " +
                                std::to_string(t + drop + 2) + ": it takes 0 (keep) or 1 (censor)");
                }
                if (value == 1) kept[static_cast<std::size_t>(t)] = false;
            }
        }
        if (settings.fdThreshold) {
            const std::vector<double>& fd = *confounds->column("framewise_displacement");
            for (std::int64_t t = 0; t < n; ++t) {
                if (fd[static_cast<std::size_t>(t + drop)] > *settings.fdThreshold) {
                    kept[static_cast<std::size_t>(t)] = false;
                }
            }
        }
        for (const std::string& pattern : settings.confoundColumns) {
            for (const std::string& name : matchedColumns(confounds->names, {pattern})) {
                if (std::find(record.confoundColumns.begin(), record.confoundColumns.end(), name) ==
                    record.confoundColumns.end()) {
                    record.confoundColumns.push_back(name);
                }
            }
        }
        for (const std::string& name : record.confoundColumns) {
            const std::vector<double>& source = *confounds->column(name);
            std::vector<double> column(source.begin() + drop, source.end());
            // n/a cells (fMRIPrep's first row of derivatives) take the mean of the rest.
            double sum = 0;
            std::int64_t numbers = 0;
            for (double value : column) {
                if (!std::isnan(value)) {
                    sum += value;
                    ++numbers;
                }
            }
            if (numbers == 0) {
                throw Error(confounds->path + ": column " + name +
                            " holds no number in the volumes kept");
            }
            const auto filled = static_cast<std::int64_t>(column.size()) - numbers;
            if (filled > 0) {
                for (double& value : column) {
                    if (std::isnan(value)) value = sum / static_cast<double>(numbers);
                }
                record.filledColumns.emplace_back(name, filled);
            }
            columns.push_back(std::move(column));
        }
    }
    for (std::int64_t t = 0; t < n; ++t) {
        if (!kept[static_cast<std::size_t>(t)]) record.censored.push_back(t + drop);
    }
    const auto keptCount = static_cast<std::size_t>(std::count(kept.begin(), kept.end(), true));
    if (keptCount < 2) {
        throw Error(image + ": censoring leaves " +
                    counted(static_cast<long long>(keptCount), "volume") + " of " +
                    counted(n, "volume"));
    }
    if (!record.filledColumns.empty()) {
        std::string text = confounds->path + ": n/a cells replaced by their column's mean:";
        for (const auto& [name, cells] : record.filledColumns) {
            text += " " + name + " (" + counted(cells, "cell") + ")";
        }
        warnings.push_back(text);
    }

    // A VOI with an n/a volume cannot be filtered or fitted: it stays n/a.
    std::vector<std::size_t> gaps;
    std::vector<double> baseline(series.vois, kNone);
    for (std::size_t v = 0; v < series.vois; ++v) {
        bool whole = true;
        double sum = 0;
        for (std::size_t t = 0; t < count; ++t) {
            whole = whole && std::isfinite(voi[v][t]);
            if (kept[t]) sum += voi[v][t];
        }
        if (!whole) {
            bool any = false;
            for (double value : voi[v]) any = any || std::isfinite(value);
            if (any) gaps.push_back(v);
            std::fill(voi[v].begin(), voi[v].end(), kNone);
            continue;
        }
        baseline[v] = sum / static_cast<double>(keptCount);
    }
    if (!gaps.empty()) {
        warnings.push_back(image + ": n/a in some volumes, so not cleaned and written n/a: " +
                           listed(gaps, names));
    }
    const auto each = [&](const auto& step) {
        for (std::size_t v = 0; v < series.vois; ++v) {
            if (!std::isnan(baseline[v])) step(voi[v].data());
        }
        for (auto& column : columns) step(column.data());
    };
    if (settings.detrend) each([&](double* x) { removeLinearTrend(x, count); });
    if (settings.highPass || settings.lowPass) {
        const std::vector<Biquad> filter = bandFilter(settings, tr, image, n);
        each([&](double* x) { filterZeroPhase(filter, x, count); });
    }
    if (!settings.confoundColumns.empty()) {
        const ConfoundSpace space(columns, kept);
        record.dependentColumns = space.dependent();
        if (keptCount <= space.rank()) {
            throw Error(image + ": " + counted(static_cast<long long>(space.rank()), "confound") +
                        " with the intercept leave no volume free among the " +
                        counted(static_cast<long long>(keptCount), "volume") + " fitted");
        }
        if (space.dependent() > 0) {
            warnings.push_back(
                image + ": " +
                counted(static_cast<long long>(space.dependent()), "confound column") +
                " left out of the fit: explained by the others and the intercept");
        }
        for (std::size_t v = 0; v < series.vois; ++v) {
            if (!std::isnan(baseline[v])) space.removeFrom(voi[v].data());
        }
    }
    std::vector<std::size_t> flat, unscaled;
    for (std::size_t v = 0; v < series.vois; ++v) {
        for (std::size_t t = 0; t < count; ++t) {
            if (!kept[t]) voi[v][t] = kNone;
        }
        if (std::isnan(baseline[v])) continue;
        if (settings.standardize == Standardize::kZscore && !toZScores(voi[v].data(), count)) {
            flat.push_back(v);
            std::fill(voi[v].begin(), voi[v].end(), kNone);
        }
        if (settings.standardize == Standardize::kPsc &&
            !toPercentChange(voi[v].data(), count, baseline[v])) {
            unscaled.push_back(v);
            std::fill(voi[v].begin(), voi[v].end(), kNone);
        }
    }
    if (!flat.empty()) {
        warnings.push_back(image + ": a series that does not vary has no z-score, written n/a: " +
                           listed(flat, names));
    }
    if (!unscaled.empty()) {
        warnings.push_back(image + ": percent signal change needs a positive mean, written n/a: " +
                           listed(unscaled, names));
    }
    SeriesTable out;
    out.firstVolume = series.firstVolume + drop;
    out.volumes = n;
    out.vois = series.vois;
    out.values.resize(count * series.vois);
    for (std::int64_t t = 0; t < n; ++t) {
        for (std::size_t v = 0; v < series.vois; ++v)
            out.at(t, v) = voi[v][static_cast<std::size_t>(t)];
    }
    record.volumesKept = n;
    return out;
}

}  // namespace voikit
