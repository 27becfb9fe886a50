// Values inside VOIs from images, as numpy arrays: the extraction `glomera-voi extract` runs,
// with the same settings, its series handed back instead of (or as well as) written.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/ends_with.h"
#include "common/strict_number.h"
#include "python/binding.h"
#include "python/peak_table.h"
#include "voikit/extract/batch.h"
#include "voikit/extract/cleaning_settings.h"
#include "voikit/extract/extraction.h"
#include "voikit/extract/regions.h"
#include "voikit/extract/sphere_regions.h"
#include "voikit/extract/voi_file_regions.h"
#include "voikit/io/error.h"
#include "voikit/io/scratch_folder.h"
#include "voikit/outputs/label_grid.h"
#include "voikit/signal/connectivity.h"

namespace binding {
namespace {

// The regions of a .voi file (a path ending in .voi), or the spheres of a table or points.
std::unique_ptr<voikit::Regions> regionsOf(const py::object& vois, const py::object& space,
                                           const std::optional<double>& radius,
                                           const py::module_& module) {
    if (py::isinstance<py::str>(vois)) {
        const std::string path = vois.cast<std::string>();
        if (glomera::endsWith(path, ".voi")) {
            return translated({path},
                              [&] { return std::make_unique<voikit::VoiFileRegions>(path); });
        }
        const py::object table = module.attr("read_table")(path, space, radius);
        return std::make_unique<voikit::SphereRegions>(spheresOf(table, radius, py::none(), {}));
    }
    std::vector<voikit::Sphere> spheres = spheresOf(vois, radius, space, {});
    if (spheres.empty()) throw py::value_error("no sphere: nothing to extract");
    return std::make_unique<voikit::SphereRegions>(std::move(spheres));
}

template <typename T>
std::optional<T> named(const std::string& argument, const std::string& name,
                       const std::vector<std::pair<std::string, T>>& table) {
    if (name.empty()) return std::nullopt;
    std::string choices;
    for (const auto& [text, value] : table) {
        if (text == name) return value;
        choices += (choices.empty() ? "'" : ", '") + text + "'";
    }
    throw py::value_error(argument + "='" + name + "': give " + choices);
}

std::vector<std::string> patternsOf(const py::object& columns) {
    std::vector<std::string> patterns;
    if (columns.is_none()) return patterns;
    const std::vector<std::string> lists =
        py::isinstance<py::str>(columns) ? std::vector<std::string>{columns.cast<std::string>()}
                                         : columns.cast<std::vector<std::string>>();
    for (const std::string& list : lists) {
        for (const std::string& pattern : glomera::splitAtCommas(list)) {
            if (pattern.empty()) {
                throw py::value_error("confound_columns " + list + ": an empty column name");
            }
            patterns.push_back(pattern);
        }
    }
    return patterns;
}

py::array_t<double> arrayOf(const std::vector<double>& values, std::int64_t rows,
                            std::size_t columns) {
    py::array_t<double> array({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)});
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

py::object jsonObject(const nlohmann::json& json) {
    return py::module_::import("json").attr("loads")(json.dump());
}

}  // namespace

void declareExtract(py::module_& module) {
    module.def(
        "_extract",
        [module](const py::object& vois, const std::vector<std::string>& images,
                 const std::vector<std::string>& confounds, const py::object& confoundColumns,
                 const std::string& summary, const std::string& mask, double maskThreshold,
                 std::int64_t dropVolumes, bool detrend, const std::optional<double>& highPass,
                 const std::optional<double>& lowPass, const std::optional<double>& tR,
                 const std::string& censor, const std::optional<double>& fdThreshold,
                 const std::string& standardize, const py::object& gridSpace,
                 const std::string& mniToTal, unsigned jobs, const py::object& progress,
                 const std::string& output, const std::string& outDir, const py::object& space,
                 const std::optional<double>& radius) {
            using voikit::Standardize;
            using voikit::Summary;
            voikit::BatchSettings settings;
            settings.images = images;
            settings.extraction.gridSpace = spaceOf(gridSpace, "grid_space");
            settings.extraction.transform = transformOf(mniToTal);
            voikit::CleaningSettings& c = settings.cleaning;
            c.summary = *named<Summary>(
                "summary", summary,
                {{"mean", Summary::kMean}, {"median", Summary::kMedian}, {"eig1", Summary::kEig1}});
            c.mask = mask;
            c.maskThreshold = maskThreshold;
            c.dropVolumes = dropVolumes;
            c.detrend = detrend;
            c.highPass = highPass;
            c.lowPass = lowPass;
            c.repetitionTime = tR;
            c.confoundColumns = patternsOf(confoundColumns);
            c.censorColumn = censor;
            c.fdThreshold = fdThreshold;
            c.standardize =
                named<Standardize>("standardize", standardize,
                                   {{"zscore", Standardize::kZscore}, {"psc", Standardize::kPsc}})
                    .value_or(Standardize::kNone);
            settings.confounds = confounds;
            settings.outDir = outDir;
            settings.jobs = std::max(1u, jobs);
            const std::unique_ptr<voikit::Regions> regions = regionsOf(vois, space, radius, module);

            std::vector<std::string> files = images;
            files.insert(files.end(), confounds.begin(), confounds.end());
            files.push_back(mask);
            files.push_back(output);
            files.push_back(outDir);
            if (py::isinstance<py::str>(vois)) files.push_back(vois.cast<std::string>());

            // Each image's series, kept as its worker hands it over.
            std::vector<std::optional<voikit::SeriesTable>> series(images.size());
            std::vector<nlohmann::json> records(images.size());
            std::mutex kept;
            settings.seriesWritten = [&](const voikit::WrittenSeries& written) {
                const std::lock_guard<std::mutex> lock(kept);
                series[written.index] = written.series;
                records[written.index] = voikit::toJson(written.record);
            };
            std::atomic<std::size_t> done{0};
            std::optional<py::error_already_set> callbackError;
            if (!progress.is_none()) {
                settings.imageExtracted = [&](std::size_t, const voikit::ImageExtraction&,
                                              const std::string&) {
                    const std::size_t now = ++done;
                    const py::gil_scoped_acquire locked;
                    if (callbackError) return;
                    try {
                        progress(now, images.size());
                    } catch (py::error_already_set& error) {
                        callbackError = std::move(error);
                    }
                };
            }
            Gathered gathered;
            voikit::BatchOutcome outcome;
            translated(files, [&] {
                const py::gil_scoped_release unlocked;
                const std::unique_ptr<voikit::ScratchFolder> scratch =
                    output.empty() && outDir.empty()
                        ? std::make_unique<voikit::ScratchFolder>("glomera-python")
                        : nullptr;
                settings.output = scratch ? scratch->path() + "/series.tsv" : output;
                outcome = voikit::extractImages(*regions, settings, gathered.log());
            });
            gathered.warn();
            if (callbackError) throw std::move(*callbackError);
            if (!outcome.failures.empty()) {
                std::string why = outcome.failures.front().second;
                if (images.size() > 1) {
                    why = std::to_string(outcome.failures.size()) + " of " +
                          std::to_string(images.size()) + " images failed:";
                    for (const auto& failure : outcome.failures) why += "\n  " + failure.second;
                }
                raiseError(voikit::Error(why), files);
            }
            py::list arrays, recorded;
            for (std::size_t n = 0; n < images.size(); ++n) {
                const voikit::SeriesTable& table = *series[n];
                arrays.append(arrayOf(table.values, table.volumes, table.vois));
                recorded.append(jsonObject(records[n]));
            }
            return py::make_tuple(regions->names(), arrays, recorded);
        },
        py::arg("vois"), py::arg("images"), py::arg("confounds"), py::arg("confound_columns"),
        py::arg("summary"), py::arg("mask"), py::arg("mask_threshold"), py::arg("drop_volumes"),
        py::arg("detrend"), py::arg("high_pass"), py::arg("low_pass"), py::arg("t_r"),
        py::arg("censor"), py::arg("fd_threshold"), py::arg("standardize"), py::arg("grid_space"),
        py::arg("mni_to_tal"), py::arg("jobs"), py::arg("progress"), py::arg("output"),
        py::arg("out_dir"), py::arg("space"), py::arg("radius"),
        "The time series of every image (glomera.extract wraps it): the VOIs' names, one "
        "array of volumes by VOIs per image, and what was done to each.");

    module.def(
        "connectivity",
        [](const py::array_t<double, py::array::c_style | py::array::forcecast>& series,
           const std::string& kind, bool fisherZ,
           const std::optional<std::vector<std::string>>& names) {
            if (series.ndim() != 2)
                throw py::value_error("series: give a 2D array, volumes by VOIs");
            const auto samples = static_cast<std::size_t>(series.shape(0));
            const auto columns = static_cast<std::size_t>(series.shape(1));
            const std::vector<double> values(series.data(), series.data() + samples * columns);
            std::vector<std::string> labels;
            for (std::size_t n = 0; n < columns; ++n) {
                labels.push_back(names && n < names->size() ? (*names)[n] : std::to_string(n + 1));
            }
            voikit::SquareMatrix matrix;
            translated({}, [&] {
                matrix = voikit::correlationMatrix(values, samples, columns);
                if (kind == "partial") {
                    matrix = voikit::partialCorrelationMatrix(matrix, labels);
                } else if (kind != "correlation") {
                    throw voikit::UsageError("kind='" + kind +
                                             "': give 'correlation' or 'partial'");
                }
                if (fisherZ) voikit::toFisherZ(matrix);
            });
            return arrayOf(matrix.values, static_cast<std::int64_t>(matrix.size), matrix.size);
        },
        py::arg("series"), py::arg("kind") = "correlation", py::arg("fisher_z") = false,
        py::arg("names") = py::none(),
        "The VOI-by-VOI matrix of a series (volumes by VOIs) that `glomera-voi extract "
        "--connectivity` writes: Pearson correlations over the volumes where every VOI with a "
        "value has one, or partial correlations (kind='partial'); Fisher's z with its "
        "diagonal NaN when fisher_z. NaN where there is no value.");

    module.def(
        "_image_grid",
        [](const std::string& image, const py::object& gridSpace, const std::string& mniToTal) {
            voikit::LabelGrid grid;
            translated({image}, [&] {
                grid = voikit::gridOfImage(image, spaceOf(gridSpace, "grid_space"),
                                           transformOf(mniToTal));
            });
            py::array_t<double> affine({4, 4});
            auto a = affine.mutable_unchecked<2>();
            for (py::ssize_t row = 0; row < 4; ++row) {
                for (py::ssize_t column = 0; column < 4; ++column) {
                    a(row, column) = row < 3 ? grid.affine[row][column] : (column == 3 ? 1.0 : 0.0);
                }
            }
            return py::make_tuple(py::make_tuple(grid.dims[0], grid.dims[1], grid.dims[2]), affine,
                                  spaceWord(grid.space));
        },
        py::arg("image"), py::arg("grid_space") = py::none(), py::arg("mni_to_tal") = "spm",
        "An image's grid as the extraction reads it: its dimensions, its affine from voxel "
        "indices to millimetres, and the space of those millimetres ('tal' or 'mni').");

    module.def(
        "_cells",
        [module](const py::object& vois, const std::string& image, const py::object& gridSpace,
                 const std::string& mniToTal, const py::object& space) {
            const std::unique_ptr<voikit::Regions> regions =
                regionsOf(vois, space, std::nullopt, module);
            voikit::VoiCells cells;
            translated({image}, [&] {
                const voikit::LabelGrid grid = voikit::gridOfImage(
                    image, spaceOf(gridSpace, "grid_space"), transformOf(mniToTal));
                const py::gil_scoped_release unlocked;
                voikit::CellCache cache(*regions);
                cells = *cache.cellsOn(grid);
            });
            py::list out;
            for (const std::vector<std::int64_t>& voi : cells.cells) {
                out.append(
                    py::array_t<std::int64_t>(static_cast<py::ssize_t>(voi.size()), voi.data()));
            }
            return out;
        },
        py::arg("vois"), py::arg("image"), py::arg("grid_space") = py::none(),
        py::arg("mni_to_tal") = "spm", py::arg("space") = py::none(),
        "Each VOI's cells on an image's grid, as the extraction takes them: ascending indices "
        "with i running fastest (Fortran order).");
}

}  // namespace binding
