#pragma once

#include <cstdint>

#include "voi/voi_reader.h"

// A VOI as the plug-in makes it: the sphere's voxels, a name and a colour.
glomera::VoiFileContents::Voi sphereVoi(const char* name, float x, float y, float z, float radius,
                                        std::int32_t r = 255, std::int32_t g = 0,
                                        std::int32_t b = 0);

// A file's contents holding that one sphere.
glomera::VoiFileContents oneSphere(float x, float y, float z, float radius);
