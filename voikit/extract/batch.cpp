#include "voikit/extract/batch.h"

#include <sched.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "common/atomic_file.h"
#include "common/ends_with.h"
#include "voikit/extract/cell_mask.h"
#include "voikit/extract/confounds_table.h"
#include "voikit/extract/extraction_tables.h"
#include "voikit/extract/repetition_time.h"
#include "voikit/extract/series_cleaning.h"
#include "voikit/io/error.h"
#include "voikit/io/text_output.h"
#include "voikit/io/utf8.h"
#include "voikit/io/word_list.h"

namespace voikit {
namespace {

using Clock = std::chrono::steady_clock;

// The folder a file goes in, made with its parents where missing (a BIDS tree's
// sub-*/ses-*/func); throws Error naming it when it cannot be.
void makeFolderFor(const std::string& file) {
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    if (folder.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw Error("cannot make the folder " + folder.string() + ": " + error.message());
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

// Messages from every worker, one at a time, and the progress line under them.
class Reporter {
  public:
    Reporter(const Log& log, bool progress, std::size_t images)
        : log_(log), progress_(progress), images_(images) {}

    void warn(const std::string& line) {
        const std::lock_guard<std::mutex> lock(mutex_);
        clear();
        log_.warn(line);
        draw();
    }
    void tell(const std::string& line) {
        const std::lock_guard<std::mutex> lock(mutex_);
        clear();
        log_.tell(line);
        draw();
    }
    void volumeRead() {
        ++volumes_;
        if (!progress_) return;
        const std::lock_guard<std::mutex> lock(mutex_);
        // Redrawn a few times a second at most.
        if (Clock::now() - drawn_ > std::chrono::milliseconds(200)) draw();
    }
    void imageDone(bool failed) {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
        failed_ += failed ? 1 : 0;
        draw();
    }
    void finish() {
        const std::lock_guard<std::mutex> lock(mutex_);
        clear();
    }

  private:
    void clear() {
        if (progress_ && shown_) std::fputs("\r\033[K", stderr);
        shown_ = false;
    }
    void draw() {
        if (!progress_) return;
        const std::string line = "\r\033[Kextract: " + std::to_string(done_) + " of " +
                                 counted(static_cast<long long>(images_), "image") + " done" +
                                 (failed_ > 0 ? ", " + std::to_string(failed_) + " failed" : "") +
                                 ", " + counted(static_cast<long long>(volumes_.load()), "volume") +
                                 " read";
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
        shown_ = true;
        drawn_ = Clock::now();
    }

    const Log& log_;
    const bool progress_;
    const std::size_t images_;
    std::mutex mutex_;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
    std::atomic<long long> volumes_{0};
    bool shown_ = false;
    Clock::time_point drawn_{};
};

// One table for all images, written in the order the images were given whatever order they
// finish in: each image's text waits until those before it are in. A file appears whole at
// the end, or not at all when no image made it.
class OrderedTable {
  public:
    OrderedTable(const std::string& path, std::size_t images, const std::string& opening)
        : path_(path), pending_(images), done_(images, false) {
        if (path_ != "-" && !file_.open(path_)) {
            throw Error("cannot create " + path_ + ": " + std::strerror(errno));
        }
        write(opening);
    }

    // The image's text, or nothing for an image that failed.
    void put(std::size_t image, std::optional<std::string> text) {
        const std::lock_guard<std::mutex> lock(mutex_);
        pending_[image] = std::move(text);
        done_[image] = true;
        while (next_ < pending_.size() && done_[next_]) {
            if (pending_[next_]) {
                if (written_ > 0) write(separator_);
                write(*pending_[next_]);
                ++written_;
                pending_[next_].reset();
            }
            ++next_;
        }
    }
    void separator(std::string text) { separator_ = std::move(text); }

    // Writes the closing text and makes the file appear; false when no image made it, and
    // then there is no file.
    bool commit(const std::string& closing) {
        if (written_ == 0 && path_ != "-") return false;
        write(closing);
        if (path_ == "-") {
            std::fflush(stdout);
            return true;
        }
        if (!file_.commit())
            throw Error(path_, std::string("cannot write: ") + std::strerror(errno));
        return true;
    }

  private:
    void write(const std::string& text) {
        if (path_ == "-") {
            std::fwrite(text.data(), 1, text.size(), stdout);
        } else {
            file_.append(text.data(), text.size());
        }
    }

    const std::string path_;
    glomera::AtomicFile file_;
    std::mutex mutex_;
    std::vector<std::optional<std::string>> pending_;
    std::vector<bool> done_;
    std::string separator_;
    std::size_t next_ = 0;
    std::size_t written_ = 0;
};

// An image's time series, cleaned, and its matrix as text when asked.
struct SeriesOutput {
    SeriesTable series;
    CleaningRecord record;
    std::string matrix;
    std::vector<std::string> warnings;
    std::vector<std::string> notes;
};

// "12, 40, 41" for the first few numbers and a count of the rest.
std::string numbers(const std::vector<std::int64_t>& values) {
    constexpr std::size_t kShown = 20;
    std::string text;
    for (std::size_t n = 0; n < values.size() && n < kShown; ++n) {
        text += (n > 0 ? ", " : "") + std::to_string(values[n]);
    }
    if (values.size() > kShown) text += " and " + std::to_string(values.size() - kShown) + " more";
    return text;
}

SeriesOutput timeSeriesOf(const ImageExtraction& extraction, const CleaningSettings& cleaning,
                          const ConfoundsTable* confounds, const std::string& sidecar,
                          const std::vector<std::string>& names,
                          const std::vector<std::string>& columns) {
    SeriesOutput out;
    out.series = summarySeries(extraction, cleaning.summary);
    const std::string& image = extraction.image;
    if (extraction.volumes < 2 && (cleaning.cleans() || cleaning.summary == Summary::kEig1 ||
                                   cleaning.connectivity != Connectivity::kNone)) {
        throw Error(image +
                    ": a 3D image (one volume) has no time series to clean, correlate or take "
                    "an eigenvariate of");
    }  // The repetition time is recorded whenever it is known; a sidecar that cannot be read
    // stops the image only where the filters need it.
    RepetitionTime tr;
    try {
        tr = repetitionTimeOf(image, extraction.timeStep, extraction.timeUnit, extraction.volumes,
                              sidecar, cleaning.repetitionTime);
    } catch (const Error& error) {
        if (cleaning.highPass || cleaning.lowPass) throw;
        out.warnings.push_back(std::string(error.what()) + "; no repetition time recorded");
    }
    if (cleaning.cleans()) {
        out.series = cleanSeries(std::move(out.series), image, confounds, tr, cleaning, names,
                                 out.warnings, out.record);
        const CleaningRecord& r = out.record;
        if (!r.confoundColumns.empty()) {
            std::string columns;
            for (const std::string& column : r.confoundColumns) {
                columns += (columns.empty() ? "" : ", ") + column;
            }
            out.notes.push_back(
                image + ": " +
                counted(static_cast<long long>(r.confoundColumns.size()), "confound column") +
                " and an intercept regressed out: " + columns);
        }
        if (!r.censored.empty()) {
            out.notes.push_back(image + ": " + std::to_string(r.censored.size()) + " of " +
                                counted(r.volumesKept, "volume") +
                                " censored (written n/a), counted from 0: " + numbers(r.censored));
        }
    } else {
        out.record.repetitionTime = tr.seconds;
        out.record.repetitionTimeSource = tr.source;
        out.record.volumesKept = out.series.volumes;
    }
    if (cleaning.connectivity != Connectivity::kNone) {
        SquareMatrix matrix = correlationMatrix(
            out.series.values, static_cast<std::size_t>(out.series.volumes), out.series.vois);
        if (cleaning.connectivity == Connectivity::kPartial) {
            try {
                matrix = partialCorrelationMatrix(matrix, names);
            } catch (const Error& error) {
                throw Error(image + ": " + error.what());
            }
        }
        if (cleaning.fisherZ) toFisherZ(matrix);
        out.matrix = matrixText(matrix, columns);
    }
    return out;
}

// "IMAGE: the mask M keeps of each VOI's cells: ..." for cells that were masked.
std::string maskCounts(const std::string& image, const std::string& mask, const VoiCells& cells,
                       const std::vector<std::string>& names) {
    std::string text = image + ": the mask " + mask + " keeps of each VOI's cells:";
    for (std::size_t v = 0; v < cells.cells.size(); ++v) {
        text += "\n  " + std::to_string(v + 1) + " " + names[v] + ": " +
                std::to_string(cells.cells[v].size()) + " of " + std::to_string(cells.unmasked[v]);
    }
    return text;
}

}  // namespace

std::string outputFileFor(const std::string& image, const std::string& outDir, ExtractTable table) {
    std::string name = asUtf8(image.substr(image.find_last_of('/') + 1));
    for (const char* extension : {".nii.gz", ".nii", ".hdr.gz", ".hdr"}) {
        if (glomera::endsWith(name, extension) && name.size() > std::strlen(extension)) {
            name.resize(name.size() - std::strlen(extension));
            break;
        }
    }
    const char* suffix = table == ExtractTable::kTimeSeries   ? "_voi_timeseries.tsv"
                         : table == ExtractTable::kStatistics ? "_voi_stats.tsv"
                                                              : "_voi_stats.json";
    return (outDir.empty() || glomera::endsWith(outDir, "/") ? outDir : outDir + "/") + name +
           suffix;
}

std::string connectivityFileFor(const std::string& seriesFile) {
    const std::pair<const char*, const char*> names[] = {
        {"_voi_timeseries.tsv", "_voi_connectivity.tsv"},
        {"_timeseries.tsv", "_connectivity.tsv"},
        {".tsv", "_connectivity.tsv"}};
    for (const auto& [series, matrix] : names) {
        if (glomera::endsWith(seriesFile, series)) {
            return seriesFile.substr(0, seriesFile.size() - std::strlen(series)) + matrix;
        }
    }
    return seriesFile + "_connectivity.tsv";
}

unsigned processorsAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&set));
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

BatchOutcome extractImages(const Regions& regions, const BatchSettings& settings, const Log& log) {
    const std::size_t images = settings.images.size();
    const bool perImage = !settings.outDir.empty();
    std::vector<std::string> outputs;
    if (perImage) {
        std::map<std::string, std::size_t> seen;
        for (std::size_t n = 0; n < images; ++n) {
            outputs.push_back(
                settings.outputs.empty()
                    ? outputFileFor(settings.images[n], settings.outDir, settings.table)
                    : settings.outputs.at(n));
            const auto [at, fresh] = seen.emplace(outputs.back(), n);
            if (!fresh) {
                throw Error(settings.images[at->second] + " and " + settings.images[n] +
                            " would both be written to " + outputs.back() +
                            ": give images of different names, or extract them in two runs");
            }
        }
    }
    BatchOutcome outcome;
    if (!perImage && settings.skipExisting && settings.output != "-" && exists(settings.output)) {
        log.tell(settings.output + " is there already: nothing to do (--skip-existing)");
        outcome.skipped = images;
        return outcome;
    }
    // Names made UTF-8 before they are told apart, so that two that read the same differ.
    const std::vector<std::string> columns = columnNames(utf8Texts(regions.names()));
    const auto opening = [&] {
        return settings.table == ExtractTable::kStatistics ? statisticsHeader()
               : settings.table == ExtractTable::kJson     ? jsonOpening()
                                                           : std::string();
    };
    const auto body = [&](const ImageExtraction& extraction) {
        return settings.table == ExtractTable::kStatistics
                   ? statisticsRows(extraction, regions.names())
                   : statisticsJson(extraction, regions.names());
    };
    std::optional<OrderedTable> table;
    if (!perImage) {
        table.emplace(settings.output, images, opening());
        if (settings.table == ExtractTable::kJson) table->separator(jsonSeparator());
    }

    // What the cleaning reads, read before any work so that a table that lacks a column
    // stops the run before it starts.
    checkCleaning(settings.cleaning);
    std::optional<CellMask> mask;
    if (!settings.cleaning.mask.empty()) {
        mask.emplace(settings.cleaning.mask, settings.cleaning.maskThreshold,
                     settings.extraction.gridSpace, settings.extraction.transform);
    }
    std::vector<ConfoundsTable> confounds;
    if (settings.table == ExtractTable::kTimeSeries && settings.cleaning.readsConfounds()) {
        std::vector<std::string> named;
        if (!settings.cleaning.censorColumn.empty())
            named.push_back(settings.cleaning.censorColumn);
        if (settings.cleaning.fdThreshold) named.emplace_back("framewise_displacement");
        for (std::size_t n = 0; n < images; ++n) {
            if (n >= settings.confounds.size() || settings.confounds[n].empty()) {
                throw Error(settings.images[n] +
                            " has no confounds table, which the cleaning "
                            "asked for needs: give --confounds TSV for each image");
            }
            confounds.push_back(readConfoundsTable(settings.confounds[n],
                                                   settings.cleaning.confoundColumns, named));
        }
    }
    ExtractionSettings extractionSettings = settings.extraction;
    extractionSettings.eigenvariates =
        settings.table == ExtractTable::kTimeSeries && settings.cleaning.summary == Summary::kEig1;
    std::mutex maskMutex;
    std::set<const VoiCells*> maskReported;

    CellCache cache(regions, mask ? &*mask : nullptr);
    Reporter reporter(log, settings.progress, images);
    std::mutex outcomeMutex;
    std::vector<std::optional<std::string>> failures(images);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t n; (n = next++) < images;) {
            const std::string& image = settings.images[n];
            if (perImage && settings.skipExisting && exists(outputs[n])) {
                reporter.imageDone(false);
                const std::lock_guard<std::mutex> lock(outcomeMutex);
                ++outcome.skipped;
                continue;
            }
            std::optional<std::string> text;
            try {
                const ImageExtraction extraction =
                    extractImage(image, cache, extractionSettings, [&] { reporter.volumeRead(); });
                for (const std::string& warning : extractionWarnings(extraction, regions)) {
                    reporter.warn(warning);
                }
                if (mask) {
                    const std::lock_guard<std::mutex> lock(maskMutex);
                    if (maskReported.insert(extraction.cells.get()).second) {
                        reporter.tell(
                            maskCounts(image, mask->path(), *extraction.cells, regions.names()));
                    }
                }
                std::optional<SeriesOutput> series;
                if (settings.table == ExtractTable::kTimeSeries) {
                    series = timeSeriesOf(extraction, settings.cleaning,
                                          confounds.empty() ? nullptr : &confounds[n],
                                          n < settings.sidecars.size() ? settings.sidecars[n] : "",
                                          regions.names(), columns);
                    for (const std::string& warning : series->warnings) reporter.warn(warning);
                    for (const std::string& note : series->notes) reporter.tell(note);
                    text = seriesText(series->series, columns);
                } else {
                    text = body(extraction);
                }
                const std::string seriesFile = perImage ? outputs[n] : settings.output;
                std::vector<std::string> files;
                if (perImage) {
                    const std::string closing =
                        settings.table == ExtractTable::kJson ? jsonClosing({}) : "";
                    makeFolderFor(outputs[n]);
                    writeTextOutput(outputs[n], opening() + *text + closing);
                    files.push_back(outputs[n]);
                } else if (series) {
                    files.push_back(seriesFile);  // written whole once the run ends
                }
                const bool matrix = series && settings.cleaning.connectivity != Connectivity::kNone;
                if (matrix) {
                    files.push_back(connectivityFileFor(seriesFile));
                    try {
                        writeTextOutput(files.back(), series->matrix);
                    } catch (...) {
                        // The series and its matrix both, or neither.
                        if (perImage) std::remove(outputs[n].c_str());
                        throw;
                    }
                }
                if (perImage) reporter.tell("wrote " + outputs[n] + " from " + image);
                if (matrix) reporter.tell("wrote " + files.back() + " from " + image);
                if (series && settings.seriesWritten) {
                    settings.seriesWritten({n, image, series->series, series->record, files});
                }
                if (settings.imageExtracted) {
                    settings.imageExtracted(n, extraction, perImage ? outputs[n] : "");
                }
            } catch (const std::bad_alloc&) {
                failures[n] = image + ": not enough memory to extract its values";
            } catch (const std::exception& error) {
                failures[n] = error.what();
            }
            if (failures[n]) {
                text.reset();
                // Named at once among many; the summary at the end names them all again.
                if (images > 1) reporter.warn("failed: " + *failures[n]);
            }
            if (table) table->put(n, std::move(text));
            reporter.imageDone(failures[n].has_value());
            const std::lock_guard<std::mutex> lock(outcomeMutex);
            outcome.written += failures[n] ? 0 : 1;
        }
    };
    const unsigned jobs = std::max(1u, std::min<unsigned>(settings.jobs, images));
    std::vector<std::thread> workers;
    for (unsigned j = 1; j < jobs; ++j) workers.emplace_back(work);
    work();
    for (std::thread& worker : workers) worker.join();
    reporter.finish();

    for (std::size_t n = 0; n < images; ++n) {
        if (failures[n]) outcome.failures.emplace_back(settings.images[n], *failures[n]);
    }
    if (table) {
        const std::string closing =
            settings.table == ExtractTable::kJson ? jsonClosing(outcome.failures) : "";
        bool committed = false;
        try {
            committed = table->commit(closing);
        } catch (...) {
            // The series and its matrix both, or neither.
            if (settings.cleaning.connectivity != Connectivity::kNone) {
                std::remove(connectivityFileFor(settings.output).c_str());
            }
            throw;
        }
        if (committed && settings.output != "-") {
            log.tell("wrote " + settings.output + " from " + std::to_string(outcome.written) +
                     (outcome.written == 1 ? " image" : " images"));
        }
    }
    return outcome;
}

}  // namespace voikit
