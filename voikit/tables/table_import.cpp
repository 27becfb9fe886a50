#include "voikit/tables/table_import.h"

#include <fmt/format.h>

#include <cmath>

#include "coordlist/clean_up_account.h"
#include "voikit/space/point_text.h"
#include "voikit/tables/layouts/read_table.h"
#include "voikit/tables/text/pasted_text.h"

namespace voikit {
namespace {

// Where two column groups of one peak may differ once both are in TAL.
constexpr double kGroupsAgreeWithin = 2.0;

double distance(const Point& a, const Point& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

std::string lowerName(Space space) { return space == Space::kMni ? "mni" : "tal"; }

class Importer {
  public:
    Importer(const ImportSettings& settings, const TableReading& reading, ImportResult& result)
        : settings_(settings), reading_(reading), result_(result) {
        // The space of the table as a whole, for what its titles and prose mention.
        if (settings.space) {
            space_ = *settings.space;
            spaceSource_ = "from --space";
        } else if (!reading.spaces.empty()) {
            space_ = reading.spaces[0].space;
            spaceSource_ = "from " + reading.spaces[0].how;
        }
    }

    void line(int number, const ReadLine& read) {
        std::string note = read.note;
        if (read.mentioned) {
            note += std::string(note.empty() ? "" : "; ") + "mentions " +
                    spaceName(*read.mentioned) +
                    ", but only --space, a \"// Reference=\" line or a column heading sets the "
                    "space: here " +
                    spaceName(space_) + " " + spaceSource_;
        }
        if (read.kind != ReadLine::kCoordinates || read.peaks.empty()) {
            static const ImportedLine::Kind kKinds[] = {
                ImportedLine::kEmpty,         ImportedLine::kComment, ImportedLine::kHeader,
                ImportedLine::kNoCoordinates, ImportedLine::kIgnored, ImportedLine::kNoCoordinates};
            std::string account = read.account.empty() ? "no coordinates" : read.account;
            if (!note.empty()) account += "; " + note;
            result_.lines.push_back({number, kKinds[read.kind], account});
            return;
        }
        for (const Peak& peak : read.peaks) {
            ImportedLine out{number, ImportedLine::kDropped, std::string()};
            if (!peak.refused.empty()) {
                out.account = "dropped: " + peak.refused;
                if (!peak.name.empty()) out.account += " (" + peak.name + ")";
            } else {
                makeVoi(peak, out);
            }
            if (!note.empty()) out.account += "; " + note;
            if (out.kind == ImportedLine::kDropped) ++result_.dropped;
            result_.lines.push_back(out);
        }
    }

    // Notes about the table as a whole, once it is read.
    void finish() {
        for (const std::string& note : reading_.notes) result_.notes.push_back(note);
        if (defaulted_ > 0) {
            result_.notes.push_back(
                "the table gives no space (no \"// Reference=\" line, no MNI or Talairach column "
                "heading): its coordinates are taken as TAL; --space mni says they are MNI");
        }
        if (groupsChosen_ > 0) {
            result_.notes.push_back(
                std::string("the table writes its peaks in MNI and in Talairach columns: the ") +
                (chosen() == Space::kMni ? "MNI" : "Talairach") + " ones are taken" +
                (settings_.space ? " (--space)"
                                 : ", the authors' own (--space mni takes the MNI ones)"));
        }
        warnOfOverlaps();
    }

  private:
    Space chosen() const { return settings_.space.value_or(Space::kTal); }

    // The writing of a peak to take: its only one, or the group of the chosen space.
    const Writing& choose(const Peak& peak, std::string& notes) {
        if (peak.writings.size() == 1) return peak.writings[0];
        ++groupsChosen_;
        const Writing* wanted = nullptr;
        const Writing* other = nullptr;
        for (const Writing& w : peak.writings) (w.space == chosen() ? wanted : other) = &w;
        // Where both groups are given, say when they disagree under the chosen transform.
        const Writing* mni = nullptr;
        const Writing* tal = nullptr;
        for (const Writing& w : peak.writings) (w.space == Space::kMni ? mni : tal) = &w;
        if (mni && tal) {
            const Point fromMni = mniToTal(mni->point, settings_.transform);
            const double apart = distance(fromMni, tal->point);
            if (apart > kGroupsAgreeWithin) {
                notes += fmt::format(
                    "; the MNI columns give TAL {} by {}, {:.1f} mm from the Talairach columns' {}",
                    pointText(fromMni), transformName(settings_.transform), apart,
                    pointText(tal->point));
            }
        }
        if (wanted) return *wanted;
        notes += std::string("; no ") + spaceName(chosen()) + " columns on this row: the " +
                 spaceName(*other->space) + " ones are taken";
        return *other;
    }

    void makeVoi(const Peak& peak, ImportedLine& out) {
        std::string notes;
        const Writing& writing = choose(peak, notes);
        Space space = Space::kTal;
        if (writing.space) {
            space = *writing.space;
        } else if (settings_.space) {
            space = *settings_.space;
        } else {
            ++defaulted_;
        }
        const Point tal = toTal(writing.point, space, settings_.transform);
        const int index = result_.vois + 1;
        VoiLooks looks{peak.radius, peak.colour, settings_.radius, settings_.colour};
        const ListVoi voi = makeListVoi(index, peak.name, tal, looks);
        const std::string written = std::string(spaceName(space)) + " " + writing.text;
        if (!voi.kept) {
            // A centre outside the box is named in TAL; say what it came from when that differs.
            const bool same = space == Space::kTal && writing.text.find('(') == std::string::npos;
            out.account = "dropped: " + voi.reason +
                          (same ? std::string() : " (TAL, from " + written + ")") + notes;
            return;
        }
        if (settings_.listLimit > 0 &&
            result_.list.size() + voi.line.size() + 1 > settings_.listLimit) {
            out.account =
                fmt::format("dropped: the list would not fit the plug-in's text box of {} bytes",
                            settings_.listLimit);
            return;
        }
        result_.list += voi.line + "\n";
        ++result_.vois;
        AcceptedPeak accepted{index, voi.values.name, peak.experiment, tal, space, {}, voi.values};
        accepted.writings.emplace_back(space, writing.point);
        for (const Writing& other : peak.writings) {
            if (other.space && *other.space != space)
                accepted.writings.emplace_back(*other.space, other.point);
        }
        result_.peaks.push_back(accepted);
        out.kind = ImportedLine::kVoi;
        out.account = glomera::describeListVoi(index, voi.values) + voi.notes +
                      "; as written: " + written + notes;
    }

    // Spheres whose centres lie closer than their radii together share voxels.
    void warnOfOverlaps() {
        const std::vector<AcceptedPeak>& peaks = result_.peaks;
        for (std::size_t i = 0; i < peaks.size(); ++i) {
            const glomera::VoiLineValues& a = peaks[i].values;
            for (std::size_t j = i + 1; j < peaks.size(); ++j) {
                const glomera::VoiLineValues& b = peaks[j].values;
                const double apart = distance({a.x, a.y, a.z}, {b.x, b.y, b.z});
                if (apart >= static_cast<double>(a.radius) + b.radius) continue;
                result_.warnings.push_back(fmt::format(
                    "VOI {} {} and VOI {} {} overlap: centres {:.1f} mm apart, radii {:.1f} + "
                    "{:.1f} mm",
                    peaks[i].voi, a.name, peaks[j].voi, b.name, apart,
                    static_cast<double>(a.radius), static_cast<double>(b.radius)));
            }
        }
    }

    const ImportSettings& settings_;
    const TableReading& reading_;
    ImportResult& result_;
    Space space_ = Space::kTal;
    std::string spaceSource_ = "by default";
    int defaulted_ = 0;
    int groupsChosen_ = 0;
};

// --space against the space the table gives itself: a usage error naming both.
std::string spaceConflict(const ImportSettings& settings, const TableReading& reading) {
    if (!settings.space) return std::string();
    for (const SpaceStatement& stated : reading.spaces) {
        if (stated.space == *settings.space) continue;
        return fmt::format(
            "--space {}, but the table gives {} coordinates (line {}: {}); leave --space out to "
            "take the table's, or correct the table",
            lowerName(*settings.space), spaceName(stated.space), stated.line, stated.how);
    }
    return std::string();
}

}  // namespace

std::string ImportResult::summary() const {
    const int peaksSeen = vois + dropped;
    return fmt::format("{} {} from {} {}; {} of {} {} dropped", vois, vois == 1 ? "VOI" : "VOIs",
                       inputLines, inputLines == 1 ? "line" : "lines", dropped, peaksSeen,
                       peaksSeen == 1 ? "peak" : "peaks");
}

ImportResult importTable(std::string_view bytes, const ImportSettings& settings) {
    ImportResult result;
    const PastedText text = readPastedText(bytes);
    result.encoding = text.encoding;
    if (!text.notText.empty()) {
        result.notText = text.notText;
        return result;
    }
    std::vector<std::string> plain;
    plain.reserve(text.lines.size());
    for (const std::string& line : text.lines) plain.push_back(plainLine(line));
    const TableReading reading = readTable(plain);
    result.layout = reading.layout;
    result.spaceConflict = spaceConflict(settings, reading);
    if (!result.spaceConflict.empty()) return result;
    result.experiments = reading.experiments;
    result.inputLines = static_cast<int>(plain.size());
    Importer importer(settings, reading, result);
    for (std::size_t i = 0; i < reading.lines.size(); ++i) {
        importer.line(static_cast<int>(i) + 1, reading.lines[i]);
    }
    importer.finish();
    return result;
}

}  // namespace voikit
