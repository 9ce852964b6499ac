#include "tools/cliff_builder.h"
#include "tools/deterministic_math.h"
#include "tools/ray_caster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

CliffScene testScene() { return buildCliffScene(11, -200.0, 300.0); }

// First rock along the ray by plain stepping; negative when none within maxRange.
double bruteForceHit(const CliffScene& scene, const ShoreRay& r, double maxRange, double step)
{
    for (double t = 0.0; t <= maxRange; t += step) {
        if (isRock(scene, r.s + t * r.ds, r.c + t * r.dc, r.z + t * r.dz)) {
            return t;
        }
    }
    return -1.0;
}

ShoreRay rayFrom(double s, double c, double z, double azimuth, double elevation)
{
    ShoreRay r;
    r.s = s;
    r.c = c;
    r.z = z;
    r.dc = std::cos(elevation) * std::cos(azimuth);
    r.ds = std::cos(elevation) * std::sin(azimuth);
    r.dz = std::sin(elevation);
    return r;
}

}  // namespace

// Rays from scanner positions on the beach over the whole field of view, including the
// grazing ones along the beach and the steep ones into notch roofs and over the top:
// the marcher must find the same first rock as stepping every 2 mm.
TEST(RayCaster, FirstHitAgreesWithBruteForce)
{
    const CliffScene scene = testScene();
    std::mt19937 gen(5);
    const double step = 0.002;
    int32_t hits = 0;
    for (int32_t i = 0; i < 150; ++i) {
        const double s = uniformIn(gen, 0.0, 100.0);
        const double z = scene.footZ + uniformIn(gen, -0.5, 0.5);
        const ShoreRay r = rayFrom(s, 0.0, z, uniformIn(gen, -0.9, 0.9), uniformIn(gen, -0.25, 1.0));
        const double marched = castRay(scene, r, 90.0);
        const double brute = bruteForceHit(scene, r, 90.0, step);
        SCOPED_TRACE(testing::Message() << "ray " << i << " brute " << brute << " marched " << marched);
        if (brute < 0.0) {
            EXPECT_LT(marched, 0.0);
            continue;
        }
        ++hits;
        // The brute-force hit is the first sample inside rock: the surface lies within
        // one step before it.
        EXPECT_GE(marched, brute - step - 1e-6);
        EXPECT_LE(marched, brute + 1e-6);
    }
    EXPECT_GT(hits, 75);
}

// The marcher's step sizes rest on these bounds: the change of the face offset and of
// the beach height between two nearby points never exceeds slope times distance.
TEST(CliffScene, SlopeBoundsHold)
{
    const CliffScene scene = testScene();
    std::mt19937 gen(8);
    double worstFace = 0.0;
    double worstBeach = 0.0;
    for (int32_t i = 0; i < 200000; ++i) {
        const double s = uniformIn(gen, -150.0, 250.0);
        const double z = uniformIn(gen, scene.faceZLow, scene.faceZHigh);
        const double ds = uniformIn(gen, -0.3, 0.3);
        const double dz = uniformIn(gen, -0.3, 0.3);
        const double z2 = z + dz;
        const bool low = z <= scene.lowBandTop && z2 <= scene.lowBandTop;
        const bool high = z >= scene.lowBandTop && z2 >= scene.lowBandTop;
        if (!low && !high) {
            continue;
        }
        const FaceSlopes& band = low ? scene.lowBand : scene.highBand;
        const double bound = (band.perS + scene.detailSlopes.perS) * std::fabs(ds)
            + (band.perZ + scene.detailSlopes.perZ) * std::fabs(dz);
        const double change = std::fabs(faceOffset(scene, s + ds, z2) - faceOffset(scene, s, z));
        worstFace = std::max(worstFace, change / bound);
        const double c = uniformIn(gen, -5.0, 55.0);
        const double beachBound = scene.beachSlopeS * std::fabs(ds) + scene.beachSlopeC * std::fabs(dz);
        const double beachChange = std::fabs(beachHeight(scene, s + ds, c + dz) - beachHeight(scene, s, c));
        worstBeach = std::max(worstBeach, beachChange / beachBound);
        ASSERT_LE(beachHeight(scene, s, c), scene.beachAbove + scene.beachRise * std::max(c, 0.0));
        ASSERT_GE(faceOffset(scene, s, z), scene.faceCMin);
        ASSERT_LE(topHeight(scene, s), scene.topMax);
    }
    EXPECT_LE(worstFace, 1.0 + 1e-9);
    EXPECT_LE(worstBeach, 1.0 + 1e-9);
    // The bounds are not uselessly loose either (the marcher would crawl).
    EXPECT_GT(worstFace, 0.3);
    EXPECT_GT(worstBeach, 0.3);
}

// A notch at the foot leaves the face above overhanging the rock below: somewhere along
// the shore the face offset a little above the notch is smaller than at the foot.
TEST(CliffScene, NotchesOverhang)
{
    const CliffScene scene = testScene();
    double deepest = 0.0;
    for (double s = -150.0; s < 250.0; s += 1.0) {
        const double foot = faceOffset(scene, s, scene.footZ + 1.0);
        const double roof = faceOffset(scene, s, scene.footZ + 3.5);
        deepest = std::max(deepest, foot - roof);
    }
    EXPECT_GT(deepest, 1.0);
}
