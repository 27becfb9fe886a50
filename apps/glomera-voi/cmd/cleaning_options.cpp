#include "apps/glomera-voi/cmd/cleaning_options.h"

#include "apps/option-values/option_values.h"
#include "common/strict_number.h"
#include "voikit/extract/extraction_tables.h"
#include "voikit/extract/series_cleaning.h"
#include "voikit/io/error.h"

namespace cmd {
namespace {

constexpr const char kGroup[] = "Time series: summary, mask, cleaning, connectivity";

options::ValueKind<double> positiveKind(const std::string& wants) {
    return {[](std::string_view text) -> std::optional<double> {
                const std::optional<double> value = glomera::parseFiniteNumber(text);
                if (value && *value > 0) return value;
                return std::nullopt;
            },
            wants, ""};
}

template <typename T>
options::ValueKind<T> namesKind(std::vector<std::pair<std::string, T>> table) {
    std::string names, wants;
    for (std::size_t n = 0; n < table.size(); ++n) {
        names += (n > 0 ? "," : "") + table[n].first;
        wants += (n == 0 ? "" : n + 1 == table.size() ? " or " : ", ") + table[n].first;
    }
    return {[table](std::string_view text) -> std::optional<T> {
                for (const auto& [name, value] : table) {
                    if (text == name) return value;
                }
                return std::nullopt;
            },
            wants, "{" + names + "}"};
}

}  // namespace

std::shared_ptr<CleaningOptions> CleaningOptions::declare(CLI::App& command) {
    auto o = std::make_shared<CleaningOptions>();
    voikit::CleaningSettings& s = o->settings_;
    using voikit::Connectivity;
    using voikit::Standardize;
    using voikit::Summary;
    const auto group = [&](CLI::Option* option) { return option->group(kGroup); };
    // An option read as CLI11 reads its target, shown as `type`.
    const auto plain = [&](const std::string& names, auto& target, const std::string& help,
                           const std::string& type) {
        return group(command.add_option(names, target, help)->type_name(type));
    };
    // A number above 0 that `wants` describes, shown as `type`.
    const auto positive = [&](const std::string& names, auto& target, const std::string& wants,
                              const std::string& help, const std::string& type) {
        return group(
            options::addValue(command, names, target, positiveKind(wants), help)->type_name(type));
    };
    group(options::addValue(
        command, "--summary", s.summary,
        namesKind<Summary>(
            {{"mean", Summary::kMean}, {"median", Summary::kMedian}, {"eig1", Summary::kEig1}}),
        "each volume's value of a VOI: the mean of its cells (default), "
        "their median, or the first eigenvariate of their series"));
    CLI::Option* mask = plain("--mask", s.mask,
                              "leave out the cells where this image (a brain mask or a grey-matter "
                              "probability map, on any grid) is not above --mask-threshold",
                              "IMAGE");
    group(options::addValue(command, "--mask-threshold", s.maskThreshold,
                            options::ValueKind<double>{[](std::string_view text) {
                                                           return glomera::parseFiniteNumber(text);
                                                       },
                                                       "a number", ""},
                            "the mask's value a cell must pass (default 0)")
              ->type_name("T")
              ->needs(mask));
    plain("--drop-volumes", s.dropVolumes,
          "leave out the first N volumes (before the scanner's steady state)", "N")
        // An image holds at most 2^20 volumes.
        ->check(CLI::Range(std::int64_t{0}, std::int64_t{1} << 20));
    group(command.add_flag("--detrend", s.detrend, "take away each series' linear trend"));
    positive("--high-pass", s.highPass, "a frequency in Hz above 0",
             "keep what lies above this frequency (Butterworth, order 5, forward and backward)",
             "HZ");
    positive("--low-pass", s.lowPass, "a frequency in Hz above 0",
             "keep what lies below this frequency", "HZ");
    positive("--t-r", s.repetitionTime, "a repetition time in seconds above 0",
             "the repetition time in seconds (default: the BIDS sidecar's RepetitionTime, else "
             "the header's pixdim[4])",
             "SECONDS");
    plain("--confounds", o->confounds_,
          "the confounds table of each image (as fMRIPrep writes "
          "*_desc-confounds_timeseries.tsv), given once per image in their order",
          "TSV")
        ->expected(1)
        ->take_all()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    plain("--confound-columns", o->columnLists_,
          "the confounds to regress out, by name, * standing for any text: "
          "trans_*,rot_*,csf,white_matter (an intercept is always fitted)",
          "LIST");
    plain("--censor", s.censorColumn,
          "a 0/1 column of the confounds table: volumes with 1 are left out of the fit and the "
          "z-scores and written n/a",
          "COLUMN");
    positive("--fd-threshold", s.fdThreshold, "a displacement in mm above 0",
             "censor volumes whose framewise_displacement passes this", "MM");
    group(options::addValue(
        command, "--standardize", s.standardize,
        namesKind<Standardize>({{"zscore", Standardize::kZscore}, {"psc", Standardize::kPsc}}),
        "z-scores (sample standard deviation, n - 1) or percent signal "
        "change against the series' mean before cleaning"));
    CLI::Option* connectivity = group(options::addValue(
        command, "--connectivity", s.connectivity,
        namesKind<Connectivity>(
            {{"correlation", Connectivity::kCorrelation}, {"partial", Connectivity::kPartial}}),
        "write the VOI-by-VOI matrix of the cleaned series beside them (NAME_connectivity.tsv)"));
    group(command
              .add_flag("--fisher-z", s.fisherZ,
                        "the matrix as Fisher's z, atanh(r), its diagonal n/a")
              ->needs(connectivity));
    return o;
}

std::string CleaningOptions::settle(std::size_t images, bool timeSeries, bool toFile,
                                    bool confoundsFound) {
    // The column lists, split at commas, make the settings' patterns.
    voikit::CleaningSettings& s = settings_;
    s.confoundColumns.clear();
    for (const std::string& list : columnLists_) {
        for (const std::string& pattern : glomera::splitAtCommas(list)) {
            if (pattern.empty()) return "--confound-columns " + list + ": an empty column name";
            s.confoundColumns.push_back(pattern);
        }
    }
    const bool series = s.cleans() || s.summary != voikit::Summary::kMean ||
                        s.connectivity != voikit::Connectivity::kNone;
    if (series && !timeSeries) {
        return "the summary, cleaning and connectivity options shape the time series: "
               "--stats and --json write each volume's statistics as they are";
    }
    if (s.connectivity != voikit::Connectivity::kNone && !toFile) {
        return "--connectivity writes its matrix beside the series: give -o PATH.tsv or "
               "--out-dir DIR";
    }
    if (!confounds_.empty() && !s.readsConfounds()) {
        return "--confounds gives a table that nothing uses: add --confound-columns, --censor "
               "or --fd-threshold";
    }
    if (s.readsConfounds() && confounds_.empty() && !confoundsFound) {
        return "--confound-columns, --censor and --fd-threshold read a confounds table: give "
               "--confounds TSV for each image";
    }
    if (!confounds_.empty() && confounds_.size() != images) {
        return std::to_string(confounds_.size()) + " confounds tables for " +
               std::to_string(images) + (images == 1 ? " image" : " images") +
               ": give --confounds once per image, in the images' order";
    }
    try {
        voikit::checkCleaning(s);
    } catch (const voikit::Error& error) {
        return error.what();
    }
    return "";
}

}  // namespace cmd
