#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>

#include "common/format_line.h"
#include "coordlist/clean_up_text.h"
#include "coordlist/stream_fields.h"
#include "coordlist/text_lines.h"
#include "host/host_operations.h"
#include "plugin/commands.h"
#include "plugin/dialog_parameters.h"
#include "plugin/sphere_voxels.h"
#include "voi/voi_writer.h"

namespace glomera {
namespace {

using namespace host;

constexpr std::size_t kPathLimit = kPathCapacity - 1;
constexpr const char* kVoiExtension = ".voi";
constexpr const char* kNotTalQuestion =
    "VMR properties don't indicate TAL space. Do you want to continue?";

// A header float as a whole number, truncated toward zero; values that no 32-bit integer
// can hold are pinned to the nearest end of the range (a NaN becomes 0).
std::int32_t truncateToInt32(float value) {
    if (std::isnan(value)) return 0;
    if (value <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
    if (value >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

void fillHeaderFields(const VmrMainHeader& header, VoiSet& set) {
    set.fileVersion = 4;
    set.referenceSpace = "TAL";
    set.resolutionX = truncateToInt32(header.floatAt(VmrMainHeader::kResolutionX));
    set.resolutionY = truncateToInt32(header.floatAt(VmrMainHeader::kResolutionY));
    set.resolutionZ = truncateToInt32(header.floatAt(VmrMainHeader::kResolutionZ));
    set.offsetX = header.intAt(VmrMainHeader::kOffsetX);
    set.offsetY = header.intAt(VmrMainHeader::kOffsetY);
    set.offsetZ = header.intAt(VmrMainHeader::kOffsetZ);
    set.framingCubeDim = header.intAt(VmrMainHeader::kFramingCubeDim);
    set.leftRightConvention = header.intAt(VmrMainHeader::kLeftRightConvention);
    set.namingConvention = "<SUBJ>_<VOI>";
    set.vtcCount = 0;
}

const char* sphereRefusal(SphereStatus status) {
    switch (status) {
        case SphereStatus::kNotFinite:
            return "The centre and the radius of a sphere must be finite numbers. "
                   "No VOI file was written.";
        case SphereStatus::kOutOfRange:
            return "A sphere lies too far from the origin for integer voxel coordinates. "
                   "No VOI file was written.";
        case SphereStatus::kTooManyVoxels:
            return "A sphere is too large: it would hold more than 715827882 voxels. "
                   "No VOI file was written.";
        case SphereStatus::kNoMemory:
            return "Not enough memory for the voxels of a sphere. No VOI file was written.";
        case SphereStatus::kOk:
            break;
    }
    return nullptr;
}

// Builds one VOI from the values of its definition, hands it to the file and logs it. Its
// voxels are given up as soon as the file holds them: `voxels` takes the next sphere's, so
// the run holds one sphere's voxels at a time however long its list. False when the sphere
// cannot be made; `refusal` then holds the message for the user.
bool addVoi(const VoiLineValues& v, VoxelBuffer& voxels, VoiFileWriter& file,
            const char*& refusal) {
    VoiEntry entry;
    const std::size_t nameLength = std::min(v.name.size(), VoiLineValues::kNameLimit);
    std::memcpy(entry.name, v.name.data(), nameLength);
    entry.name[nameLength] = '\0';
    entry.colorR = v.r;
    entry.colorG = v.g;
    entry.colorB = v.b;
    SphereStatus status;
    entry.voxels = makeSphereVoxels(v.x, v.y, v.z, v.radius, &entry.voxelCount, &status, &voxels);
    if (!entry.voxels) {
        refusal = sphereRefusal(status);
        return false;
    }
    file.add(entry);
    ztLogText(formatLine("Plugin>  Added VOI at TAL (%3.1f, %3.1f, %3.1f) with %3.1f mm radius",
                         static_cast<double>(v.x), static_cast<double>(v.y),
                         static_cast<double>(v.z), static_cast<double>(v.radius))
                  .c_str());
    return true;
}

// One VOI per line of the cleaned list, walked once. A line that does not set a value
// keeps the previous line's (the dialog's for the first line).
bool addListVois(char* text, VoiLineValues values, const VoiSet& header, VoiFileWriter& file,
                 const char*& refusal) {
    CleanUpOutcome cleaned;
    cleanUpText(text, &cleaned);
    if (cleaned.cut) logCleanedListCut(cleaned.lines);
    file.begin(header, cleaned.lines);
    TextLines lines(text);
    StreamFields fields;
    std::string_view line;
    VoxelBuffer voxels;
    for (std::int32_t i = 0; i < cleaned.lines && lines.next(line); ++i) {
        readVoiFields(fields, line, values);
        if (!addVoi(values, voxels, file, refusal)) return false;
    }
    return true;
}

// The dialog's one VOI.
bool addDialogVoi(const VoiLineValues& values, const VoiSet& header, VoiFileWriter& file,
                  const char*& refusal) {
    file.begin(header, 1);
    VoxelBuffer voxels;
    return addVoi(values, voxels, file, refusal);
}

}  // namespace

bool runSphereVois() {
    VoiLineValues dialog;
    dialog.x = ztGetFloatParameter(param::kCentreX);
    dialog.y = ztGetFloatParameter(param::kCentreY);
    dialog.z = ztGetFloatParameter(param::kCentreZ);
    dialog.radius = ztGetFloatParameter(param::kRadius);
    char name[kStringParameterCapacity];
    readStringParameter(param::kVoiName, name, sizeof name);
    dialog.name = name;
    dialog.r = ztGetIntParameter(param::kRed);
    dialog.g = ztGetIntParameter(param::kGreen);
    dialog.b = ztGetIntParameter(param::kBlue);
    char path[kPathCapacity];
    readStringParameter(param::kFileName, path, sizeof path);
    const std::string filePath = std::string(path) + kVoiExtension;
    const int loadFlag = ztGetIntParameter(param::kLoadInHost);
    const bool fromList = ztGetIntParameter(param::kListSource) == 1;
    ztLogText(fromList ? "Plugin>  Reading Parameters from Text Box"
                       : "Plugin>  Reading Parameters from GUI dialog");
    std::unique_ptr<char[]> text(new char[kTextCapacity]);
    readStringParameter(param::kVoiText, text.get(), kTextCapacity);

    if (filePath.size() > kPathLimit) {
        ztMessageBox(
            "The VOI file path is too long: with \".voi\" it must fit 511 characters. "
            "No VOI file was written.");
        return true;
    }
    if (!fromList && dialog.name.size() > VoiLineValues::kNameLimit) {
        ztMessageBox(
            "The VOI name is too long: at most 255 characters. "
            "No VOI file was written.");
        return true;
    }

    VmrMainHeader header;
    if (!ztGetMainHeaderOfCurrentVMR(&header)) {
        ztMessageBox(
            "The host cannot provide the header of the current VMR document. "
            "No VOI file was written.");
        return true;
    }
    if (header.intAt(VmrMainHeader::kReferenceSpace) != VmrMainHeader::kReferenceSpaceTal &&
        ztYesNoMessageBox(kNotTalQuestion) == 0) {
        return false;
    }

    // The file's header; its VOIs go into the file one by one as they are built, and the
    // file takes its place only when finished, not at all when a sphere is refused.
    VoiSet set;
    set.fileName = filePath.c_str();
    fillHeaderFields(header, set);
    VoiFileWriter file;
    const char* refusal = nullptr;
    const bool built = fromList ? addListVois(text.get(), dialog, set, file, refusal)
                                : addDialogVoi(dialog, set, file, refusal);
    if (!built) {
        ztMessageBox(refusal);
        return true;
    }

    if (file.finish(set.vtcCount)) {
        ztLogText(formatLine("Plugin>  Saved: %s", filePath.c_str()).c_str());
        if (loadFlag == 1) ztLoadVOIs(filePath.c_str());
    }
    return true;
}

}  // namespace glomera
