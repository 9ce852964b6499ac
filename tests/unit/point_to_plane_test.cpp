// The pieces of the point-to-plane method: the Gauss-Newton step of two headings, the
// plane through a few points, and the search for the nearest reference points.

#include "batch/engine/heading_step.h"
#include "batch/engine/local_plane.h"
#include "batch/engine/reference_index.h"
#include "batch/engine/search_cubes.h"
#include "batch/engine/transform.h"
#include "batch/inputs/configuration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

TEST(HeadingStep, AKnownTurnOfBothScansComesBackInOneStep)
{
    // Pairs whose distances a turn dq of the query scan and dr of the reference scan
    // would remove exactly: e = -(gq dq + gr dr). The step is that turn.
    const double dq = 0.01, dr = -0.02;
    const double rates[][2] = {{1.0, 0.0}, {2.0, 1.0}, {0.0, 3.0}, {-1.5, 2.0}, {4.0, -0.5}};
    HeadingSystem system;
    for (const auto& g : rates) {
        PlaneResidual r;
        r.gq = g[0];
        r.gr = g[1];
        r.e = -(g[0] * dq + g[1] * dr);
        addPair(system, r, 0.0);
    }
    const HeadingStep step = headingStep(system);
    ASSERT_TRUE(step.found);
    // The pull towards no common turn moves it by about a millionth of itself at most.
    EXPECT_NEAR(step.query, dq, 1e-7);
    EXPECT_NEAR(step.reference, dr, 1e-7);
    EXPECT_EQ(residualRms(system), std::sqrt(system.ee / 5));

    // Pairs that say nothing about one heading leave the step undetermined.
    HeadingSystem blind;
    for (double g : {1.0, 2.0, 3.0}) {
        PlaneResidual r;
        r.gq = g;
        r.e = 0.1;
        addPair(blind, r, 0.0);
    }
    EXPECT_FALSE(headingStep(blind).found);
    EXPECT_FALSE(headingStep(HeadingSystem{}).found);
}

TEST(HeadingStep, RatesOfAPointOnAPlane)
{
    // A point 2 m east of its scanner on a plane facing north: a counter-clockwise turn
    // moves it north at 2 m per radian, straight into the plane's normal.
    const double p[3] = {12.0, 5.0, 1.0}, q[3] = {12.0, 4.9, 0.0}, n[3] = {0.0, 1.0, 0.0};
    const PlaneResidual r = planeResidual(p, q, n, 10.0, 5.0, 0.0, 5.0);
    EXPECT_NEAR(r.e, 0.1, 1e-15);
    EXPECT_NEAR(r.gq, 2.0, 1e-15);
    EXPECT_NEAR(r.gr, -12.0, 1e-15);  // the reference turning about (0, 5) moves the plane 12 m/rad
}

TEST(HeadingStep, TheKernelWeighsFarPairsLess)
{
    // One pair far off pulls the step less with a kernel than without.
    auto stepWith = [](double scale) {
        HeadingSystem s;
        for (int k = 0; k < 10; ++k) {
            PlaneResidual r;
            r.gq = 1.0 + k;
            r.gr = 1.0 - k;
            r.e = k == 0 ? 1.0 : 0.0;
            addPair(s, r, scale);
        }
        return headingStep(s);
    };
    const HeadingStep plain = stepWith(0.0), robust = stepWith(0.01);
    EXPECT_LT(std::fabs(robust.query), 0.01 * std::fabs(plain.query));
    EXPECT_LT(std::fabs(robust.reference), 0.01 * std::fabs(plain.reference));
}

