#include "voikit/space/coordinate_space.h"

#include <gtest/gtest.h>

#include <random>

#include "voikit/space/point_text.h"

namespace {

using voikit::MniToTal;
using voikit::Point;

void expectNear(const Point& a, const Point& b, double tolerance) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], b[i], tolerance) << "axis " << i;
}

TEST(CoordinateSpace, PublishedTransformsAtHandComputedPoints) {
    // [x y z 1] times each row of the matrix, worked out by hand.
    expectNear(voikit::mniToTal({0, 0, 0}, MniToTal::kSpm), {-1.0207, -1.7667, 4.0926}, 1e-12);
    expectNear(voikit::mniToTal({10, 20, 30}, MniToTal::kSpm), {7.9273, 14.2043, 32.7826}, 1e-9);
    expectNear(voikit::mniToTal({10, 20, 30}, MniToTal::kFsl), {8.386, 16.1111, 31.5053}, 1e-9);
    expectNear(voikit::mniToTal({10, 20, 30}, MniToTal::kOther), {8.1567, 15.155, 32.1555}, 1e-9);
    // Brett: one matrix above MNI z = 0, another below.
    expectNear(voikit::mniToTal({10, 20, 30}, MniToTal::kBrett), {9.9, 20.756, 26.597}, 1e-9);
    expectNear(voikit::mniToTal({10, 20, -30}, MniToTal::kBrett), {9.9, 18.116, -26.14}, 1e-9);
}

TEST(CoordinateSpace, InversesReturnEveryPointWithinANanometre) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> mm(-100.0, 100.0);
    for (MniToTal transform :
         {MniToTal::kSpm, MniToTal::kFsl, MniToTal::kOther, MniToTal::kBrett}) {
        for (int i = 0; i < 2000; ++i) {
            const Point mni = {mm(random), mm(random), mm(random)};
            const Point tal = voikit::mniToTal(mni, transform);
            expectNear(voikit::talToMni(tal, transform), mni, 1e-9);
            // And the other way round, from TAL.
            expectNear(voikit::mniToTal(voikit::talToMni(mni, transform), transform), mni, 1e-9);
        }
    }
}

TEST(CoordinateSpace, NamesAndTal) {
    EXPECT_EQ(voikit::transformNamed("brett"), MniToTal::kBrett);
    EXPECT_FALSE(voikit::transformNamed("SPM").has_value());
    EXPECT_EQ(voikit::spaceNamed("mni"), voikit::Space::kMni);
    EXPECT_FALSE(voikit::spaceNamed("icbm").has_value());
    const Point p = {1, 2, 3};
    EXPECT_EQ(voikit::toTal(p, voikit::Space::kTal, MniToTal::kSpm), p);
    // A typical parietal peak moves by more than 6 mm, about a sphere's radius.
    const Point mni = {-40, -60, 42};
    const Point tal = voikit::toTal(mni, voikit::Space::kMni, MniToTal::kSpm);
    expectNear(tal, {-38.6763, -61.1289, 35.6674}, 1e-4);
}

}  // namespace

// Text outputs write coordinates to one decimal; one that rounds to zero is on the midline
// and must not read "-0.0", whichever side of zero it came from.
TEST(CoordinateSpace, PointTextNeverShowsMinusZero) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{-0.04, "0.0"},  {-0.0, "0.0"},     {0.04, "0.0"},     {-0.06, "-0.1"},
                 {12.34, "12.3"}, {-12.36, "-12.4"}, {-103.0, "-103.0"}};
    for (const auto& c : cases) EXPECT_EQ(voikit::oneDecimal(c.value), c.text) << c.value;
    EXPECT_EQ(voikit::pointText({-36.84, 38.44, -0.03}), "-36.8 38.4 0.0");
    EXPECT_EQ(voikit::pointText({-0.01, 0.0, 7.25}, ", "), "0.0, 0.0, 7.2");
}
