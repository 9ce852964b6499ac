#include "tools/height_field.h"
#include "tools/terrain_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

// Points on a regular 1 m lattice over [0, w] x [0, h] with the height of `surface`.
template <class Surface>
std::vector<FieldPoint> lattice(int32_t w, int32_t h, Surface surface)
{
    std::vector<FieldPoint> points;
    for (int32_t j = 0; j <= h; ++j) {
        for (int32_t i = 0; i <= w; ++i) {
            points.push_back({static_cast<double>(i), static_cast<double>(j), surface(i, j)});
        }
    }
    return points;
}

double tiltedPlane(double x, double y) { return 10.0 + 0.3 * x - 0.2 * y; }

// First sample along the ray below the surface, stepping `step` metres; negative when none.
double bruteForceHit(const HeightField& f, const double* o, const double* d, double maxRange, double step)
{
    for (double t = step; t <= maxRange; t += step) {
        double z = 0.0;
        if (heightAt(f, o[0] + t * d[0], o[1] + t * d[1], z) && o[2] + t * d[2] <= z) {
            return t;
        }
    }
    return -1.0;
}

void unit(double* d)
{
    const double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    d[0] /= n, d[1] /= n, d[2] /= n;
}

}  // namespace

TEST(TerrainPoints, ReadsPointsWithOrWithoutClass)
{
    std::string text = "# easting northing elevation class\r\n";
    for (int32_t i = 0; i < 120; ++i) {
        text += std::to_string(500000 + i) + ".25\t5400000.5\t" + std::to_string(300 + i % 7) + ".75\t"
            + (i % 3 == 0 ? "1" : "0") + "\r\n";
    }
    text += "\n   \r\n500200 5400001 299.5\n";  // blank lines, then blanks and no class
    const std::optional<std::vector<TerrainPoint>> points = parseTerrainPoints(text, "sample");
    ASSERT_TRUE(points);
    ASSERT_EQ(points->size(), 121u);
    EXPECT_EQ((*points)[1].easting, 500001.25);
    EXPECT_EQ((*points)[1].northing, 5400000.5);
    EXPECT_EQ((*points)[1].elevation, 301.75);
    EXPECT_EQ((*points)[0].pointClass, 1);
    EXPECT_EQ((*points)[1].pointClass, 0);
    EXPECT_EQ((*points)[120].elevation, 299.5);
    EXPECT_EQ((*points)[120].pointClass, 0);
}