TEST(LocalPlane, PlanesThroughFewPoints)
{
    struct Case {
        const char* name;
        std::vector<std::array<double, 3>> points;
        bool plane;
        double nx, ny, nz;  ///< expected normal up to its sign
    } cases[] = {
        {"three points of z = 2", {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}}, true, 0, 0, 1},
        {"a vertical wall x = 5", {{5, 0, 0}, {5, 1, 0}, {5, 0, 1}, {5, 1, 1}, {5, 0.5, 0.3}}, true, 1, 0, 0},
        {"tilted: z = x",
         {{0, 0, 0}, {1, 0, 1}, {0, 2, 0}, {2, 3, 2}, {-1, 1, -1}},
         true,
         -std::sqrt(0.5),
         0,
         std::sqrt(0.5)},
        {"on one line", {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}}, false, 0, 0, 0},
        {"one spot", {{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, false, 0, 0, 0},
        {"two points", {{0, 0, 0}, {1, 0, 0}}, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> flat;
        for (const auto& p : c.points)
            flat.insert(flat.end(), p.begin(), p.end());
        LocalPlane plane;
        const bool fitted = fitLocalPlane(reinterpret_cast<const double(*)[3]>(flat.data()),
                                          static_cast<int32_t>(c.points.size()), plane);
        ASSERT_EQ(fitted, c.plane);
        if (!fitted)
            continue;
        const double dot = plane.nx * c.nx + plane.ny * c.ny + plane.nz * c.nz;
        EXPECT_NEAR(std::fabs(dot), 1.0, 1e-12);
        // The plane passes through the centroid.
        double mean[3] = {0, 0, 0};
        for (const auto& p : c.points)
            for (int k = 0; k < 3; ++k)
                mean[k] += p[k] / static_cast<double>(c.points.size());
        EXPECT_NEAR(plane.cx, mean[0], 1e-12);
        EXPECT_NEAR(plane.cz, mean[2], 1e-12);
    }
}

// Random points over a square of side `size` (or, with `farCorner`, its first metre and
// one point at the far corner), stamped and sorted over the grid of their own extent.
std::vector<CubePoint> sortedCloud(int count, double size, double cube, bool farCorner, uint32_t seed, CubeGrid& grid)
{
    std::mt19937 random(seed);
    auto uniform = [&](double side) { return side * (static_cast<double>(random()) / 4294967296.0); };
    std::vector<CubePoint> points;
    for (int i = 0; i < count; ++i) {
        const double x = uniform(farCorner ? 1.0 : size), y = uniform(farCorner ? 1.0 : size);
        points.push_back({x, y, 0.2 * std::sin(x) + 0.1 * std::cos(2.0 * y) + 0.05 * uniform(1.0), 0, 0});
    }
    if (farCorner)
        points.push_back({size, size, 0.0, 0, 0});
    RegSettings s;
    s.dCX = s.dCY = s.dCZ = cube;
    EXPECT_TRUE(buildCubeGrid(computeExtent(points), s.ZMIN, s, grid));
    CubeSortBuffers buffers;
    stampAndSortByCube(points, grid, buffers);
    return points;
}

TEST(ReferenceIndex, FindsWhatAFullSearchFinds)
{
    // Dense clouds get sub-cells, sparse ones search whole cubes, and a grid of far more
    // cubes than points is searched by bisection: all must give the nearest points that
    // comparing every point gives, wherever those lie within a cube's width.
    const struct {
        const char* name;
        int count;
        double size, cube;
        bool farCorner;
    } clouds[] = {{"dense", 20000, 10.0, 1.0, false},
                  {"sparse", 300, 40.0, 5.0, false},
                  {"tiny cubes", 3000, 30.0, 0.05, true}};
    for (const auto& c : clouds) {
        SCOPED_TRACE(c.name);
        CubeGrid grid;
        std::vector<CubePoint> points = sortedCloud(c.count, c.size, c.cube, c.farCorner, 7, grid);
        EXPECT_EQ(static_cast<int64_t>(grid.cubeCount) > 4 * c.count + 65536, c.farCorner);
        ReferenceIndex index;
        std::vector<CubePoint> scratch;
        buildReferenceIndex(points, grid, index, scratch);
        std::mt19937 random(11);
        int compared = 0;
        for (int q = 0; q < 200; ++q) {
            const double side = c.farCorner ? 1.0 : c.size;
            const double x = side * (static_cast<double>(random()) / 4294967296.0);
            const double y = side * (static_cast<double>(random()) / 4294967296.0);
            const double z = 0.2 * std::sin(x);
            Neighbour found[MAX_NEIGHBOURS];
            const int32_t n = nearestReferencePoints(index, x, y, z, 8, found);
            std::vector<double> all;
            for (const CubePoint& p : points)
                all.push_back((p.x - x) * (p.x - x) + (p.y - y) * (p.y - y) + (p.z - z) * (p.z - z));
            std::sort(all.begin(), all.end());
            if (all.size() < 8 || !(all[7] < c.cube * c.cube) || cubeIndexOf(grid, x, y, z) == grid.cubeCount)
                continue;  // the search reaches one cube around the point only
            ++compared;
            ASSERT_EQ(n, 8);
            for (int k = 0; k < 8; ++k)
                EXPECT_EQ(found[k].d2, all[static_cast<std::size_t>(k)]) << "query " << q << ", neighbour " << k;
        }
        EXPECT_GT(compared, 20);
        EXPECT_TRUE(std::is_sorted(points.begin(), points.end(), [](const CubePoint& a, const CubePoint& b) {
            return a.cube < b.cube;
        }));  // reordered only inside each cube
    }
}

}  // namespace
