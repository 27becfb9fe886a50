#include "voikit/outputs/list_voi_file.h"

#include <algorithm>
#include <cstring>

#include "plugin/sphere_voxels.h"
#include "voi/voi_writer.h"
#include "voikit/io/error.h"

namespace voikit {

void writeListVoiFile(const ImportResult& result, const std::string& path) {
    glomera::VoiSet set;
    set.fileName = path.c_str();
    set.resolutionX = set.resolutionY = set.resolutionZ = 1;
    set.framingCubeDim = 256;
    set.leftRightConvention = 1;
    for (const AcceptedPeak& peak : result.peaks) {
        const glomera::VoiLineValues& v = peak.values;
        glomera::VoiEntry entry;
        const std::size_t length = std::min(v.name.size(), glomera::VoiLineValues::kNameLimit);
        std::memcpy(entry.name, v.name.data(), length);
        entry.colorR = v.r;
        entry.colorG = v.g;
        entry.colorB = v.b;
        entry.voxels = glomera::makeSphereVoxels(v.x, v.y, v.z, v.radius, &entry.voxelCount);
        if (!entry.voxels) throw Error(path, "the sphere of " + v.name + " cannot be made");
        set.vois.push_back(std::move(entry));
    }
    set.voiCount = static_cast<std::int32_t>(set.vois.size());
    if (!glomera::writeVoiFile(set)) throw Error(path, "cannot be written");
}

InputSpaceRecord listInputSpace(const ImportResult& result, MniToTal transform,
                                std::optional<InputFile> source) {
    InputSpaceRecord input;
    input.transform = transform;
    input.source = std::move(source);
    for (const AcceptedPeak& peak : result.peaks) {
        input.spheres.push_back(
            {peak.name, peak.written, peak.writings.front().second, peak.tal, peak.values.radius});
    }
    for (const ImportedLine& line : result.lines) {
        if (line.kind != ImportedLine::kDropped) continue;
        // Its name as the table writes it, from the cells the import marked as the name.
        std::string name;
        const auto row = static_cast<std::size_t>(line.number - 1);
        for (const ImportedCell& cell : line.cells) {
            if (cell.role != CellRole::kName || row >= result.rawLines.size()) continue;
            const std::string& raw = result.rawLines[row];
            if (cell.begin >= cell.end || cell.end > raw.size()) continue;
            name += (name.empty() ? "" : " ") + raw.substr(cell.begin, cell.end - cell.begin);
        }
        const std::string prefix = "dropped: ";
        input.dropped.push_back({line.number, name,
                                 line.account.rfind(prefix, 0) == 0
                                     ? line.account.substr(prefix.size())
                                     : line.account});
    }
    return input;
}

}  // namespace voikit
