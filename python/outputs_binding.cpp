// What lies at points, what a .voi file holds, and the interactive page: the toolbox's
// reports, parsed from the JSON the command line writes, and the page's bytes.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "python/binding.h"
#include "voikit/anatomy/point_list.h"
#include "voikit/anatomy/point_lookup.h"
#include "voikit/io/error.h"
#include "voikit/io/log.h"
#include "voikit/io/scratch_folder.h"
#include "voikit/io/text_input.h"
#include "voikit/outputs/outputs.h"
#include "voikit/outputs/where_report.h"

namespace binding {

namespace {

py::object parsedJson(const std::string& text) {
    return py::module_::import("json").attr("loads")(py::bytes(text).attr("decode")("utf-8"));
}

std::vector<std::string> atlasesOf(const std::optional<std::vector<std::string>>& atlases) {
    return atlases ? *atlases : voikit::defaultAtlases();
}

// A point as given: "X,Y,Z" text, read as the command line reads it, or three numbers.
voikit::NamedPoint givenPoint(const py::handle& value) {
    if (py::isinstance<py::str>(value)) {
        const std::string text = value.cast<std::string>();
        const std::optional<voikit::Point> point = voikit::parsePoint(text);
        if (!point) throw py::value_error("where: " + text + ": a point is three numbers, X,Y,Z");
        return {*point, "", text};
    }
    const py::sequence values = py::reinterpret_borrow<py::sequence>(value);
    if (py::len(values) != 3) {
        throw py::value_error("where: a point is three numbers, X,Y,Z; not " +
                              py::repr(value).cast<std::string>());
    }
    voikit::Point point{};
    std::string text;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        point[axis] = values[axis].cast<double>();
        text +=
            (axis > 0 ? "," : "") +
            py::module_::import("builtins").attr("format")(point[axis], "g").cast<std::string>();
    }
    return {point, "", text};
}

}  // namespace

