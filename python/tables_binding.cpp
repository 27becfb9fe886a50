// Tables of peaks as the toolbox reads them, the spheres made of them, and the .voi file the
// plug-in makes of them.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "python/binding.h"
#include "python/peak_table.h"
#include "voikit/extract/peak_spheres.h"
#include "voikit/extract/sphere_regions.h"
#include "voikit/io/error.h"
#include "voikit/io/text_input.h"
#include "voikit/outputs/list_voi_file.h"
#include "voikit/outputs/outputs.h"
#include "voikit/provenance/input_space.h"
#include "voikit/provenance/version.h"
#include "voikit/tables/list_voi.h"
#include "voikit/tables/table_import.h"

namespace binding {
namespace {

using Triple = std::tuple<double, double, double>;

Triple triple(const voikit::Point& point) { return {point[0], point[1], point[2]}; }

// One peak that became a VOI.
struct Peak {
    int voi = 0;
    std::string name;
    std::string space;  // the space its coordinates were written in
    Triple centre;      // as written
    Triple tal;
    Triple mni;
    double radius = 0;
    std::tuple<int, int, int> colour;
    int line = 0;  // the input line it came from, from 1
};

// What became of one input line (or of one peak on a line with several).
struct Line {
    int number = 0;
    std::string fate;
    std::string account;
    std::optional<int> voi;
};

PeakTable importText(const std::string& bytes, const std::string& source, const py::object& space,
                     const std::optional<double>& radius, const std::string& transform) {
    voikit::ImportSettings settings;
    settings.space = spaceOf(space, "space");
    settings.radius = radius;
    settings.transform = transformOf(transform);
    PeakTable table;
    table.source = source;
    table.transform = settings.transform;
    {
        const py::gil_scoped_release unlocked;
        table.result = std::make_shared<voikit::ImportResult>(voikit::importTable(bytes, settings));
    }
    const voikit::ImportResult& result = *table.result;
    if (!result.notText.empty()) throw voikit::Error(source + ": " + result.notText);
    if (!result.spaceConflict.empty())
        throw voikit::UsageError(source + ": " + result.spaceConflict);
    return table;
}

std::vector<Peak> peaksOf(const PeakTable& table) {
    std::vector<Peak> peaks;
    for (const voikit::AcceptedPeak& accepted : table.result->peaks) {
        Peak peak;
        peak.voi = accepted.voi;
        peak.name = accepted.name;
        peak.space = spaceWord(accepted.written);
        peak.centre = triple(accepted.writings.front().second);
        peak.tal = triple(accepted.tal);
        peak.mni = triple(voikit::talToMni(accepted.tal, table.transform));
        peak.radius = accepted.values.radius;
        peak.colour = {accepted.values.r, accepted.values.g, accepted.values.b};
        for (const voikit::ImportedLine& line : table.result->lines) {
            if (line.kind == voikit::ImportedLine::kVoi && line.voi == accepted.voi) {
                peak.line = line.number;
            }
        }
        peaks.push_back(std::move(peak));
    }
    return peaks;
}

std::vector<Line> linesOf(const PeakTable& table) {
    std::vector<Line> lines;
    for (const voikit::ImportedLine& imported : table.result->lines) {
        Line line{imported.number, voikit::fateName(imported.kind), imported.account, {}};
        if (imported.kind == voikit::ImportedLine::kVoi) line.voi = imported.voi;
        lines.push_back(std::move(line));
    }
    return lines;
}

voikit::Point pointOf(const py::handle& row) {
    const py::sequence values = py::reinterpret_borrow<py::sequence>(row);
    if (py::len(values) != 3) {
        throw py::value_error("a point is three numbers, x, y and z; not " +
                              py::repr(row).cast<std::string>());
    }
    return {values[0].cast<double>(), values[1].cast<double>(), values[2].cast<double>()};
}

}  // namespace

std::vector<voikit::Sphere> spheresOf(const py::handle& source, const std::optional<double>& radius,
                                      const py::object& space,
                                      const std::optional<std::vector<std::string>>& names) {
    std::vector<voikit::Sphere> spheres;
    if (py::isinstance<PeakTable>(source)) {
        const PeakTable& table = source.cast<const PeakTable&>();
        return voikit::peakSpheres(*table.result, radius);
    }
    if (py::isinstance<py::list>(source) && py::len(source) > 0 &&
        py::isinstance<voikit::Sphere>(py::reinterpret_borrow<py::list>(source)[0])) {
        return source.cast<std::vector<voikit::Sphere>>();
    }
    const voikit::Space in = spaceOf(space, "space").value_or(voikit::Space::kTal);
    const py::sequence rows = py::module_::import("numpy")
                                  .attr("asarray")(source, "float64")
                                  .attr("reshape")(-1, 3)
                                  .attr("tolist")();
    if (names && names->size() != py::len(rows)) {
        throw py::value_error(std::to_string(names->size()) + " names for " +
                              std::to_string(py::len(rows)) + " points: give one name a point");
    }
    for (std::size_t n = 0; n < py::len(rows); ++n) {
        spheres.push_back({pointOf(rows[n]), in, radius.value_or(voikit::kDefaultRadius),
                           names ? (*names)[n] : std::to_string(n + 1)});
    }
    return spheres;
}

void declareTables(py::module_& module) {
    py::class_<Peak>(module, "Peak", "A peak of a table that became a VOI.")
        .def_readonly("voi", &Peak::voi, "its VOI's number, from 1")
        .def_readonly("name", &Peak::name, "its name, as in the plug-in's list")
        .def_readonly("space", &Peak::space, "'tal' or 'mni': the space it was written in")
        .def_readonly("centre", &Peak::centre, "the centre as written, in `space`")
        .def_readonly("tal", &Peak::tal, "the centre in TAL, as the sphere is made")
        .def_readonly("mni", &Peak::mni, "the centre in MNI, through the table's transform")
        .def_readonly("radius", &Peak::radius, "the sphere's radius in mm")
        .def_readonly("colour", &Peak::colour, "the VOI's colour, (r, g, b)")
        .def_readonly("line", &Peak::line, "the input line it came from, from 1")
        .def("__repr__", [](const Peak& p) {
            return "Peak(voi=" + std::to_string(p.voi) +
                   ", name=" + py::repr(py::str(p.name)).cast<std::string>() + ", space='" +
                   p.space + "', centre=" + py::repr(py::cast(p.centre)).cast<std::string>() + ")";
        });
    py::class_<Line>(module, "Line", "What became of one input line of a table.")
        .def_readonly("number", &Line::number, "the line's number, from 1")
        .def_readonly("fate", &Line::fate,
                      "'VOI', 'dropped', 'set aside', 'header', 'empty', 'comment' or 'no "
                      "coordinates'")
        .def_readonly("account", &Line::account,
                      "what it became, or why it was dropped, as the command line says it")
        .def_readonly("voi", &Line::voi, "the VOI it became, or None")
        .def("__repr__", [](const Line& l) {
            return "Line(" + std::to_string(l.number) + ", '" + l.fate + "', " +
                   py::repr(py::str(l.account)).cast<std::string>() + ")";
        });

    py::class_<PeakTable>(module, "Table",
                          "A table of peaks as read: the peaks that became VOIs and the account "
                          "of every input line. Dropped peaks are in the account; they raise "
                          "nothing (see `complete`).")
        .def_readonly("source", &PeakTable::source, "the file read, or '<text>'")
        .def_property_readonly("peaks", &peaksOf, "the peaks that became VOIs, in order")
        .def_property_readonly("lines", &linesOf, "every input line's fate, in order")
        .def_property_readonly(
            "encoding", [](const PeakTable& t) { return t.result->encoding; },
            "the text's encoding as decoded")
        .def_property_readonly(
            "layout", [](const PeakTable& t) { return t.result->layout; },
            "the reading that won: 'SPM results table', 'table', ...")
        .def_property_readonly(
            "choice", [](const PeakTable& t) { return t.result->choice; }, "why that reading won")
        .def_property_readonly(
            "notes", [](const PeakTable& t) { return t.result->notes; },
            "notes about the table as a whole")
        .def_property_readonly(
            "warnings", [](const PeakTable& t) { return t.result->warnings; },
            "spheres that would overlap")
        .def_property_readonly(
            "list", [](const PeakTable& t) { return t.result->list; },
            "the plug-in's list: one line 'x y z radius name r g b' per VOI, "
            "in TAL, as `glomera-voi import` writes it")
        .def_property_readonly(
            "summary", [](const PeakTable& t) { return t.result->summary(); },
            "'6 VOIs from 12 lines; 1 of 7 peaks dropped' and the like")
        .def_property_readonly(
            "unread_rows", [](const PeakTable& t) { return t.result->unreadRows(); },
            "'12 rows of numbers were not read' for a table that made no VOI of them, else ''")
        .def_property_readonly(
            "vois", [](const PeakTable& t) { return t.result->vois; }, "how many VOIs were made")
        .def_property_readonly(
            "dropped", [](const PeakTable& t) { return t.result->dropped; },
            "how many peaks were refused")
        .def_property_readonly(
            "complete", [](const PeakTable& t) { return t.result->complete(); },
            "True when every peak became a VOI and there was at least one")
        .def("__len__", [](const PeakTable& t) { return t.result->peaks.size(); })
        .def("__repr__", [](const PeakTable& t) {
            return "<glomera.Table " + py::repr(py::str(t.source)).cast<std::string>() + ": " +
                   t.result->summary() + ">";
        });

    module.def(
        "read_table",
        [](const std::string& path, const py::object& space, const std::optional<double>& radius,
           const std::string& mniToTal) {
            return translated({path}, [&] {
                std::string bytes;
                {
                    const py::gil_scoped_release unlocked;
                    bytes = voikit::readTextInput(path);
                }
                return importText(bytes, path, space, radius, mniToTal);
            });
        },
        py::arg("path"), py::arg("space") = py::none(), py::arg("radius") = py::none(),
        py::arg("mni_to_tal") = "spm",
        "Reads a table of peaks from a file as `glomera-voi import` reads it: any layout pasted "
        "from a paper or written by an analysis program, every line accounted for.\n\n"
        "space: 'tal' or 'mni' (default: the table's own, else TAL); one that contradicts the "
        "table's raises ValueError. radius: for rows without one (default 6 mm). mni_to_tal: "
        "'spm', 'fsl', 'other' or 'brett'. Raises FileError when the file cannot be read or is "
        "no text.");
    module.def(
        "parse_table",
        [](const py::object& text, const py::object& space, const std::optional<double>& radius,
           const std::string& mniToTal) {
            const std::string bytes = py::isinstance<py::bytes>(text)
                                          ? text.cast<std::string>()
                                          : py::str(text).cast<std::string>();
            return translated({},
                              [&] { return importText(bytes, "<text>", space, radius, mniToTal); });
        },
        py::arg("text"), py::arg("space") = py::none(), py::arg("radius") = py::none(),
        py::arg("mni_to_tal") = "spm",
        "Reads a table of peaks pasted as text (str, or bytes in any encoding), as read_table "
        "reads a file.");

    py::class_<voikit::Sphere>(module, "Sphere",
                               "A sphere: its centre in a space and its radius in that space's "
                               "millimetres.")
        .def(py::init([](const voikit::Point& centre, const py::object& space, double radius,
                         const std::string& name) {
                 return voikit::Sphere{
                     centre, spaceOf(space, "space").value_or(voikit::Space::kTal), radius, name};
             }),
             py::arg("centre"), py::arg("space") = "tal",
             py::arg("radius") = voikit::kDefaultRadius, py::arg("name") = "")
        .def_property_readonly("centre", [](const voikit::Sphere& s) { return triple(s.centre); })
        .def_property_readonly("space", [](const voikit::Sphere& s) { return spaceWord(s.space); })
        .def_readonly("radius", &voikit::Sphere::radius)
        .def_readonly("name", &voikit::Sphere::name)
        .def("__repr__", [](const voikit::Sphere& s) {
            return "Sphere(" + py::repr(py::cast(triple(s.centre))).cast<std::string>() +
                   ", space='" + spaceWord(s.space) +
                   "', radius=" + py::repr(py::float_(s.radius)).cast<std::string>() +
                   ", name=" + py::repr(py::str(s.name)).cast<std::string>() + ")";
        });

    module.def(
        "spheres",
        [module](const py::object& source, const std::optional<double>& radius,
                 const py::object& space, const std::optional<std::vector<std::string>>& names) {
            if (py::isinstance<py::str>(source)) {
                const std::string path = source.cast<std::string>();
                const py::object table = module.attr("read_table")(path, space, radius);
                return spheresOf(table, radius, py::none(), names);
            }
            return spheresOf(source, radius, space, names);
        },
        py::arg("source"), py::arg("radius") = py::none(), py::arg("space") = py::none(),
        py::arg("names") = py::none(),
        "The spheres of a Table (each peak's centre as written, in the space it was written "
        "in), of a table's file, or of points (an array of N x 3 millimetres in `space`, "
        "default 'tal', named by `names` or numbered from 1). radius: for all of them "
        "(default: each peak's own, else 6 mm). These are the spheres `glomera-voi extract "
        "--peaks` makes in each image's own space.");

    module.def(
        "write_voi",
        [module](const py::object& source, const std::string& path, const py::object& space,
                 const std::optional<double>& radius) {
            PeakTable table;
            std::vector<std::string> files{path};
            if (py::isinstance<PeakTable>(source)) {
                table = source.cast<PeakTable>();
            } else {
                const std::string tablePath = source.cast<std::string>();
                files.push_back(tablePath);
                table = module.attr("read_table")(tablePath, space, radius).cast<PeakTable>();
            }
            translated(files, [&] {
                if (table.result->vois == 0) {
                    throw voikit::Error(table.source + ": " + table.result->summary() +
                                        ": no VOI to write");
                }
                const py::gil_scoped_release unlocked;
                voikit::writeListVoiFile(*table.result, path);
                // The record beside it keeps what the .voi file cannot: the space the
                // centres were written in and the peaks that were dropped.
                std::optional<voikit::InputFile> source;
                if (table.source != "<text>") {
                    source = voikit::checksummedFile("source table", table.source);
                }
                voikit::InputSpaceRecord record =
                    voikit::listInputSpace(*table.result, table.transform, std::move(source));
                record.writtenBy = std::string("the Python module glomera (Glomera ") +
                                   voikit::glomeraVersion() + ")";
                voikit::writeInputSpaceRecord(path, std::move(record));
            });
        },
        py::arg("table"), py::arg("path"), py::arg("space") = py::none(),
        py::arg("radius") = py::none(),
        "Writes the .voi file the plug-in makes of a table (a Table or a table's file): one "
        "sphere per peak, made in TAL by the plug-in's own sphere code, for a host's TAL "
        "document of 1 mm voxels, and beside it the record of what it was made from "
        "(PATH.json: the space each centre was written in, the dropped peaks), as the host "
        "stand-in writes it. Raises FileError when the table made no VOI or the file cannot "
        "be written.");
}

}  // namespace binding
