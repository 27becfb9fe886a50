#include "voikit/space/coordinate_space.h"

#include <cstring>

namespace voikit {
namespace {

// An affine transform applied to [x y z 1]: rows of a 3 x 3 matrix and a translation.
struct Affine {
    double m[3][4];

    Point apply(const Point& p) const {
        Point out{};
        for (int r = 0; r < 3; ++r) {
            out[r] = m[r][0] * p[0] + m[r][1] * p[1] + m[r][2] * p[2] + m[r][3];
        }
        return out;
    }

    double determinant() const {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
               m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    }

    // The exact inverse, from the adjugate of the 3 x 3 part.
    Affine inverse() const {
        const double a = m[0][0], b = m[0][1], c = m[0][2];
        const double d = m[1][0], e = m[1][1], f = m[1][2];
        const double g = m[2][0], h = m[2][1], i = m[2][2];
        const double det = determinant();
        const double inv[3][3] = {
            {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det},
            {(f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det},
            {(d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det}};
        Affine result{};
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 3; ++k) result.m[r][k] = inv[r][k];
            result.m[r][3] = -(inv[r][0] * m[0][3] + inv[r][1] * m[1][3] + inv[r][2] * m[2][3]);
        }
        return result;
    }
};

const Affine kLancasterSpm{{{0.9254, 0.0024, -0.0118, -1.0207},
                            {-0.0048, 0.9316, -0.0871, -1.7667},
                            {0.0152, 0.0883, 0.8924, 4.0926}}};
const Affine kLancasterFsl{{{0.9464, 0.0034, -0.0026, -1.0680},
                            {-0.0083, 0.9479, -0.0580, -1.0239},
                            {0.0053, 0.0617, 0.9010, 3.1883}}};
const Affine kLancasterOther{{{0.9357, 0.0029, -0.0072, -1.0423},
                              {-0.0065, 0.9396, -0.0726, -1.3940},
                              {0.0103, 0.0752, 0.8967, 3.6475}}};
const Affine kBrettUpper{{{0.9900, 0, 0, 0}, {0, 0.9688, 0.0460, 0}, {0, -0.0485, 0.9189, 0}}};
const Affine kBrettLower{{{0.9900, 0, 0, 0}, {0, 0.9688, 0.0420, 0}, {0, -0.0485, 0.8390, 0}}};

const Affine& lancaster(MniToTal transform) {
    switch (transform) {
        case MniToTal::kFsl:
            return kLancasterFsl;
        case MniToTal::kOther:
            return kLancasterOther;
        default:
            return kLancasterSpm;
    }
}

// The enum value whose name is `name` in a table indexed by the enum.
template <typename Enum, std::size_t kCount>
std::optional<Enum> named(const std::array<const char*, kCount>& names, std::string_view name) {
    for (std::size_t i = 0; i < kCount; ++i) {
        if (name == names[i]) return static_cast<Enum>(i);
    }
    return std::nullopt;
}

}  // namespace

std::optional<Space> spaceNamed(std::string_view name) { return named<Space>(kSpaceNames, name); }

std::optional<MniToTal> transformNamed(std::string_view name) {
    return named<MniToTal>(kTransformNames, name);
}

const char* spaceName(Space space) { return space == Space::kMni ? "MNI" : "TAL"; }

const char* transformName(MniToTal transform) {
    return kTransformNames.at(static_cast<std::size_t>(transform));
}

Point mniToTal(const Point& mni, MniToTal transform) {
    if (transform == MniToTal::kBrett) {
        return (mni[2] >= 0 ? kBrettUpper : kBrettLower).apply(mni);
    }
    return lancaster(transform).apply(mni);
}

Point talToMni(const Point& tal, MniToTal transform) {
    if (transform != MniToTal::kBrett) {
        static const Affine inverses[3] = {kLancasterSpm.inverse(), kLancasterFsl.inverse(),
                                           kLancasterOther.inverse()};
        return inverses[static_cast<int>(transform)].apply(tal);
    }
    static const Affine upper = kBrettUpper.inverse();
    static const Affine lower = kBrettLower.inverse();
    const Point fromLower = lower.apply(tal);
    const Point fromUpper = upper.apply(tal);
    // Each candidate is an answer only if the forward transform would take its own matrix.
    const bool lowerFits = fromLower[2] < 0;
    const bool upperFits = fromUpper[2] >= 0;
    if (lowerFits && (tal[2] < 0 || !upperFits)) return fromLower;
    if (upperFits) return fromUpper;
    return tal[2] < 0 ? fromLower : fromUpper;
}

double mniToTalDeterminant(MniToTal transform, bool belowZero) {
    if (transform == MniToTal::kBrett) {
        return (belowZero ? kBrettLower : kBrettUpper).determinant();
    }
    return lancaster(transform).determinant();
}

MniToTalMatrices mniToTalMatrices(MniToTal transform) {
    const Affine& upper = transform == MniToTal::kBrett ? kBrettUpper : lancaster(transform);
    const Affine& lower = transform == MniToTal::kBrett ? kBrettLower : lancaster(transform);
    MniToTalMatrices matrices{};
    std::memcpy(matrices.upper, upper.m, sizeof matrices.upper);
    std::memcpy(matrices.lower, lower.m, sizeof matrices.lower);
    return matrices;
}

Point toTal(const Point& point, Space space, MniToTal transform) {
    return space == Space::kMni ? mniToTal(point, transform) : point;
}

}  // namespace voikit
