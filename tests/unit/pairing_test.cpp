#include "batch/engine/pairing.h"

#include "batch/engine/search_cubes.h"
#include "batch/engine/transform.h"
#include "batch/inputs/configuration.h"
#include "batch/runs/pair_diagnostics.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// Two point sets stamped over their common box and sorted, as the preparation leaves them.
struct Pair {
    std::vector<CubePoint> a, b;
    int32_t cubeCount = 0;
};

Pair prepared(std::vector<CubePoint> a, std::vector<CubePoint> b, const RegSettings& s)
{
    Pair p{std::move(a), std::move(b), 0};
    const ScanExtent box = overlapOf(computeExtent(p.a), computeExtent(p.b));
    EXPECT_TRUE(assignCubes(p.a, box, s.ZMIN, s, p.cubeCount));
    EXPECT_TRUE(assignCubes(p.b, box, s.ZMIN, s, p.cubeCount));
    CubeSortBuffers buffers;
    sortByCube(p.a, buffers);
    sortByCube(p.b, buffers);
    return p;
}

PairingResult rms(const RegSettings& s, const Pair& p, double maxDist, bool aAsQuery = true, PairSink* sink = nullptr)
{
    std::vector<int32_t> candidates;
    return computePairRms(s, {aAsQuery ? p.a : p.b, aAsQuery ? p.b : p.a, p.cubeCount, s.ZMIN}, maxDist, candidates,
                          sink);
}

// A jittered grid of points on the plane z = height over [x0, x0 + n·step) x [0, n·step).
std::vector<CubePoint> plane(double height, int n, double step, uint32_t seed, double x0 = 0.0)
{
    std::mt19937 random(seed);
    std::vector<CubePoint> points;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            points.push_back({x0 + i * step + 0.4 * step * (static_cast<double>(random()) / 4294967296.0),
                              j * step + 0.4 * step * (static_cast<double>(random()) / 4294967296.0), height, 0, 0});
    return points;
}

// Runs the test body in a fresh working folder (the diagnostic files go there).
struct InTempDir {
    TempDir dir;
    WorkingFolder working{dir.path()};

    std::string read(const std::string& name) const { return readFile(dir.file(name)); }
};

TEST(Pairing, ParallelPlanesOneCentimetreApart)
{
    RegSettings s;
    const Pair p = prepared(plane(0.0, 100, 0.1, 1), plane(0.01, 100, 0.1, 2), s);
    for (bool aAsQuery : {true, false}) {
        SCOPED_TRACE(aAsQuery);
        const PairingResult r = rms(s, p, 0.5, aAsQuery);
        EXPECT_NEAR(r.rms, 0.01, 1e-12);
        EXPECT_EQ(r.pairCount, 1000);  // 100 cubes of 1 m², 10 query points each
    }
    // Point to point: the nearest reference point is at least 1 cm away.
    s.REGMODE = 0;
    const PairingResult r = rms(s, p, 0.5);
    EXPECT_EQ(r.pairCount, 1000);
    EXPECT_GT(r.rms, 0.01);
    EXPECT_EQ(rms(s, p, 0.0099).pairCount, 0);
    // Too few pairs: no valid RMS, but the count is returned.
    s.MINNUMPTS = 1001;
    EXPECT_EQ(rms(s, p, 0.5).rms, 999.0);
    EXPECT_EQ(rms(s, p, 0.5).pairCount, 1000);
}

TEST(Pairing, DistanceToThePlaneThroughTheThreeNearest)
{
    RegSettings s;
    s.NUMPPC = 1;
    s.MINNUMPTS = 1;
    // Reference: three points fixing the plane z = 0.2 x + 0.1, and two far ones.
    std::vector<CubePoint> ref{{0.1, 0.1, 0.12, 0, 0},
                               {0.6, 0.1, 0.22, 0, 0},
                               {0.1, 0.6, 0.12, 0, 0},
                               {0.9, 0.9, 0.9, 0, 0},
                               {0.95, 0.05, 0.9, 0, 0}};
    std::vector<CubePoint> query{{0.3, 0.3, 0.5, 0, 0}};
    const Pair p = prepared(query, ref, s);
    // |0.2·0.3 - 0.5 + 0.1| / sqrt(1.04)
    EXPECT_NEAR(rms(s, p, 1.0).rms, 0.34 / std::sqrt(1.04), 1e-12);
    EXPECT_EQ(rms(s, p, 0.3).pairCount, 0);

    // Collinear neighbours give no plane and no pair.
    std::vector<CubePoint> line{{0.1, 0.1, 0.1, 0, 0}, {0.2, 0.2, 0.2, 0, 0}, {0.3, 0.3, 0.3, 0, 0}};
    EXPECT_EQ(rms(s, prepared(query, line, s), 1.0).pairCount, 0);
}