void declareOutputs(py::module_& module) {
    module.def(
        "where",
        [](const py::object& points, const py::object& space,
           const std::optional<std::vector<std::string>>& atlases, const std::string& brain,
           const std::string& mniToTal) {
            std::vector<voikit::NamedPoint> given;
            const bool one =
                py::isinstance<py::str>(points) ||
                (py::len(points) == 3 && !py::isinstance<py::sequence>(points[py::int_(0)]));
            if (one) {
                given.push_back(givenPoint(points));
            } else {
                for (const py::handle point : points) given.push_back(givenPoint(point));
            }
            translated({}, [&] {
                for (const voikit::NamedPoint& point : given) voikit::checkWithinReach(point);
            });
            voikit::AnatomySettings settings;
            settings.atlases = atlasesOf(atlases);
            settings.brain = brain;
            settings.transform = transformOf(mniToTal);
            const voikit::Space in = spaceOf(space, "space").value_or(voikit::Space::kTal);
            std::vector<std::string> files = settings.atlases;
            files.push_back(brain);
            std::string json;
            translated(files, [&] {
                const py::gil_scoped_release unlocked;
                const voikit::PointLookup lookup(settings);
                std::vector<voikit::WherePoint> found;
                found.reserve(given.size());
                for (const voikit::NamedPoint& point : given) {
                    found.push_back(
                        {point, in, lookup.at(voikit::toTal(point.point, in, settings.transform))});
                }
                json = voikit::whereJson(found, lookup);
            });
            return parsedJson(json);
        },
        py::arg("points"), py::arg("space") = "tal", py::arg("atlases") = py::none(),
        py::arg("brain") = "", py::arg("mni_to_tal") = "spm",
        "What lies at each point in every atlas, and the nearest region where a point falls in "
        "none: the JSON `glomera-voi where --json` writes, as Python objects.\n\n"
        "points: one point (three numbers, or 'X,Y,Z' text) or a sequence of them, in `space` "
        "('tal' or 'mni'). atlases: names (aal, brodmann, jhu, aicha) or IMAGE[:LABELS] "
        "(default: the four named). brain: the brain-extracted MNI template (default ch2bet).");

    module.def(
        "_outputs",
        [](const std::string& voi, const std::string& nifti, const std::string& grid,
           const std::string& png, const std::string& report, const std::string& reportJson,
           const std::string& html, bool anatomy,
           const std::optional<std::vector<std::string>>& atlases, const std::string& mniToTal,
           const std::string& call) {
            voikit::OutputRequest request;
            request.nifti = nifti;
            request.grid = grid;
            request.png = png;
            request.report = report;
            request.reportJson = reportJson;
            request.html = html;
            request.anatomy = anatomy;
            request.atlases = atlasesOf(atlases);
            request.transform = transformOf(mniToTal);
            request.invocation = {"python", call};
            Gathered gathered;
            translated({voi, nifti, grid, png, report, reportJson, html}, [&] {
                const py::gil_scoped_release unlocked;
                voikit::makeOutputs(voi, request, gathered.log());
            });
            gathered.warn();
        },
        py::arg("voi"), py::arg("nifti") = "", py::arg("grid") = "", py::arg("png") = "",
        py::arg("report") = "", py::arg("report_json") = "", py::arg("html") = "",
        py::arg("anatomy") = true, py::arg("atlases") = py::none(), py::arg("mni_to_tal") = "spm",
        py::arg("call") = "",
        "Writes the outputs of a .voi file as `glomera-voi outputs` does; `call` is what their "
        "provenance records as having made them.");

    module.def(
        "_report_json",
        [](const std::string& voi, bool anatomy,
           const std::optional<std::vector<std::string>>& atlases, const std::string& mniToTal,
           const std::string& call) {
            std::string text;
            Gathered gathered;
            translated({voi}, [&] {
                const py::gil_scoped_release unlocked;
                const voikit::ScratchFolder scratch("glomera-python");
                voikit::OutputRequest request;
                request.reportJson = scratch.path() + "/report.json";
                request.anatomy = anatomy;
                request.atlases = atlasesOf(atlases);
                request.transform = transformOf(mniToTal);
                request.invocation = {"python", call};
                voikit::makeOutputs(voi, request, gathered.log());
                text = voikit::readTextInput(request.reportJson);
            });
            gathered.warn();
            return parsedJson(text);
        },
        py::arg("voi"), py::arg("anatomy") = false, py::arg("atlases") = py::none(),
        py::arg("mni_to_tal") = "spm", py::arg("call") = "",
        "The JSON report of a .voi file (`glomera-voi report --json`), as Python objects.");

    module.def(
        "_page",
        [](const std::string& voi, bool anatomy,
           const std::optional<std::vector<std::string>>& atlases, bool radiological,
           const std::string& mniToTal, const std::string& call, const std::string& title) {
            std::string page;
            Gathered gathered;
            translated({voi}, [&] {
                const py::gil_scoped_release unlocked;
                const voikit::ScratchFolder scratch("glomera-python");
                voikit::OutputRequest request;
                request.html = scratch.path() + "/page.html";
                request.anatomy = anatomy;
                request.atlases = atlasesOf(atlases);
                request.radiological = radiological;
                request.transform = transformOf(mniToTal);
                request.invocation = {"python", call};
                request.htmlTitle = title;
                voikit::makeOutputs(voi, request, gathered.log());
                page = voikit::readTextInput(request.html);
            });
            gathered.warn();
            return py::bytes(page);
        },
        py::arg("voi"), py::arg("anatomy") = true, py::arg("atlases") = py::none(),
        py::arg("radiological") = false, py::arg("mni_to_tal") = "spm", py::arg("call") = "",
        py::arg("title") = "",
        "The interactive page of a .voi file (`glomera-voi view`), as bytes; titled \"VOIs of "
        "VOI\" unless a title is given.");
}

}  // namespace binding
