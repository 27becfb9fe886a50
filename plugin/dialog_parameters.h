#pragma once

#include <cstddef>

namespace glomera::param {

// Names of the dialog parameters shared with the dialog script.
constexpr const char* kCommand = "Command";
constexpr const char* kCentreX = "tX";
constexpr const char* kCentreY = "tY";
constexpr const char* kCentreZ = "tZ";
constexpr const char* kRadius = "Radius";
constexpr const char* kVoiName = "Name_of_VOI";
constexpr const char* kRed = "cR";
constexpr const char* kGreen = "cG";
constexpr const char* kBlue = "cB";
constexpr const char* kFileName = "FileName";
constexpr const char* kLoadInHost = "LoadInHL";
constexpr const char* kListSource = "listVOIinfoFrom";
constexpr const char* kVoiText = "VOItext";
constexpr const char* kAllText = "AllText";

}  // namespace glomera::param

namespace glomera {

// Reads a string parameter into a buffer of `capacity` bytes and makes sure it ends there,
// whatever the host wrote.
void readStringParameter(const char* name, char* buffer, std::size_t capacity);

}  // namespace glomera
