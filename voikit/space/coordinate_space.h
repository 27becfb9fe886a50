#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace voikit {

// A point in millimetres.
using Point = std::array<double, 3>;

// The coordinate spaces a user's coordinates may be in. The plug-in works in TAL.
enum class Space { kTal, kMni };

// The published transforms from MNI to TAL coordinates.
enum class MniToTal {
    kSpm,    // Lancaster et al. 2007, for coordinates from SPM's MNI templates
    kFsl,    // Lancaster et al. 2007, for coordinates from FSL's MNI templates
    kOther,  // Lancaster et al. 2007, for other MNI templates
    kBrett,  // Brett's piecewise linear transform, one matrix above and one below z = 0
};

// The names the command lines use, indexed by the enums above: one table for reading a name,
// naming a value and telling the user the choices.
constexpr std::array<const char*, 2> kSpaceNames = {"tal", "mni"};
constexpr std::array<const char*, 4> kTransformNames = {"spm", "fsl", "other", "brett"};

std::optional<Space> spaceNamed(std::string_view name);
std::optional<MniToTal> transformNamed(std::string_view name);
const char* spaceName(Space space);  // "TAL" or "MNI", as reports write it
const char* transformName(MniToTal transform);

// MNI to TAL with the chosen transform, and its exact inverse. For Brett's transform the
// inverse takes the matrix whose region the result falls in (below MNI z = 0 or not),
// preferring the lower one where the TAL z is below 0, so that a round trip returns the
// point wherever the forward transform reaches it.
Point mniToTal(const Point& mni, MniToTal transform);
Point talToMni(const Point& tal, MniToTal transform);

// The determinant of the transform's linear part: how it scales volume from MNI to TAL. A
// region of V mm^3 in TAL covers V / determinant mm^3 in MNI. Brett's transform has one
// above MNI z = 0 and one below.
double mniToTalDeterminant(MniToTal transform, bool belowZero = false);

// MNI to TAL as matrices, for programs that apply the transform themselves: each row of a
// matrix is applied to (x, y, z, 1) in MNI. Lancaster's transforms are one matrix, given
// twice; Brett's takes `upper` where MNI z >= 0 and `lower` below.
struct MniToTalMatrices {
    double upper[3][4];
    double lower[3][4];
};
MniToTalMatrices mniToTalMatrices(MniToTal transform);

// A point given in `space`, in TAL.
Point toTal(const Point& point, Space space, MniToTal transform);

}  // namespace voikit
