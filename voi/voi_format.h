#pragma once

#include <cstddef>

namespace glomera::voi_format {

// The keys of the .voi text format, each with the blanks that align its value. The writer
// and the reader both spell the format from these.
constexpr const char kFileVersion[] = "FileVersion:                ";
constexpr const char kReferenceSpace[] = "ReferenceSpace:             ";
constexpr const char kResolutionX[] = "OriginalVMRResolutionX:     ";
constexpr const char kResolutionY[] = "OriginalVMRResolutionY:     ";
constexpr const char kResolutionZ[] = "OriginalVMRResolutionZ:     ";
constexpr const char kOffsetX[] = "OriginalVMROffsetX:         ";
constexpr const char kOffsetY[] = "OriginalVMROffsetY:         ";
constexpr const char kOffsetZ[] = "OriginalVMROffsetZ:         ";
constexpr const char kFramingCubeDim[] = "OriginalVMRFramingCubeDim:  ";
constexpr const char kLeftRightConvention[] = "LeftRightConvention:        ";
constexpr const char kNamingConvention[] = "SubjectVOINamingConvention: ";
constexpr const char kVoiCount[] = "NrOfvois:                   ";
constexpr const char kVoiName[] = "NameOfVOI:  ";
constexpr const char kVoiColor[] = "ColorOfVOI: ";
constexpr const char kVoxelCount[] = "NrOfVoxels: ";
constexpr const char kVtcCount[] = "NrOfVOIVTCs: ";

// Every line ends with CR LF.
constexpr const char kLineEnd[] = "\r\n";

}  // namespace glomera::voi_format
