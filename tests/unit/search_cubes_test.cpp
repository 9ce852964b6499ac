#include "batch/engine/search_cubes.h"

#include "batch/inputs/configuration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

ScanExtent box(double xmin, double xmax, double ymin, double ymax, double zmin, double zmax)
{
    ScanExtent b;
    b.xmin = xmin, b.xmax = xmax, b.ymin = ymin, b.ymax = ymax, b.zmin = zmin, b.zmax = zmax;
    return b;
}

TEST(SearchCubes, GridSizeAndOrigin)
{
    RegSettings s;
    CubeGrid g;
    ASSERT_TRUE(buildCubeGrid(box(0.5, 3.2, 10.2, 11.0, -2.5, 4.0), s.ZMIN, s, g));
    EXPECT_EQ(g.nx, 4);  // trunc(2.7) + 2
    EXPECT_EQ(g.ny, 2);  // trunc(0.8) + 2
    EXPECT_EQ(g.nz, 8);  // trunc(6.5) + 2
    EXPECT_EQ(g.cubeCount, 64);
    EXPECT_EQ(g.x0, 0.0);  // trunc(-0.5)
    EXPECT_EQ(g.y0, 9.0);
    EXPECT_EQ(g.z0, -3.0);

    // A z window inside the box sets the vertical extent and origin.
    s.ZMIN = 0.5;
    s.ZMAX = 2.0;
    ASSERT_TRUE(buildCubeGrid(box(0.5, 3.2, 10.2, 11.0, -2.5, 4.0), s.ZMIN, s, g));
    EXPECT_EQ(g.nz, 3);  // trunc(1.5) + 2
    EXPECT_EQ(g.z0, 0.0);
    // Only when both ends of the window lie inside the box.
    s.ZMAX = 10.0;
    ASSERT_TRUE(buildCubeGrid(box(0.5, 3.2, 10.2, 11.0, -2.5, 4.0), s.ZMIN, s, g));
    EXPECT_EQ(g.nz, 8);
    EXPECT_EQ(g.z0, 0.0);
}

TEST(SearchCubes, IndexLayoutBoundariesAndOutside)
{
    RegSettings s;
    CubeGrid g;
    ASSERT_TRUE(buildCubeGrid(box(0.5, 3.2, 10.2, 11.0, -2.5, 4.0), s.ZMIN, s, g));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double x, y, z;
        int32_t cube;
    } cases[] = {
        {0.5, 9.5, -3.0, 0},
        {1.0, 9.5, -3.0, 1},  // on the face between cubes 0 and 1: the upper cube
        {0.999, 9.5, -3.0, 0},
        {0.5, 9.5, -2.0, 4},    // one up in z: x varies fastest, then z
        {0.5, 10.0, -3.0, 32},  // one along y: nx·nz
        {3.99, 10.99, 4.99, 3 + 4 * 7 + 32},
        {4.0, 9.5, -3.0, 64},  // ix = nx: outside
        {-0.5, 9.5, -3.0, 0},  // trunc(-0.5) is 0, not -1
        {-1.0, 9.5, -3.0, 64},
        {0.5, 9.5, 5.0, 64},
        {nan, 9.5, -3.0, 64},
        {inf, 9.5, -3.0, 64},
        {0.5, -inf, -3.0, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << " " << c.y << " " << c.z);
        EXPECT_EQ(cubeIndexOf(g, c.x, c.y, c.z), c.cube);
    }
}

TEST(SearchCubes, UnusableSizesAndHugeGridsAreRefused)
{
    for (double size : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        SCOPED_TRACE(size);
        RegSettings s;
        s.dCY = size;
        CubeGrid g;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(buildCubeGrid(box(0, 1, 0, 1, 0, 1), s.ZMIN, s, g));
        EXPECT_NE(testing::internal::GetCapturedStdout().find("change dCY in the configuration file"),
                  std::string::npos);
    }
    RegSettings s;
    CubeGrid g;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(buildCubeGrid(box(0, 1e6, 0, 1e6, 0, 1e3), s.ZMIN, s, g));  // 1e15 cubes
    EXPECT_FALSE(buildCubeGrid(box(0, 1e300, 0, 1, 0, 1), s.ZMIN, s, g));
    testing::internal::GetCapturedStdout();
    // Scans that do not overlap give a box with min above max: a grid without cubes inside.
    ASSERT_TRUE(buildCubeGrid(box(10, 5, 0, 3, 0, 1), s.ZMIN, s, g));
    EXPECT_EQ(g.nx, -3);
    EXPECT_EQ(cubeIndexOf(g, 7, 1, 0.5), g.cubeCount);
}