TEST(TerrainPoints, RefusesWhatIsNotAPointAndTooSmallSamples)
{
    std::string good;
    for (int32_t i = 0; i < 100; ++i) {
        good += "1 2 3 0\n";
    }
    struct Row {
        const char* name;
        std::string text;
        bool accepted;
    };
    const Row rows[] = {
        {"exactly enough", good, true},
        {"one short", good.substr(8), false},
        {"two fields", good + "1 2\n", false},
        {"word for a number", good + "1 north 3\n", false},
        {"number glued to text", good + "1 2 3m 0\n", false},
        {"text after the elevation", good + "1 2 3 ground\n", false},
        {"not finite", good + "1 2 nan\n", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        testing::internal::CaptureStderr();
        const bool accepted = parseTerrainPoints(r.text, "sample").has_value();
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(accepted, r.accepted);
        EXPECT_EQ(message.empty(), r.accepted) << message;
        if (!r.accepted && r.text.size() > good.size()) {
            EXPECT_EQ(message, "Line 101 of sample is not a point\n");
        }
    }
}

// Nodes averaged over a symmetric neighbourhood of a plane, and bilinear cells, give
// back the plane itself inside the grid; outside it there is no height.
TEST(HeightField, ReproducesAPlane)
{
    const HeightField f = buildHeightField(lattice(40, 30, tiltedPlane), 1.0, 1.5);
    EXPECT_EQ(f.nx, 41);
    EXPECT_EQ(f.ny, 31);
    const double inside[][2] = {{5.0, 5.0}, {3.25, 17.5}, {12.9, 2.1}, {37.9, 27.9}};
    for (const auto& p : inside) {
        SCOPED_TRACE(testing::Message() << p[0] << "," << p[1]);
        double z = 0.0;
        ASSERT_TRUE(heightAt(f, p[0], p[1], z));
        EXPECT_NEAR(z, tiltedPlane(p[0], p[1]), 1e-9);
    }
    double z = 0.0;
    EXPECT_TRUE(heightAt(f, 40.0, 30.0, z));
    EXPECT_FALSE(heightAt(f, -0.5, 5.0, z));
    EXPECT_FALSE(heightAt(f, 5.0, 30.5, z));
}

// A gap of a few metres is filled from farther points; one wider than ten radii stays open.
TEST(HeightField, FillsGapsUpToTenRadii)
{
    std::vector<FieldPoint> points = lattice(60, 10, [](double, double) { return 5.0; });
    std::vector<FieldPoint> kept;
    for (const FieldPoint& p : points) {
        if (!(p.x >= 10.0 && p.x <= 14.0) && !(p.x >= 30.0 && p.x <= 56.0)) {
            kept.push_back(p);
        }
    }
    const HeightField f = buildHeightField(kept, 1.0, 1.0);
    double z = 0.0;
    EXPECT_TRUE(heightAt(f, 12.0, 5.0, z));
    EXPECT_NEAR(z, 5.0, 1e-12);
    EXPECT_TRUE(heightAt(f, 38.0, 5.0, z));   // 8 m from the nearest point
    EXPECT_FALSE(heightAt(f, 43.5, 5.0, z));  // more than 10 m from any
    EXPECT_GT(f.missing, 0);
}

// The cast distance is where the ray meets the surface, compared with an exact
// intersection for a plane and with fine stepping over a rough field.
TEST(HeightField, RaysStopAtTheFirstCrossing)
{
    const HeightField plane = buildHeightField(lattice(100, 100, tiltedPlane), 1.0, 1.5);
    struct Row {
        const char* name;
        double o[3];
        double d[3];
    };
    const Row rows[] = {
        {"down onto the slope", {20.0, 50.0, 22.0}, {1.0, 0.3, -0.4}},
        {"level into the rising slope", {10.0, 40.0, 6.0}, {1.0, 0.0, 0.0}},
        {"grazing", {5.0, 60.0, 0.5}, {0.95, -0.1, 0.25}},
        {"up the slope", {10.0, 80.0, 2.0}, {1.0, -0.2, 0.2}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        // r.o[2] is the height above the plane.
        double o[3] = {r.o[0], r.o[1], r.o[2] + tiltedPlane(r.o[0], r.o[1])};
        double d[3] = {r.d[0], r.d[1], r.d[2]};
        unit(d);
        // Height above the plane changes linearly along the ray.
        const double above = o[2] - tiltedPlane(o[0], o[1]);
        const double rate = d[2] - (0.3 * d[0] - 0.2 * d[1]);
        ASSERT_GT(above, 0.0);
        ASSERT_LT(rate, 0.0);
        EXPECT_NEAR(castOnField(plane, o, d, 500.0), -above / rate, 1e-9);
    }

    // Ridges, a hollow and a wall: the brute force check finds nothing before the hit.
    const HeightField rough = buildHeightField(
        lattice(80, 80,
                [](double x, double y) { return 3.0 * std::sin(0.7 * x) * std::cos(0.4 * y) + (x > 60 ? 12.0 : 0.0); }),
        1.0, 1.5);
    for (int32_t k = 0; k < 40; ++k) {
        SCOPED_TRACE(k);
        const double o[3] = {2.0 + 0.5 * k, 3.0 + 0.7 * k, 6.0 + 0.1 * k};
        double d[3] = {1.0, 0.6 - 0.03 * k, -0.05 - 0.004 * k};
        unit(d);
        const double hit = castOnField(rough, o, d, 200.0);
        const double coarse = bruteForceHit(rough, o, d, 200.0, 0.002);
        ASSERT_EQ(hit < 0.0, coarse < 0.0);
        if (hit >= 0.0) {
            EXPECT_NEAR(hit, coarse, 0.003);
            double z = 0.0;
            ASSERT_TRUE(heightAt(rough, o[0] + hit * d[0], o[1] + hit * d[1], z));
            EXPECT_NEAR(o[2] + hit * d[2], z, 1e-9);
        }
    }
}

TEST(HeightField, RaysThatMeetNoGroundReturnNegative)
{
    const HeightField f = buildHeightField(lattice(50, 50, [](double, double) { return 0.0; }), 1.0, 1.5);
    struct Row {
        const char* name;
        double o[3];
        double d[3];
        double maxRange;
    };
    const Row rows[] = {
        {"upwards", {25.0, 25.0, 2.0}, {0.6, 0.0, 0.8}, 500.0},
        {"starts underground", {25.0, 25.0, -1.0}, {1.0, 0.0, 0.0}, 500.0},
        {"enters from outside below the rim", {-10.0, 25.0, -0.5}, {1.0, 0.0, 0.0}, 500.0},
        {"out of range", {25.0, 25.0, 2.0}, {0.8, 0.0, -0.6}, 3.0},
        {"passes beside the grid", {-5.0, -5.0, 1.0}, {-0.8, 0.0, -0.6}, 500.0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_LT(castOnField(f, r.o, r.d, r.maxRange), 0.0);
    }
    // From outside and above the rim, the ground inside is met.
    const double o[3] = {-2.0, 25.0, 3.0};
    const double d[3] = {0.8, 0.0, -0.6};
    EXPECT_NEAR(castOnField(f, o, d, 500.0), 3.0 / 0.6, 1e-9);
}
