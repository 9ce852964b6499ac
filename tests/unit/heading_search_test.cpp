#include "batch/engine/heading_search.h"

#include "batch/constants.h"
#include "batch/engine/pair_verdict.h"
#include "batch/engine/transform.h"
#include "tests/support/synthetic_scans.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double DEG = 3.14159265358979323846 / 180.0;

// An L of two rough walls, 40 m and 20 m long and 6 m high, seen from two scanners 10 m
// apart: a scene that no slide along either wall maps onto itself.
std::vector<CubePoint> lOfWalls()
{
    std::vector<CubePoint> points = roughWall(0.0, 40.0, 6.0, 0.08, 1);
    for (CubePoint p : roughWall(10.0, 20.0, 6.0, 0.08, 2)) {
        std::swap(p.x, p.y);
        p.y += 30.0;
        points.push_back(p);
    }
    return points;
}

// The scene as a scan whose heading is off by `error` radians: turned by it about the scanner.
std::vector<CubePoint> offBy(std::vector<CubePoint> points, double error, double cx, double cy)
{
    rotateAboutVertical(points, error, cx, cy);
    return points;
}

double degreesApart(double a, double b) { return std::fabs(std::remainder(a - b, 2.0 * 3.14159265358979323846)) / DEG; }

TEST(HeadingSearch, FindsBothHeadingsAnywhereOnTheTurn)
{
    struct Case {
        double fixedError, movingError, halfWidth;  // degrees
    } cases[] = {{0.0, 30.0, 180.0}, {-25.0, 40.0, 180.0}, {170.0, -100.0, 180.0}, {3.0, -4.0, 10.0}};
    const std::vector<CubePoint> scene = lOfWalls();
    HeadingSearchBuffers buffers;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fixedError << " and " << c.movingError << " within +/-" << c.halfWidth);
        const std::vector<CubePoint> fixed = offBy(scene, c.fixedError * DEG, 0.0, 15.0);
        const std::vector<CubePoint> moving = offBy(scene, c.movingError * DEG, 0.0, 25.0);
        HeadingSearchSettings range;
        range.halfWidth = c.halfWidth * DEG;
        const std::vector<HeadingCandidate> found =
            searchHeadings({&fixed, 0.0, 15.0}, {&moving, 0.0, 25.0}, range, buffers);
        ASSERT_FALSE(found.empty());
        // The corrections undo the errors, to well inside what a local solve corrects: on
        // walls 10 to 40 m from the scanners the finest voxels tell half a degree apart.
        EXPECT_LT(degreesApart(found[0].turnFixed, -c.fixedError * DEG), 0.75);
        EXPECT_LT(degreesApart(found[0].turnMoving, -c.movingError * DEG), 0.75);
        EXPECT_GT(found[0].share, 0.9);
    }
}

// The share is that of the moving sample next to the fixed scan: a wall only the moving
// scan holds, a fifth of its surface (15 m of 75 m of wall), leaves about four fifths;
// points outside the z window take no part.
TEST(HeadingSearch, ShareCountsTheMovingSampleNextToTheFixedScan)
{
    const std::vector<CubePoint> fixed = lOfWalls();
    std::vector<CubePoint> moving = fixed;
    for (CubePoint p : roughWall(0.0, 15.0, 6.0, 0.08, 3)) {
        p.x -= 40.0;
        moving.push_back(p);
    }
    HeadingSearchBuffers buffers;
    const std::vector<HeadingCandidate> found =
        searchHeadings({&fixed, 0.0, 15.0}, {&moving, 0.0, 25.0}, HeadingSearchSettings{}, buffers);
    ASSERT_FALSE(found.empty());
    EXPECT_LT(degreesApart(found[0].turnFixed, 0.0), 0.75);
    EXPECT_LT(degreesApart(found[0].turnMoving, 0.0), 0.75);
    EXPECT_NEAR(found[0].share, 0.8, 0.05);

    HeadingSearchSettings above;
    above.zmin = 100.0;
    EXPECT_TRUE(searchHeadings({&fixed, 0.0, 15.0}, {&moving, 0.0, 25.0}, above, buffers).empty());
}

TEST(PairVerdict, EachFigureCanWithholdTrust)
{
    PairFigures good;
    good.rms = 0.008;
    good.noiseFloor = 0.005;
    good.pairs = 15000;
    good.sampled = 20000;
    good.relativeSigma = 0.0003;
    struct Case {
        const char* name;
        double rms, noiseFloor, relativeSigma;
        int32_t pairs;
        const char* reason;
    } cases[] = {
        {"a right registration", 0.008, 0.005, 0.0003, 15000, ""},
        {"scans far apart", 0.0333, 0.0074, 0.0003, 15000, "RMS 33.3 mm against a noise floor of 7.4 mm"},
        {"no noise floor known", 0.0333, 0.0, 0.0003, 15000, ""},
        {"a small part of the overlap", 0.008, 0.005, 0.0003, 359,
         "359 point pairs from 20000 points of the overlap"},
        {"a loose relative heading", 0.008, 0.005, 0.2, 15000, "relative heading known to 0.200 deg only"},
        {"no valid RMS: the registration failed already", NO_VALID_RMS, 0.005, 0.0003, 10, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PairFigures f = good;
        f.rms = c.rms;
        f.noiseFloor = c.noiseFloor;
        f.relativeSigma = c.relativeSigma;
        f.pairs = c.pairs;
        judgePair(f);
        EXPECT_EQ(f.reason, c.reason);
        EXPECT_EQ(f.trusted, f.reason.empty());
    }
}

}  // namespace