TEST(SearchCubes, SortIsStableAndUnsigned)
{
    std::vector<CubePoint> points;
    const int32_t cubes[] = {5, 2, 5, -1, 0, 2, 5, 0};
    for (int i = 0; i < 8; ++i)
        points.push_back({static_cast<double>(i), 0, 0, cubes[i], 0});
    std::vector<CubePoint> expected = points;
    // The independent reference: cube indices compared as unsigned 32-bit values.
    std::stable_sort(expected.begin(), expected.end(), [](const CubePoint& a, const CubePoint& b) {
        return static_cast<uint32_t>(a.cube) < static_cast<uint32_t>(b.cube);
    });
    CubeSortBuffers buffers;
    // -1 compares as the largest unsigned value, so the comparison sort takes over.
    std::vector<CubePoint> viaComparison = points;
    sortByCube(viaComparison, buffers);
    // Without it, the counting sort runs; both give the stable order.
    std::vector<CubePoint> viaCounting(points.begin(), points.end());
    viaCounting.erase(viaCounting.begin() + 3);
    std::vector<CubePoint> expectedCounting = expected;
    expectedCounting.pop_back();
    sortByCube(viaCounting, buffers);
    ASSERT_EQ(viaComparison.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(viaComparison[i].x, expected[i].x) << i;
    ASSERT_EQ(viaCounting.size(), 7u);
    for (std::size_t i = 0; i < 7; ++i)
        EXPECT_EQ(viaCounting[i].x, expectedCounting[i].x) << i;
    EXPECT_EQ(expected.back().cube, -1);
}

TEST(SearchCubes, LargeScansSortedInRoundsKeepTheStableOrder)
{
    // Points in few and in many cubes, some outside the grid; rounds of a few hundred
    // points, the last one short, and a round size the scan just exceeds.
    std::mt19937 random(3);
    CubeGrid grid;
    grid.nx = grid.ny = grid.nz = 4;
    grid.cubeCount = 64;
    std::vector<CubePoint> points;
    for (int i = 0; i < 5000; ++i) {
        const double x = static_cast<double>(random() % 1000) / 200.0 - 0.5;  // beyond the grid at both ends
        points.push_back({x, static_cast<double>(random() % 400) / 100.0, static_cast<double>(i % 4), 0, 0});
    }
    for (std::size_t round : {std::size_t(1), std::size_t(7), std::size_t(300), std::size_t(4999)}) {
        SCOPED_TRACE(round);
        std::vector<CubePoint> expected = points;
        stampPoints(expected, grid);
        std::stable_sort(expected.begin(), expected.end(),
                         [](const CubePoint& a, const CubePoint& b) { return a.cube < b.cube; });
        CubeSortBuffers buffers;
        buffers.roundPoints = round;
        std::vector<CubePoint> sorted = points;
        stampAndSortByCube(sorted, grid, buffers);
        ASSERT_EQ(sorted.size(), expected.size());
        EXPECT_LE(buffers.points.capacity(), std::max<std::size_t>(round, 1));
        for (std::size_t i = 0; i < sorted.size(); ++i)
            ASSERT_EQ(std::memcmp(&sorted[i], &expected[i], sizeof(CubePoint)), 0) << i;
    }
}

TEST(SearchCubes, SortOnSeveralThreadsKeepsTheOrderOfOne)
{
    // Enough points for the pieces, few cubes against them, some points outside.
    std::mt19937 random(5);
    CubeGrid grid;
    grid.nx = grid.ny = grid.nz = 16;
    grid.cubeCount = 16 * 16 * 16;
    std::vector<CubePoint> points;
    for (int i = 0; i < 300000; ++i)
        points.push_back({static_cast<double>(random() % 3400) / 200.0 - 0.5,
                          static_cast<double>(random() % 1600) / 100.0, static_cast<double>(random() % 1600) / 100.0, 0,
                          0});
    std::vector<CubePoint> expected = points;
    CubeSortBuffers buffers;
    stampAndSortByCube(expected, grid, buffers);
    for (int32_t threads : {2, 3, 8}) {
        SCOPED_TRACE(threads);
        std::vector<CubePoint> sorted = points;
        stampAndSortByCube(sorted, grid, buffers, threads);
        ASSERT_EQ(sorted.size(), expected.size());
        EXPECT_EQ(std::memcmp(sorted.data(), expected.data(), sorted.size() * sizeof(CubePoint)), 0);
    }
}

}  // namespace