TEST(Pairing, WhichQueryPointsAndNeighboursArePaired)
{
    InTempDir cwd;
    ASSERT_TRUE(cwd.working.entered());
    DiagnosticFiles diagnostics;  // the pairs go to the diagnostic files in the working folder
    RegSettings s;
    s.REGMODE = 0;
    s.NUMPPC = 10;
    s.MINNUMPTS = 1;
    // 25 query points in one cube, at x = 0.01 k; two reference points equally far
    // from every query point at (x, 0.5 ± 0.1), plus eight far ones.
    std::vector<CubePoint> query, ref;
    for (int k = 0; k < 25; ++k)
        query.push_back({0.01 * k + 0.2, 0.5, 0.5, 0, 0});
    ref.push_back({0.3, 0.4, 0.5, 0, 0});
    ref.push_back({0.3, 0.6, 0.5, 0, 0});
    for (int k = 0; k < 8; ++k)
        ref.push_back({0.9, 0.9, 0.1 * k + 0.1, 0, 0});
    const Pair p = prepared(query, ref, s);
    EXPECT_EQ(rms(s, p, 1.0, true, &diagnostics).pairCount, 10);
    EXPECT_FALSE(diagnostics.failed());
    // Selected: candidates (k·25)/10 = 0, 2, 5, 7, 10, 12, 15, 17, 20, 22.
    std::string expected1 = "#X,Y,Z\n", expected2 = "#X,Y,Z\n";
    for (int k : {0, 2, 5, 7, 10, 12, 15, 17, 20, 22}) {
        char line[64];
        std::snprintf(line, sizeof line, "%lf,0.500000,0.500000\n", 0.01 * k + 0.2);
        expected1 += line;
        expected2 += "0.300000,0.600000,0.500000\n";  // the later of two equal distances ranks first
    }
    EXPECT_EQ(cwd.read("PointsScan1.txt"), expected1);
    EXPECT_EQ(cwd.read("PointsScan2.txt"), expected2);
    EXPECT_EQ(cwd.read("RMSdistances.txt").substr(0, 39), "#Distances for point pairs for Scanset\n");

    // A cube with fewer reference points than NUMPPC gives nothing, however close they are.
    ref.pop_back();
    EXPECT_EQ(rms(s, prepared(query, ref, s), 1.0).pairCount, 0);
    // Fewer query candidates than NUMPPC give nothing either.
    s.NUMPPC = 26;
    EXPECT_EQ(rms(s, p, 1.0).pairCount, 0);
    for (int32_t none : {0, -3}) {
        s.NUMPPC = none;
        EXPECT_EQ(rms(s, p, 1.0).pairCount, 0);
    }
}

TEST(Pairing, QueryPointsMustLieStrictlyInsideTheZWindow)
{
    RegSettings s;
    s.ZMIN = 0.0;
    s.ZMAX = 1.0;
    s.MINNUMPTS = 1;
    s.NUMPPC = 1;
    std::vector<CubePoint> ref{{0.1, 0.1, 0.5, 0, 0}, {0.6, 0.1, 0.5, 0, 0}, {0.1, 0.6, 0.5, 0, 0}};
    for (double z : {0.0, 1.0}) {
        SCOPED_TRACE(z);
        std::vector<CubePoint> query{{0.3, 0.3, z, 0, 0}};
        EXPECT_EQ(rms(s, prepared(query, ref, s), 1.0).pairCount, 0);
    }
    // Reference points are not held to the window.
    std::vector<CubePoint> inside{{0.3, 0.3, 0.5, 0, 0}};
    std::vector<CubePoint> refOnEdge{{0.1, 0.1, 0.0, 0, 0}, {0.6, 0.1, 0.0, 0, 0}, {0.1, 0.6, 0.0, 0, 0}};
    EXPECT_EQ(rms(s, prepared(inside, refOnEdge, s), 1.0).pairCount, 1);
}

TEST(Pairing, QuerySetEntirelyOutsideTheGridGivesNoPairs)
{
    RegSettings s;
    s.ZMAX = 0.5;  // every query point at z = 1 lies above the window
    Pair p = prepared(plane(1.0, 30, 0.1, 3), plane(1.0, 30, 0.1, 4), s);
    const PairingResult r = rms(s, p, 1.0);
    EXPECT_EQ(r.pairCount, 0);
    EXPECT_EQ(r.rms, 999.0);
}

TEST(Pairing, RegModeTwoPairsPlanesButFindsNoRotation)
{
    RegSettings s;
    s.REGMODE = 2;
    const Pair p = prepared(plane(0.0, 100, 0.1, 1), plane(0.01, 100, 0.1, 2), s);
    EXPECT_NEAR(rms(s, p, 0.5).rms, 0.01, 1e-12);
    std::vector<int32_t> candidates;
    const PairingResult r = computePairRotation(s, {p.a, p.b, p.cubeCount, s.ZMIN}, 0.5, 0.0, 0, 0, candidates);
    EXPECT_EQ(r.pairCount, 0);
    EXPECT_EQ(r.rms, 999.0);
    EXPECT_FALSE(r.angleFound);
}

TEST(Pairing, RotationOfAPointSetTurnedByAKnownAngleComesBack)
{
    RegSettings s;
    s.MINNUMPTS = 100;
    s.REGMODE = 0;
    const double turn = 2e-4, cx = 5.0, cy = -12.0;
    std::vector<CubePoint> query = plane(0.0, 60, 0.1, 7);
    for (CubePoint& q : query)
        q.z = 0.3 * std::sin(q.x) + 0.2 * std::cos(2 * q.y);
    std::vector<CubePoint> turned;
    rotatedCopy(query, turned, turn, cx, cy);
    const Pair p = prepared(query, turned, s);
    std::vector<int32_t> candidates;
    // Only each point's own image lies within 5 mm: the pairs are exact.
    const PairingResult r = computePairRotation(s, {p.a, p.b, p.cubeCount, s.ZMIN}, 0.005, 0.0, cx, cy, candidates);
    ASSERT_TRUE(r.angleFound);
    EXPECT_GT(r.pairCount, 100);
    EXPECT_NEAR(r.angle, -turn, 1e-9);  // turns the reference set back onto the query set

    // Point to plane: the feet lie on the tangent planes, so one call makes a part
    // of the turn, in the right direction; the solvers repeat it.
    s.REGMODE = 1;
    const PairingResult plane = computePairRotation(s, {p.a, p.b, p.cubeCount, s.ZMIN}, 0.05, 0.0, cx, cy, candidates);
    ASSERT_TRUE(plane.angleFound);
    EXPECT_LT(plane.angle, 0.0);
    EXPECT_GT(plane.angle, -turn);
    // Too few pairs leave the angle unset.
    s.MINNUMPTS = 1000000;
    EXPECT_FALSE(computePairRotation(s, {p.a, p.b, p.cubeCount, s.ZMIN}, 0.05, 0.0, cx, cy, candidates).angleFound);
}

TEST(Pairing, FootOfAPointOnAPlane)
{
    for (double c : {1.0, -1.0}) {
        SCOPED_TRACE(c);
        const Point3 q = projectOntoPlane(0, 0, c, -c * 2.0, 3.0, {1, 2, 5});
        EXPECT_EQ(q.x, 1.0);
        EXPECT_EQ(q.y, 2.0);
        EXPECT_NEAR(q.z, 2.0, 1e-15);
    }
}

TEST(Pairing, WalksOnSeveralThreadsAddUpAsOnOne)
{
    // A rough surface over many cubes: cut into pieces, the walks must give every bit
    // of the single walk's sums.
    RegSettings s;
    s.MINNUMPTS = 10;
    std::vector<CubePoint> query = plane(0.0, 320, 0.05, 3), ref = plane(0.0, 320, 0.05, 4, 0.02);
    for (std::vector<CubePoint>* points : {&query, &ref})
        for (CubePoint& q : *points)
            q.z = 0.3 * std::sin(q.x) + 0.2 * std::cos(2 * q.y);
    const Pair p = prepared(query, ref, s);
    for (int32_t mode : {0, 1}) {
        s.REGMODE = mode;
        s.threads = 1;
        const PairingResult one = rms(s, p, 0.05);
        std::vector<int32_t> candidates;
        const PairingInput in{p.a, p.b, p.cubeCount, s.ZMIN};
        const PairingResult turnOne = computePairRotation(s, in, 0.05, 0.0, 3.0, -2.0, candidates);
        ASSERT_GT(one.pairCount, 1000);
        for (int32_t threads : {2, 5}) {
            SCOPED_TRACE(std::to_string(mode) + ", " + std::to_string(threads) + " threads");
            s.threads = threads;
            const PairingResult many = rms(s, p, 0.05);
            EXPECT_EQ(many.pairCount, one.pairCount);
            EXPECT_EQ(many.rms, one.rms);
            const PairingResult turnMany = computePairRotation(s, in, 0.05, 0.0, 3.0, -2.0, candidates);
            EXPECT_EQ(turnMany.pairCount, turnOne.pairCount);
            EXPECT_EQ(turnMany.angle, turnOne.angle);
        }
    }
}

TEST(Pairing, AtMost999995QueryPointsInOneCube)
{
    RegSettings s;
    s.MINNUMPTS = 1;
    s.REGMODE = 0;
    for (int32_t threads : {1, 2}) {
        SCOPED_TRACE(threads);
        s.threads = threads;
        std::vector<CubePoint> query(999996, CubePoint{0.5, 0.5, 0.5, 0, 0});
        std::vector<CubePoint> ref(10, CubePoint{0.5, 0.5, 0.5, 0, 0});
        std::vector<int32_t> candidates;
        testing::internal::CaptureStdout();
        PairingResult r = computePairRms(s, {query, ref, 1, s.ZMIN}, 1.0, candidates);
        EXPECT_TRUE(r.tooManyPoints);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "too many points!! Decrease cube search size!!! \n");
        query.pop_back();
        r = computePairRms(s, {query, ref, 1, s.ZMIN}, 1.0, candidates);
        EXPECT_FALSE(r.tooManyPoints);
        EXPECT_EQ(r.pairCount, 10);
    }
}

}  // namespace
